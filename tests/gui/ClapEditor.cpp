// The CLAP file's editor as a host embeds it: created, given the host's X11 window (mapped there
// and then, since some hosts never call show), turned only by the host's timer and its watch of
// the connection, looking as the VST 2.x editor looks, dragged with XTest pointer events that
// reach the host as gesture begin, value and gesture end, and leaving nothing behind when
// destroyed. A host without timers or a watch of descriptors is refused.
#include "GuiHost.h"
#include "clap/ClapTestHost.h"

#include <set>

namespace {

using namespace claptest;

constexpr int kDistanceKnobX = 49, kDistanceKnobY = 117;

class ClapEditor : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("ZINTRAX_SETTINGS_FILE", "/nonexistent/zintrax-gui-test.conf", 1);
    ASSERT_TRUE(effect.SelectPreset(2)); // "encore"
  }
  void Idle(int times = 3) {
    for (int i = 0; i < times; ++i) {
      XSync(host.Window.Display(), False);
      host.Window.Pump();
      effect.RunLoop(10);
    }
  }
  // The plug-in's events from a flush, as the host answers its requests.
  std::string Edits() {
    zhost::ClapOutputList out;
    effect.Flush(zhost::ClapEventList(), out.List());
    std::string edits;
    for (const std::vector<uint8_t>& bytes : out.events) {
      const auto* header = reinterpret_cast<const clap_event_header*>(bytes.data());
      const auto* change = reinterpret_cast<const clap_event_param_value*>(bytes.data());
      edits += header->type == CLAP_EVENT_PARAM_GESTURE_BEGIN ? "B"
               : header->type == CLAP_EVENT_PARAM_GESTURE_END ? "E"
                                                              : "V";
      edits += std::to_string(change->param_id) + " ";
      if (header->type == CLAP_EVENT_PARAM_VALUE)
        lastValue = change->value;
    }
    return edits;
  }

  Effect effect;
  gui::EditorHost host;
  double lastValue = -1;
};

TEST_F(ClapEditor, EmbeddedItLooksAsTheVst2EditorAndItsDragsReachTheHostAsGestures) {
  const int descriptorsBefore = gui::OpenDescriptors();
  const auto* gui = static_cast<const clap_plugin_gui*>(
      effect.Plugin().get_extension(&effect.Plugin(), CLAP_EXT_GUI));
  ASSERT_NE(nullptr, gui);
  EXPECT_FALSE(gui->is_api_supported(&effect.Plugin(), CLAP_WINDOW_API_X11, true));
  EXPECT_FALSE(gui->is_api_supported(&effect.Plugin(), "wayland", false));
  ASSERT_TRUE(gui->create(&effect.Plugin(), CLAP_WINDOW_API_X11, false));
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(gui->get_size(&effect.Plugin(), &width, &height));
  EXPECT_EQ(298u, width);
  EXPECT_EQ(223u, height);
  EXPECT_FALSE(gui->can_resize(&effect.Plugin()));
  clap_window parent{};
  parent.api = CLAP_WINDOW_API_X11;
  parent.x11 = host.Id();
  ASSERT_TRUE(gui->set_parent(&effect.Plugin(), &parent));
  EXPECT_EQ(2u, effect.Registered()) << "a timer and the connection's descriptor";
  {
    const std::vector<Window> children = gui::Children(host.Window.Display(), host.Id());
    ASSERT_EQ(1u, children.size());
    XWindowAttributes attributes{};
    XGetWindowAttributes(host.Window.Display(), children[0], &attributes);
    EXPECT_NE(IsUnmapped, attributes.map_state) << "mapped before show";
  }
  Idle(5);

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

  // The knobs, as they open, may settle a value on a step of their own: the host hears it.
  const std::string opening = Edits();
  EXPECT_TRUE(opening.empty() || opening == "V0 ") << opening;
  const int requests = effect.FlushRequests();
  const double before = effect.Value(0).value_or(-1);
  host.MoveTo(kDistanceKnobX, kDistanceKnobY);
  Idle(1);
  host.Button(1, true);
  Idle(2);
  host.MoveTo(kDistanceKnobX, kDistanceKnobY - 20);
  Idle(2);
  host.MoveTo(kDistanceKnobX + 5, kDistanceKnobY - 40);
  Idle(2);
  host.Button(1, false);
  Idle(2);
  EXPECT_GT(effect.FlushRequests(), requests);
  const std::string edits = Edits();
  EXPECT_EQ("B0 ", edits.substr(0, 3)) << edits;
  EXPECT_EQ("E0 ", edits.substr(edits.size() - 3));
  EXPECT_EQ(std::string::npos, edits.find_first_of("123")) << edits;
  EXPECT_NE(before, lastValue);
  EXPECT_EQ(lastValue, effect.Value(0).value_or(-1)) << "the host reads what it was told";

  gui->destroy(&effect.Plugin());
  XSync(host.Window.Display(), False);
  EXPECT_EQ(0u, effect.Registered()) << "the timer and the descriptor are unregistered";
  EXPECT_TRUE(gui::Children(host.Window.Display(), host.Id()).empty());
  EXPECT_EQ(descriptorsBefore, gui::OpenDescriptors()) << "the connection is closed";
}

TEST_F(ClapEditor, AScaleBeforeAndAfterEmbeddingSizesTheEditor) {
  EXPECT_TRUE(effect.OpenEditor(host.Id(), 150.0)) << "a scale in percent, as some hosts give";
  uint32_t width = 0, height = 0;
  const auto* gui = static_cast<const clap_plugin_gui*>(
      effect.Plugin().get_extension(&effect.Plugin(), CLAP_EXT_GUI));
  ASSERT_TRUE(gui->get_size(&effect.Plugin(), &width, &height));
  EXPECT_EQ(447u, width);
  EXPECT_TRUE(effect.resizeRequests.empty()) << "it opened at the announced size";
  EXPECT_TRUE(gui->set_scale(&effect.Plugin(), 3.0));
  ASSERT_EQ(1u, effect.resizeRequests.size());
  EXPECT_EQ(std::make_pair(894u, 669u), effect.resizeRequests[0]);
  Idle(2);
  effect.CloseEditor();
}

TEST(ClapEditorHost, AHostWithoutTimersOrDescriptorsIsRefused) {
  zhost::ClapEffect bare(Library(), {}, false);
  gui::EditorHost host;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(bare.OpenEditor(host.Id()));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("clap.timer-support"));
  EXPECT_TRUE(gui::Children(host.Window.Display(), host.Id()).empty());
}

::testing::Environment* const gServer =
    ::testing::AddGlobalTestEnvironment(new gui::XvfbEnvironment);

} // namespace
