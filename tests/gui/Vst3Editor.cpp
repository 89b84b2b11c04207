// The VST3 bundle's editor as a host embeds it: a view attached to the host's X11 window and
// pumped by a run loop of the test's own, looking as the VST 2.x editor looks, dragged with XTest
// pointer events that reach the host as begin, perform and end of an edit, and leaving nothing
// behind when removed. A host without a run loop gets a refusal that says why.
#include "GuiHost.h"
#include "vst3/Vst3TestHost.h"

#include <X11/Xatom.h>

#include <set>
#include <string>

namespace {

using namespace vst3test;

constexpr int kDistanceKnobX = 49, kDistanceKnobY = 117;

class Vst3Editor : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("ZINTRAX_SETTINGS_FILE", "/nonexistent/zintrax-gui-test.conf", 1);
    effect.controller->setParamNormalized(1000, 1.0); // "encore"
    view = TRef<IPlugView>::Adopt(effect.controller->createView(kEditorViewType));
    ASSERT_TRUE(view);
  }
  // Idle rounds as a host's loop makes them: the server's events, then the run loop.
  void Idle(int times = 3) {
    for (int i = 0; i < times; ++i) {
      XSync(host.Window.Display(), False);
      host.Window.Pump();
      frame->RunOnce(10);
    }
  }
  void Press(int x, int y) {
    host.MoveTo(x, y);
    Idle(1);
    host.Button(1, true);
    Idle(2);
  }
  void DragTo(int x, int y) {
    host.MoveTo(x, y);
    Idle(2);
  }
  void Release() {
    host.Button(1, false);
    Idle(2);
  }

  Effect effect;
  TRef<IPlugView> view;
  TRef<zhost::Vst3Frame> frame = TRef<zhost::Vst3Frame>::Adopt(new zhost::Vst3Frame);
  gui::EditorHost host;
};

// The editor's window's _XEMBED_INFO: version and flags.
std::vector<long> EmbedInfo(Display* display, Window window) {
  const Atom atom = XInternAtom(display, "_XEMBED_INFO", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<long> info;
  if (XGetWindowProperty(display, window, atom, 0, 2, False, atom, &type, &format, &count, &after,
                         &data) == Success &&
      data) {
    info.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
    XFree(data);
  }
  return info;
}

TEST_F(Vst3Editor, EmbeddedItLooksAsTheVst2EditorAndItsDragsAreEditsOfTheHost) {
  const int descriptorsBefore = gui::OpenDescriptors();
  EXPECT_EQ(kResultTrue, view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID));
  EXPECT_EQ(kResultFalse, view->isPlatformTypeSupported("XcbWindow"));
  ViewRect size{};
  ASSERT_EQ(kResultOk, view->getSize(&size));
  EXPECT_EQ(298, size.right - size.left);
  EXPECT_EQ(223, size.bottom - size.top);
  EXPECT_EQ(kResultFalse, view->canResize());
  ASSERT_EQ(kResultOk, view->setFrame(frame.get()));
  ASSERT_EQ(kResultOk, view->attached(host.Window.Handle(), kPlatformTypeX11EmbedWindowID));
  EXPECT_EQ(2u, frame->Registered()) << "a timer and the connection's descriptor";
  Idle(5);
  const std::vector<Window> children = gui::Children(host.Window.Display(), host.Id());
  ASSERT_EQ(1u, children.size());
  EXPECT_EQ((std::vector<long>{0, 1}), EmbedInfo(host.Window.Display(), children[0]))
      << "an XEmbed client that asks to be mapped";

  // The VST 2.x editor with the same program, in a window of its own that is gone before the
  // pointer is used.
  const std::vector<uint32_t> picture = host.Window.Capture(298, 223);
  EXPECT_GT(std::set<uint32_t>(picture.begin(), picture.end()).size(), 100u) << "the artwork";
  {
    const testhost::Library library(ZINTRAX_PLUGIN_PATH);
    const testhost::Instance vst2(library);
    vst2.Dispatch(effSetProgram, 0, 2);
    gui::EditorHost vst2Host;
    ASSERT_EQ(1, vst2Host.Open(vst2));
    vst2Host.Idle(vst2, 5);
    EXPECT_TRUE(picture == vst2Host.Window.Capture(298, 223));
    vst2.Dispatch(effEditClose);
  }
  Idle(3);

  EditLog log;
  log.Listen(*effect.handler);
  const ParamValue before = effect.controller->getParamNormalized(0);
  Press(kDistanceKnobX, kDistanceKnobY);
  DragTo(kDistanceKnobX, kDistanceKnobY - 20);
  DragTo(kDistanceKnobX + 5, kDistanceKnobY - 40);
  Release();
  EXPECT_EQ("B0 P0 E0 ", log.edits);
  EXPECT_NE(before, log.performed);
  EXPECT_EQ(log.performed, effect.controller->getParamNormalized(0))
      << "the component holds what the host was told";

  EXPECT_EQ(kResultOk, view->removed());
  EXPECT_EQ(kResultOk, view->setFrame(nullptr));
  XSync(host.Window.Display(), False);
  EXPECT_EQ(0u, frame->Registered()) << "the run loop holds no handler of the view";
  EXPECT_TRUE(gui::Children(host.Window.Display(), host.Id()).empty());
  EXPECT_EQ(descriptorsBefore, gui::OpenDescriptors()) << "the connection is closed";
}

TEST_F(Vst3Editor, AContentScaleBeforeAndAfterAttachingSizesTheEditor) {
  const auto scaling = Query<IPlugViewContentScaleSupport>(view.get());
  ASSERT_TRUE(scaling);
  EXPECT_EQ(kResultTrue, scaling->setContentScaleFactor(1.5f));
  ViewRect size{};
  ASSERT_EQ(kResultOk, view->getSize(&size));
  EXPECT_EQ(447, size.right) << "the scaled size before attaching";
  ASSERT_EQ(kResultOk, view->setFrame(frame.get()));
  ASSERT_EQ(kResultOk, view->attached(host.Window.Handle(), kPlatformTypeX11EmbedWindowID));
  Idle(2);
  EXPECT_TRUE(frame->Resizes.empty()) << "the editor opened at the announced size";
  EXPECT_EQ(kResultTrue, scaling->setContentScaleFactor(3.0f));
  ASSERT_EQ(1u, frame->Resizes.size()) << "a new scale while attached asks the frame";
  EXPECT_EQ(894, frame->Resizes[0].right);
  EXPECT_EQ(669, frame->Resizes[0].bottom);
  ASSERT_EQ(kResultOk, view->getSize(&size));
  EXPECT_EQ(894, size.right);
  Idle(2);
  view->removed();
  view->setFrame(nullptr);
}

TEST_F(Vst3Editor, AHostWithoutARunLoopIsRefusedWithTheReason) {
  auto bare = TRef<zhost::Vst3Frame>::Adopt(new zhost::Vst3Frame(false));
  ASSERT_EQ(kResultOk, view->setFrame(bare.get()));
  testing::internal::CaptureStderr();
  EXPECT_NE(kResultOk, view->attached(host.Window.Handle(), kPlatformTypeX11EmbedWindowID));
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, said.find("run loop")) << said;
  XSync(host.Window.Display(), False);
  EXPECT_TRUE(gui::Children(host.Window.Display(), host.Id()).empty());
  view->setFrame(nullptr);
}

::testing::Environment* const gServer =
    ::testing::AddGlobalTestEnvironment(new gui::XvfbEnvironment);

} // namespace
