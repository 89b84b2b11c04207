// The built plug-in's editor on a real X server, driven as a host drives it: the record's editor
// opcodes, a host window made with Xlib, pointer events through XTest and idle calls.
#include "GuiHost.h"

#include <X11/Xutil.h>

#include <cmath>

namespace {

using testhost::Instance;
using testhost::Library;
using testhost::Log;

constexpr int kPadLeft = 152, kPadTop = 77;

class EditorHosting : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("ZINTRAX_SETTINGS_FILE", "/nonexistent/zintrax-gui-test.conf", 1);
    Log().Clear();
    plugin.Start();
  }
  std::vector<testhost::HostCall> Notices() const { return Log().Of(audioMasterAutomate); }
  void OpenOn(int32_t program) {
    plugin.Dispatch(effSetProgram, 0, program);
    Log().Clear();
    ASSERT_EQ(host.Open(plugin), 1);
    host.Idle(plugin);
  }
  // Presses, moves and releases the left button along points of the window.
  void Drag(std::initializer_list<std::pair<int, int>> points, unsigned button = 1) {
    auto p = points.begin();
    host.Press(plugin, p->first, p->second, button);
    for (++p; p != points.end(); ++p)
      host.DragTo(plugin, p->first, p->second);
    host.Release(plugin, button);
  }

  Library library;
  Instance plugin{library};
  gui::EditorHost host;
};

TEST_F(EditorHosting, TheEmbeddedWindowAndTheRectangle) {
  ERect* rect = nullptr;
  EXPECT_EQ(plugin.Dispatch(effEditGetRect, 0, 0, &rect), 0);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->bottom, 0);
  OpenOn(0);
  Display* d = host.Window.Display();
  const std::vector<Window> children = gui::Children(d, host.Id());
  ASSERT_EQ(children.size(), 1u) << "a direct child of the host's window";
  Window root = 0;
  int x = -1, y = -1;
  unsigned width = 0, height = 0, border = 9, depth = 0;
  XGetGeometry(d, children[0], &root, &x, &y, &width, &height, &border, &depth);
  EXPECT_EQ((std::vector<unsigned>{unsigned(x), unsigned(y), width, height, border}),
            (std::vector<unsigned>{0, 0, 298, 223, 0}));
  XWindowAttributes attributes{};
  XGetWindowAttributes(d, children[0], &attributes);
  EXPECT_EQ(attributes.map_state, IsViewable);
  ASSERT_EQ(plugin.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ((std::vector<int>{rect->top, rect->left, rect->bottom, rect->right}),
            (std::vector<int>{0, 0, 223, 298}));
  EXPECT_TRUE(Notices().empty()) << "on stage lies on the knobs' grid";

  plugin.Dispatch(effEditClose);
  plugin.Dispatch(effEditClose);
  EXPECT_TRUE(gui::Children(d, host.Id()).empty());
  EXPECT_EQ(plugin.Dispatch(effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect->right, 298) << "the last size stays";
}

TEST_F(EditorHosting, OpeningOnEncoreSnapsTheDistance) {
  OpenOn(2);
  ASSERT_EQ(Notices().size(), 1u);
  EXPECT_EQ(Notices()[0].index, 0);
  EXPECT_EQ(plugin.Text(effGetParamDisplay, 0), "299.970001220703");
  EXPECT_EQ(plugin.Text(effGetParamDisplay, 1), "2");
}

TEST_F(EditorHosting, PadAndKnobFollowThePointer) {
  OpenOn(0);
  Drag({{kPadLeft + 71, kPadTop}, {kPadLeft - 30, kPadTop + 500}});
  ASSERT_GE(Notices().size(), 4u);
  EXPECT_EQ(Notices()[0].opt, 0.5f);
  EXPECT_EQ(Notices()[1].opt, 0.0f);
  EXPECT_EQ(plugin.GetParameter(2), 0.0f) << "the drag outside the pad is pinned to its edges";
  EXPECT_EQ(plugin.GetParameter(3), 1.0f);

  Log().Clear();
  Drag({{kPadLeft + 20, kPadTop + 20}, {kPadLeft + 60, kPadTop + 60}}, 3);
  EXPECT_TRUE(Notices().empty()) << "the right button sets nothing";

  host.MoveTo(kPadLeft + 100, kPadTop + 100);
  for (int click = 0; click < 2; ++click) {
    host.Button(1, true);
    host.Button(1, false);
  }
  host.Idle(plugin);
  EXPECT_EQ(Notices().size(), 4u) << "the first press moves the puck, the second resets it";
  EXPECT_EQ(plugin.GetParameter(2), 0.5f);

  plugin.SetParameter(0, (399.93f - 50.0f) / 700.0f);
  host.Idle(plugin, 1);
  Log().Clear();
  Drag({{49, 117}, {49, 116}});
  ASSERT_EQ(Notices().size(), 1u);
  EXPECT_EQ(plugin.Text(effGetParamDisplay, 0), "401.890014648438");
}

TEST_F(EditorHosting, TheWindowShowsAParameterChangeAfterOneIdle) {
  OpenOn(0);
  const std::vector<uint32_t> before = host.Window.Capture(298, 223);
  plugin.SetParameter(2, 1.0f);
  plugin.SetParameter(3, 1.0f);
  host.Idle(plugin, 1);
  XSync(host.Window.Display(), False);
  const std::vector<uint32_t> after = host.Window.Capture(298, 223);
  int changed = 0;
  for (size_t i = 0; i < before.size(); ++i)
    changed += before[i] != after[i];
  EXPECT_GT(changed, 100) << "the puck moved to the bottom right";
  EXPECT_EQ(after[size_t(5) * 298 + 5], before[size_t(5) * 298 + 5]);
}

int gForeignErrors = 0;
int CountingHandler(Display*, XErrorEvent*) {
  ++gForeignErrors;
  return 0;
}

TEST_F(EditorHosting, HostileParentsAndOrdersLeaveNothingBehind) {
  Display* d = host.Window.Display();
  XSetErrorHandler(CountingHandler);
  EXPECT_EQ(plugin.Dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(plugin.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(0x3fffff1))), 0);
  plugin.Dispatch(effEditIdle);
  plugin.Dispatch(effEditClose);

  const int descriptors = gui::OpenDescriptors();
  for (int cycle = 0; cycle < 30; ++cycle) {
    Window parent = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 300, 230, 0, 0, 0);
    XMapWindow(d, parent);
    XSync(d, False);
    ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, cycle % 2 ? 0 : reinterpret_cast<VstIntPtr>(d),
                              reinterpret_cast<void*>(uintptr_t(parent))),
              1);
    if (cycle % 3 == 0) {
      ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(parent))), 1)
          << "a second open replaces the first";
    }
    plugin.Dispatch(effEditIdle);
    if (cycle % 2 == 0) {
      XDestroyWindow(d, parent); // the host destroys its window first
      XSync(d, False);
      plugin.Dispatch(effEditIdle);
    }
    plugin.Dispatch(effEditClose);
    if (cycle % 2 == 1)
      XDestroyWindow(d, parent);
  }
  XSync(d, False);
  EXPECT_EQ(gui::OpenDescriptors(), descriptors) << "no connection or descriptor is left";
  EXPECT_EQ(XSetErrorHandler(nullptr), CountingHandler) << "no X error handler stays installed";
  EXPECT_EQ(gForeignErrors, 0);
}

TEST_F(EditorHosting, ClosingTheModuleWithItsEditorOpen) {
  OpenOn(1);
  host.Idle(plugin);
  EXPECT_EQ(plugin.Close(), 1);
  XSync(host.Window.Display(), False);
  EXPECT_TRUE(gui::Children(host.Window.Display(), host.Id()).empty());
}

::testing::Environment* const gServer =
    ::testing::AddGlobalTestEnvironment(new gui::XvfbEnvironment);

} // namespace
