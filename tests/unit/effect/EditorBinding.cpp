// The editor of the effect module built as the exported entry builds it, opened through its
// record in a headless window: the controls show the stored values, the knobs and the pad set
// them, and changes from another thread reach the controls on the next idle call.
#include "editor/VSTEditor.h"
#include "effect/Zintrax.h"
#include "platform/EditorWindowHeadless.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<int32_t, float>> gNotices;

VstIntPtr RecordingHost(AEffect*, int32_t opcode, int32_t index, VstIntPtr, void*, float opt) {
  if (opcode == audioMasterAutomate)
    gNotices.emplace_back(index, opt);
  return opcode == audioMasterVersion ? 2400 : 0;
}

class EditorBinding : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("ZINTRAX_SETTINGS_FILE",
           (std::filesystem::temp_directory_path() / "zintrax-editor-test-missing.conf").c_str(),
           1);
    previous = SetEditorWindowFactory(HeadlessEditorWindowFactory());
    effect = CreateVSTModule<TZintraxModule>(RecordingHost);
    ASSERT_NE(effect, nullptr);
    Dispatch(effOpen);
    gNotices.clear();
  }
  void TearDown() override {
    Dispatch(effClose);
    SetEditorWindowFactory(previous);
    unsetenv("ZINTRAX_SETTINGS_FILE");
  }

  VstIntPtr Dispatch(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
  }
  TZintraxModule& Module() { return *static_cast<TZintraxModule*>(effect->object); }
  TVSTEditorForm& Form() { return *dynamic_cast<TVSTEditorForm*>(Module().EditorForm()); }
  THeadlessEditorWindow& Window() { return *dynamic_cast<THeadlessEditorWindow*>(Form().Window()); }

  void Open(int32_t program) {
    Dispatch(effSetProgram, 0, program);
    gNotices.clear();
    ASSERT_EQ(Dispatch(effEditOpen, 0, 0, &parent), 1);
    Dispatch(effEditIdle);
  }
  // Posts pointer events in window coordinates and delivers them with one idle call.
  void Mouse(TWindowMouseKind kind, int x, int y, uint32_t shift,
             TMouseButton button = TMouseButton::Left) {
    Window().Post({kind, button, shift, x, y});
    Dispatch(effEditIdle);
  }
  TPoint Puck() { return {Form().Knob->Left(), Form().Knob->Top()}; }

  TEditorWindowFactory previous;
  AEffect* effect = nullptr;
  int parent = 0; // stands for the host's window
};

TEST_F(EditorBinding, OpeningOnStageShowsTheProgramWithoutSettingAnything) {
  ERect* rect = nullptr;
  EXPECT_EQ(Dispatch(effEditGetRect, 0, 0, &rect), 0);
  Open(0);
  EXPECT_EQ(Form().DistanceDial->Position(), 10000);
  EXPECT_EQ(Form().FeedDial->Position(), 50);
  EXPECT_EQ(Puck(), (TPoint{214, 139}));
  EXPECT_TRUE(gNotices.empty());
  EXPECT_EQ(Window().Parent(), &parent);
  EXPECT_TRUE(Window().Visible());
  EXPECT_EQ(Window().Bounds(), (TRect{0, 0, 298, 223}));
  ASSERT_EQ(Dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ((std::vector<int>{rect->top, rect->left, rect->bottom, rect->right}),
            (std::vector<int>{0, 0, 223, 298}));
}

TEST_F(EditorBinding, OpeningOnEncoreSnapsTheDistanceToTheKnob) {
  Open(2);
  EXPECT_EQ(Form().DistanceDial->Position(), 3571);
  ASSERT_EQ(gNotices.size(), 1u);
  EXPECT_EQ(gNotices[0].first, 0);
  EXPECT_EQ(Module().GetParameterValue(0), 299.97f);
  EXPECT_EQ(Form().FeedDial->Position(), 100);
  EXPECT_EQ(Module().GetParameterValue(1), 2.0f);
  EXPECT_EQ(Puck(), (TPoint{160, 98}));
}

TEST_F(EditorBinding, ThePadFollowsTheLeftButtonOnly) {
  Open(0);
  Mouse(TWindowMouseKind::Down, 152 + 71, 77, sfLeft);
  EXPECT_EQ(Module().GetParameterValue(2), 0.5f);
  EXPECT_EQ(Module().GetParameterValue(3), 0.0f);
  EXPECT_EQ(Form().Knob->Opacity(), 175);
  EXPECT_EQ(Puck(), (TPoint{214, 71}));
  Mouse(TWindowMouseKind::Move, 152 - 30, 77 + 500, sfLeft);
  EXPECT_EQ(Module().GetParameterValue(2), 0.0f) << "the capture keeps the drag on the pad";
  EXPECT_EQ(Module().GetParameterValue(3), 1.0f);
  EXPECT_EQ(Puck(), (TPoint{146, 207}));
  Mouse(TWindowMouseKind::Up, 152 - 30, 77 + 500, 0);
  EXPECT_EQ(Form().Knob->Opacity(), 255);

  gNotices.clear();
  Mouse(TWindowMouseKind::Down, 200, 100, sfRight, TMouseButton::Right);
  EXPECT_EQ(Form().Knob->Opacity(), 175) << "any button dims the puck";
  Mouse(TWindowMouseKind::Move, 210, 110, sfRight);
  Mouse(TWindowMouseKind::Up, 210, 110, 0, TMouseButton::Right);
  EXPECT_EQ(Form().Knob->Opacity(), 255);
  EXPECT_TRUE(gNotices.empty()) << "the right button sets nothing";
  Mouse(TWindowMouseKind::Down, 200, 100, sfLeft | sfShift);
  EXPECT_EQ(Module().GetParameterValue(2), 0.0f) << "a press with Shift does not jump";
  Mouse(TWindowMouseKind::Move, 250, 150, sfLeft | sfShift);
  EXPECT_EQ(Module().GetParameterValue(2), float(50 * 0.1 / 142)) << "Shift moves a tenth";
  EXPECT_EQ(Module().GetParameterValue(3), 1.0f);
  Mouse(TWindowMouseKind::Up, 250, 150, sfShift);
  Mouse(TWindowMouseKind::Down, 260, 160, sfLeft);
  Mouse(TWindowMouseKind::Up, 260, 160, 0);
  EXPECT_EQ(Module().GetParameterValue(2), float((long double)(260 - 152) / 142));
  Mouse(TWindowMouseKind::Down, 270, 170, sfLeft | sfDouble);
  Mouse(TWindowMouseKind::Move, 280, 180, sfLeft);
  Mouse(TWindowMouseKind::Up, 280, 180, 0);
  EXPECT_EQ(Module().GetParameterValue(2), 0.5f)
      << "a double click resets both axes to the first program's, and holds them";
  EXPECT_EQ(Module().GetParameterValue(3), 0.5f);
}

TEST_F(EditorBinding, DraggingTheDistanceKnobOnePixelUp) {
  Open(0);
  Form().DistanceDial->SetPosition(4999);
  gNotices.clear();
  Mouse(TWindowMouseKind::Down, 49, 117, sfLeft);
  Mouse(TWindowMouseKind::Move, 49, 116, sfLeft);
  Mouse(TWindowMouseKind::Move, 49, 116, sfLeft);
  EXPECT_EQ(Form().DistanceDial->Position(), 5027);
  EXPECT_EQ(Module().GetParameterValue(0), 401.89f);
  ASSERT_EQ(gNotices.size(), 1u) << "a move that does not turn the knob sets nothing";
  EXPECT_EQ(gNotices[0].first, 0);
  Mouse(TWindowMouseKind::Up, 49, 116, 0);
  Form().FeedDial->SetPosition(50);
  EXPECT_EQ(gNotices.size(), 1u) << "Feeding 1.5 is what the knob shows already";
}

TEST_F(EditorBinding, AChangeFromAnotherThreadIsShownByTheNextIdleCall) {
  Open(0);
  std::thread audio([this] { effect->setParameter(effect, 0, (401.0f - 50.0f) / 700.0f); });
  audio.join();
  EXPECT_EQ(Form().DistanceDial->Position(), 10000) << "no other thread touches the editor";
  const std::vector<uint8_t> before = Window().Screen();
  const float stored = Module().GetParameterValue(0);
  gNotices.clear();
  Dispatch(effEditIdle);
  EXPECT_EQ(Form().DistanceDial->Position(), 5014);
  EXPECT_EQ(Module().GetParameterValue(0), stored) << "showing a value does not snap it";
  EXPECT_TRUE(gNotices.empty());
  EXPECT_NE(Window().Screen(), before) << "the idle call repaints";
}

TEST_F(EditorBinding, AHostWithoutAWindowGetsNoEditor) {
  EXPECT_EQ(Dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(Module().EditorForm(), nullptr);
  Dispatch(effEditIdle);
  Dispatch(effEditClose);
}

} // namespace
