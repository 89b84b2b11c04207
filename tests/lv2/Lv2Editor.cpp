// The LV2 UI embedded in zintrax-host's window on a private X server: it shows what the VST 2.x
// editor shows for the same values, follows a control the host changes after one idle call, and
// writes what the user changes back through the host; a new scale while open is taken at once.
// GoogleTest before Xlib, whose macros clash with its names.
#include <gtest/gtest.h>

#include "Instance.h"
#include "Selection.h"
#include "hosting/HostWindow.h"
#include "hosting/Lv2Description.h"
#include "hosting/Lv2Editor.h"
#include "hosting/Xvfb.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <memory>
#include <thread>

using namespace zhost;

namespace {

// One instance with its editor open in a window of its own.
struct Shown {
  std::unique_ptr<Instance> plugin;
  std::unique_ptr<HostWindow> window;
  int width = 0, height = 0;

  explicit Shown(const std::string& location) : plugin(LoadInstance(location)) {
    plugin->Open(44100.0f, 512);
    window = std::make_unique<HostWindow>(400, 300, "test");
    window->Show();
    EXPECT_TRUE(
        plugin->OpenEditor(window->Display(), reinterpret_cast<unsigned long>(window->Handle())));
    std::tie(width, height) = plugin->EditorSize();
    window->SetSize(width, height);
    Settle();
  }
  ~Shown() { plugin->CloseEditor(); }

  void Settle() {
    for (int i = 0; i < 10; ++i) {
      window->Pump();
      plugin->IdleEditor();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  std::vector<uint32_t> Picture() {
    XSync(window->Display(), False);
    return window->Capture(width, height);
  }
};

} // namespace

// Each window is pictured while it is the only one on the screen.
TEST(Lv2Editor, ShowsTheVst2EditorsPictureAndFollowsAControlAfterOneIdleCall) {
  Xvfb xvfb;
  std::vector<uint32_t> vstBefore, vstAfter, before, after;
  const auto set = [](Instance& plugin) {
    plugin.SetParameterText(FindParameter(plugin, "Distance"), "200");
    plugin.SetParameterText(FindParameter(plugin, "X-Axis"), "0.9");
  };
  {
    Shown vst(ZINTRAX_PLUGIN_PATH);
    vstBefore = vst.Picture();
    set(*vst.plugin);
    vst.Settle();
    vstAfter = vst.Picture();
  }
  Shown lv2(ZINTRAX_LV2_BUNDLE);
  EXPECT_EQ(lv2.width, 298);
  EXPECT_EQ(lv2.height, 223);
  before = lv2.Picture();
  EXPECT_EQ(before, vstBefore);
  set(*lv2.plugin);
  lv2.window->Pump();
  lv2.plugin->IdleEditor();
  after = lv2.Picture();
  EXPECT_NE(after, before);
  EXPECT_EQ(after, vstAfter);
}

TEST(Lv2Editor, WritesWhatTheUserChangesThroughTheHostWithoutEchoingTheHostsOwnChanges) {
  Xvfb xvfb;
  Shown lv2(ZINTRAX_LV2_BUNDLE);
  std::vector<int32_t> edited;
  lv2.plugin->onParameterEdited = [&](int32_t index) { edited.push_back(index); };
  lv2.plugin->SetParameterText(FindParameter(*lv2.plugin, "Feeding"), "3");
  lv2.Settle();
  EXPECT_TRUE(edited.empty()) << "a value the host set came back as the user's";

  // A click in the pad moves both of its axes.
  Display* display = lv2.window->Display();
  int rootX = 0, rootY = 0;
  ::Window child;
  XTranslateCoordinates(display, reinterpret_cast<uintptr_t>(lv2.window->Handle()),
                        DefaultRootWindow(display), 0, 0, &rootX, &rootY, &child);
  XTestFakeMotionEvent(display, -1, rootX + 200, rootY + 120, 0);
  XTestFakeButtonEvent(display, 1, True, 0);
  XTestFakeButtonEvent(display, 1, False, 0);
  XSync(display, False);
  lv2.Settle();
  EXPECT_FALSE(edited.empty()) << "a click in the editor wrote no value";
}

// A host that changes the scale of an open UI through its options: the UI asks for the new size
// through ui:resize and shows what a UI opened at that scale shows.
TEST(Lv2Editor, TakesANewScaleWhileOpenAndAsksTheHostForItsSize) {
  Xvfb xvfb;
  Lv2Description plugin(ZINTRAX_LV2_BUNDLE);
  UridMap urids;
  const auto picture = [&](float openedAt, float changedTo) {
    HostWindow window(596, 446, "test");
    window.Show();
    Lv2Editor editor(plugin, urids, window.Display(),
                     reinterpret_cast<unsigned long>(window.Handle()), 44100.0f, nullptr, {},
                     openedAt);
    if (changedTo > 0) {
      EXPECT_EQ(editor.Size(), (std::pair{298, 223}));
      EXPECT_TRUE(editor.SetScale(changedTo));
    }
    EXPECT_EQ(editor.Size(), (std::pair{596, 446}));
    for (int i = 0; i < 10; ++i) {
      window.Pump();
      editor.Idle();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    XSync(window.Display(), False);
    return window.Capture(596, 446);
  };
  const std::vector<uint32_t> opened = picture(2.0f, 0.0f);
  ASSERT_NE(opened, std::vector<uint32_t>(opened.size(), opened[0])) << "nothing was drawn";
  EXPECT_EQ(picture(1.0f, 2.0f), opened);
}
