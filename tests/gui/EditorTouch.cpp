// The editor under a person's hands, on a real X server with XTest pointer events: the read-out
// while a control is held and when the pointer rests on one, Shift for fine control, the wheel's
// steps and the double-click's reset as the host hears them; and the display scale taken from
// the host's vendor call and from the X resources.
#include "GuiHost.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

namespace {

using gui::Gestures;
using testhost::Instance;
using testhost::Library;
using testhost::Log;

constexpr int kFeedKnobX = 98, kFeedKnobY = 179, kPadX = 223, kPadY = 148;
constexpr int32_t kScaleVendor = 0x50726553;           // 'PreS'
constexpr VstIntPtr kContentScaleRequest = 0x41654373; // 'AeCs'

struct Box {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class EditorTouch : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("ZINTRAX_SETTINGS_FILE", "/nonexistent/zintrax-gui-test.conf", 1);
    plugin.Start();
  }
  void Open() {
    ASSERT_EQ(host.Open(plugin), 1);
    host.Idle(plugin);
    Log().Clear();
  }
  ERect Rect() {
    ERect* rect = nullptr;
    plugin.Dispatch(effEditGetRect, 0, 0, &rect);
    return rect ? *rect : ERect{};
  }
  std::vector<uint32_t> Picture() {
    host.Idle(plugin);
    return host.Window.Capture(298, 223);
  }
  void Rest(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      host.Idle(plugin, 1);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  // Pixels that differ between two pictures outside ignored, and the box that holds them.
  static int Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
                       Box* box = nullptr, Box ignored = {}) {
    int count = 0;
    Box r{298, 223, 0, 0};
    for (int i = 0; i < int(std::min(a.size(), b.size())); ++i) {
      const int x = i % 298, y = i / 298;
      if (x >= ignored.Left && x < ignored.Right && y >= ignored.Top && y < ignored.Bottom)
        continue;
      if (a[size_t(i)] != b[size_t(i)]) {
        ++count;
        r = {std::min(r.Left, i % 298), std::min(r.Top, i / 298), std::max(r.Right, i % 298 + 1),
             std::max(r.Bottom, i / 298 + 1)};
      }
    }
    if (box)
      *box = r;
    return count;
  }

  Library library;
  Instance plugin{library};
  gui::EditorHost host;
};

TEST_F(EditorTouch, TheReadoutShowsWhileHeldAndAtRestAndLeavesNothingBehind) {
  Open();
  host.MoveTo(5, 5);
  const std::vector<uint32_t> rest = Picture();
  host.Press(plugin, kFeedKnobX, kFeedKnobY);
  Box box;
  EXPECT_GT(Differing(Picture(), rest, &box, {63, 145, 134, 213}), 100)
      << "the read-out appears on the press (the knob's pointer dims as it always did)";
  EXPECT_LE(box.Right, 63) << "beside the knob, never over it";
  host.Release(plugin);
  EXPECT_EQ(Differing(Picture(), rest), 0) << "gone on release, every pixel as before";

  host.MoveTo(kPadX, kPadY + 40);
  Rest(200);
  EXPECT_EQ(Differing(Picture(), rest), 0) << "not before the pointer rested";
  Rest(600);
  EXPECT_GT(Differing(Picture(), rest, &box), 100) << "shown after half a second at rest";
  EXPECT_GT(box.Top, 154) << "on the half of the pad the puck (139 to 154) is not in";
  host.MoveTo(5, 5);
  EXPECT_EQ(Differing(Picture(), rest), 0) << "gone when the pointer leaves";
}

TEST_F(EditorTouch, ShiftMovesATenthAndTheWheelAndDoubleClickAreGestures) {
  Open();
  const auto feeding = [this] { return plugin.GetParameter(1) * 4 + 1; };
  const float start = feeding();
  host.Press(plugin, kFeedKnobX, kFeedKnobY);
  host.DragTo(plugin, kFeedKnobX, kFeedKnobY - 10);
  EXPECT_NEAR(feeding() - start, 0.28f, 1e-4) << "ten pixels up";
  host.Key("Shift_L", true);
  host.DragTo(plugin, kFeedKnobX, kFeedKnobY - 20);
  EXPECT_NEAR(feeding() - start, 0.30f, 1e-4) << "ten more with Shift: a tenth, no jump";
  host.Key("Shift_L", false);
  host.DragTo(plugin, kFeedKnobX, kFeedKnobY - 30);
  EXPECT_NEAR(feeding() - start, 0.58f, 1e-4) << "full speed again from where it stood";
  host.Release(plugin);

  Log().Clear();
  const float before = feeding();
  host.Button(4, true);
  host.Button(4, false);
  host.Idle(plugin);
  EXPECT_NEAR(feeding() - before, 0.04f, 1e-5) << "a notch is a hundredth of 1 to 5";
  EXPECT_EQ(Gestures(), "B1 A1 E1");
  host.Key("Shift_L", true);
  host.Button(5, true);
  host.Button(5, false);
  host.Idle(plugin);
  host.Key("Shift_L", false);
  EXPECT_NEAR(feeding() - before, 0.036f, 1e-5) << "with Shift a thousandth, down";

  Log().Clear();
  for (int click = 0; click < 2; ++click) {
    host.Button(1, true);
    host.Idle(plugin, 1);
    host.Button(1, false);
    host.Idle(plugin, 1);
  }
  host.Idle(plugin);
  EXPECT_FLOAT_EQ(feeding(), 1.5f) << "the first program's Feeding";
  EXPECT_EQ(Gestures(), "B1 E1 B1 A1 E1") << "the reset is one gesture of its own";

  Log().Clear();
  host.MoveTo(kPadX + 30, kPadY + 30);
  host.Idle(plugin);
  for (int click = 0; click < 2; ++click) {
    host.Button(1, true);
    host.Idle(plugin, 1);
    host.Button(1, false);
    host.Idle(plugin, 1);
  }
  EXPECT_FLOAT_EQ(plugin.GetParameter(2), 0.5f);
  EXPECT_FLOAT_EQ(plugin.GetParameter(3), 0.5f);
}

TEST_F(EditorTouch, TheScaleComesFromTheHostOrTheXResources) {
  EXPECT_EQ(plugin.Dispatch(effVendorSpecific, kScaleVendor, kContentScaleRequest, nullptr, 2.0f),
            1);
  Open();
  EXPECT_EQ(Rect().right, 596);
  EXPECT_EQ(Rect().bottom, 446);
  Log().Clear();
  plugin.Dispatch(effVendorSpecific, kScaleVendor, kContentScaleRequest, nullptr, 1.4f);
  EXPECT_EQ(Rect().right, 447) << "1.4 is drawn at 1.5";
  const auto sized = std::find_if(Log().calls.begin(), Log().calls.end(),
                                  [](const auto& c) { return c.opcode == audioMasterSizeWindow; });
  ASSERT_NE(sized, Log().calls.end()) << "the host is asked for the new size";
  EXPECT_EQ(sized->index, 447);
  plugin.Dispatch(effEditClose);

  // Without a word from the host, the X resources' Xft.dpi says it.
  Instance other{library};
  other.Start();
  Display* d = host.Window.Display();
  const std::string resources = "Xft.antialias:\t1\nXft.dpi:\t192\n";
  XChangeProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(resources.c_str()), int(resources.size()));
  XSync(d, False);
  ASSERT_EQ(host.Open(other), 1);
  ERect* rect = nullptr;
  other.Dispatch(effEditGetRect, 0, 0, &rect);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right, 596);
  other.Dispatch(effEditClose);
  XDeleteProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER);
  XSync(d, False);
}

} // namespace

::testing::Environment* const gServer =
    ::testing::AddGlobalTestEnvironment(new gui::XvfbEnvironment);
