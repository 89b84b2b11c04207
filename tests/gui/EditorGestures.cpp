// Where the user takes hold of a control and lets go of it, as a host hears it: the built
// plug-in's editor on a real X server, dragged with XTest pointer events, and the host's record
// of audioMasterBeginEdit, audioMasterAutomate and audioMasterEndEdit in the order they came,
// also for drags that the closing of the editor or the loss of the host's window cuts short.
#include "GuiHost.h"

#include <string>

namespace {

using gui::Gestures;
using testhost::Instance;
using testhost::Library;
using testhost::Log;

constexpr int kPadLeft = 152, kPadTop = 77;
constexpr int kDistanceKnobX = 49, kDistanceKnobY = 117, kFeedKnobX = 98, kFeedKnobY = 179;

class EditorGestures : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("ZINTRAX_SETTINGS_FILE", "/nonexistent/zintrax-gui-test.conf", 1);
    Log().Clear();
    plugin.Start();
    ASSERT_EQ(host.Open(plugin), 1);
    host.Idle(plugin);
    Log().Clear();
  }
  void Press(int x, int y, unsigned button = 1) { host.Press(plugin, x, y, button); }
  void MoveTo(int x, int y) { host.DragTo(plugin, x, y); }
  void Release(unsigned button = 1) { host.Release(plugin, button); }

  Library library;
  Instance plugin{library};
  gui::EditorHost host;
};

TEST_F(EditorGestures, AKnobDragIsOneEditOfItsParameter) {
  Press(kDistanceKnobX, kDistanceKnobY);
  EXPECT_EQ(Gestures(), "B0") << "the press begins the edit before anything is set";
  MoveTo(kDistanceKnobX, kDistanceKnobY + 10); // on stage has the knob at its top
  MoveTo(kDistanceKnobX + 5, kDistanceKnobY + 20);
  Release();
  EXPECT_EQ(Gestures(), "B0 A0 A0 E0");

  Log().Clear();
  Press(kFeedKnobX, kFeedKnobY);
  MoveTo(kFeedKnobX, kFeedKnobY - 30);
  Release();
  EXPECT_EQ(Gestures(), "B1 A1 E1");
}

TEST_F(EditorGestures, APadDragIsOneEditOfEachAxis) {
  Press(kPadLeft + 71, kPadTop + 71);
  MoveTo(kPadLeft + 20, kPadTop + 30);
  MoveTo(kPadLeft - 40, kPadTop + 300); // outside the pad: pinned to its edges
  Release();
  EXPECT_EQ(Gestures(), "B2 B3 A2 A3 A2 A3 A2 A3 E2 E3");

  Log().Clear();
  Press(kPadLeft + 30, kPadTop + 30, 3);
  MoveTo(kPadLeft + 60, kPadTop + 60);
  Release(3);
  EXPECT_EQ(Gestures(), "") << "the right button changes nothing and holds nothing";
}

TEST_F(EditorGestures, ClosingTheEditorMidDragEndsTheEdits) {
  Press(kPadLeft + 10, kPadTop + 10);
  MoveTo(kPadLeft + 50, kPadTop + 50);
  plugin.Dispatch(effEditClose);
  EXPECT_EQ(Gestures(), "B2 B3 A2 A3 A2 A3 E2 E3");
  host.Button(1, false);
  host.Idle(plugin, 2);
  EXPECT_EQ(Gestures(), "B2 B3 A2 A3 A2 A3 E2 E3") << "nothing follows the close";

  ASSERT_EQ(host.Open(plugin), 1);
  host.Idle(plugin);
  Log().Clear();
  Press(kDistanceKnobX, kDistanceKnobY);
  MoveTo(kDistanceKnobX, kDistanceKnobY + 10);
  EXPECT_EQ(plugin.Close(), 1) << "closing the whole plug-in with its editor open";
  EXPECT_EQ(Gestures(), "B0 A0 E0");
  host.Button(1, false);
}

TEST_F(EditorGestures, LosingTheHostWindowMidDragEndsTheEdits) {
  Press(kFeedKnobX, kFeedKnobY);
  MoveTo(kFeedKnobX, kFeedKnobY - 30);
  host.Window.Destroy();
  host.Idle(plugin);
  EXPECT_EQ(Gestures(), "B1 A1 E1");
  plugin.Dispatch(effEditClose);
  host.Button(1, false);
  EXPECT_EQ(Gestures(), "B1 A1 E1");
}

::testing::Environment* const gServer =
    ::testing::AddGlobalTestEnvironment(new gui::XvfbEnvironment);

} // namespace
