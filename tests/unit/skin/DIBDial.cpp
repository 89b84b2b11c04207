// The knob: its pointer geometry, the two mouse styles driven by real pointer events in a
// headless window (with the auto-repeat on a clock the test turns), the glyph strip and the
// validation of its settings.
#include "SkinForm.h"

#include "skin/cDIBDial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A 71 x 68 knob at (0, 0) with a face and a 14 x 14 pointer, turning 280 degrees from 220.
struct TKnob : TSkinForm {
  TKnob() : TSkinForm(200, 150) {
    AddImage(Images, 71, 68, 0x00808080, true);
    AddImage(Images, 14, 14, 0x000000FF, true);
    Dial = new TDIBDial(&Form);
    Dial->SetParent(Container);
    Dial->SetDIBImageList(&Images);
    Dial->IndexMain().SetDIBIndex(0);
    Dial->IndexPointer().SetDIBIndex(1);
    Dial->SetPointerRadius(24);
    Dial->SetMax(10000);
    Dial->PointerAngles().SetStart(220);
    Dial->PointerAngles().SetRange(280);
    Dial->OnChange = [this](TObject*) { ++Changes; };
  }
  TDIBDial* Dial;
  int Changes = 0;
};

TEST(DIBDial, PointerGeometryAndSize) {
  TKnob k;
  EXPECT_EQ((std::vector<int>{k.Dial->Width(), k.Dial->Height()}), (std::vector<int>{71, 68}))
      << "auto-sized from the face";
  const std::vector<std::pair<int, std::vector<int>>> expected = {
      {0, {220, 13, 45}}, {4999, {359, 28, 3}}, {10000, {140, 43, 45}}};
  for (const auto& [position, values] : expected) {
    k.Dial->SetPosition(position);
    const TRect r = k.Dial->PointerRect();
    EXPECT_EQ((std::vector<int>{k.Dial->PointerAngle(), r.Left, r.Top}), values) << position;
    EXPECT_EQ((std::vector<int>{r.Right - r.Left, r.Bottom - r.Top}), (std::vector<int>{13, 13}));
  }
  k.Changes = 0;
  k.Dial->SetPosition(12000);
  k.Dial->SetPosition(10000);
  EXPECT_EQ(k.Dial->Position(), 10000);
  EXPECT_EQ(k.Changes, 2) << "every assignment fires, the unchanged one too";
}

TEST(DIBDial, LinearDragsMeasureFromThePress) {
  TKnob k;
  k.Dial->MouseControlStyle = mcsLinear;
  k.Dial->SetVerticalPixelsPerPosition(0.035L);
  k.Dial->SetHorizontalPixelsPerPosition(3.5L);
  k.Show();
  const auto dragTo = [&](int dx, int dy) {
    k.Dial->SetPosition(4999);
    k.Mouse(TWindowMouseKind::Down, 30, 30, sfLeft);
    k.Mouse(TWindowMouseKind::Move, 30 + dx, 30 + dy, sfLeft);
    const int position = k.Dial->Position();
    k.Mouse(TWindowMouseKind::Up, 30 + dx, 30 + dy, 0);
    return position;
  };
  EXPECT_EQ(dragTo(0, -1), 5027);
  EXPECT_EQ(dragTo(0, -10), 5284);
  EXPECT_EQ(dragTo(0, 1), 4971);
  EXPECT_EQ(dragTo(3, 0), 4999);
  EXPECT_EQ(dragTo(4, 0), 5000);
  EXPECT_EQ(dragTo(0, -500), 10000) << "moves outside the knob keep turning it, up to Max";
  k.Dial->MouseLinearSensitivity = mlsVertical;
  EXPECT_EQ(dragTo(40, 0), 4999);
  k.Dial->MouseLinearSensitivity = mlsHorizontal;
  EXPECT_EQ(dragTo(0, -40), 4999);
  EXPECT_EQ(dragTo(7, -40), 5001);
}

TEST(DIBDial, APressBesideThePointerStepsTowardItEvery50ms) {
  TKnob k;
  k.Dial->SetMax(100);
  k.Dial->PointerAngles().SetStart(0);
  k.Dial->PointerAngles().SetRange(360);
  k.Dial->SetPosition(0);
  k.Show();
  k.Mouse(TWindowMouseKind::Down, 60, 34, sfLeft); // 3 o'clock: position 25
  std::vector<int> positions{k.Dial->Position()};
  for (int tick = 0; tick < 40; ++tick) {
    k.Now += 50;
    k.Pump();
    positions.push_back(k.Dial->Position());
  }
  EXPECT_EQ(std::vector<int>(positions.begin(), positions.begin() + 4),
            (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_LE(positions.back(), 25) << "a step never passes the pressed point";
  EXPECT_TRUE(k.Dial->Dragging()) << "under the pointer the repeated press starts a drag";
  EXPECT_FALSE(k.Dial->RepeatTimer().Running());
  k.Mouse(TWindowMouseKind::Up, 60, 34, 0);
  EXPECT_FALSE(k.Dial->Dragging());
}

TEST(DIBDial, DrawsTheDimmedPointerWhileDragged) {
  TKnob k;
  k.Dial->MouseControlStyle = mcsLinear;
  k.Dial->PointerOpacities().SetActive(200);
  k.Dial->SetPosition(4999);
  k.Show();
  EXPECT_EQ(k.Screen(35, 10), 0xFF0000u) << "the pointer at 12 o'clock";
  EXPECT_EQ(k.Screen(35, 40), 0x808080u) << "the face";
  k.Mouse(TWindowMouseKind::Down, 10, 30, sfLeft);
  const uint32_t face = (55 * 128 + 255) / 256;
  EXPECT_EQ(k.Screen(35, 10),
            uint32_t((200 * 255 + 55 * 128 + 255) / 256) << 16 | face << 8 | face);
}

TEST(DIBDial, GlyphStripBlendsNeighbouringFrames) {
  TMemoryDIB strip(4, 1);
  strip.PixelAt(0, 0) = strip.PixelAt(1, 0) = {0, 0, 200, 255};
  strip.PixelAt(2, 0) = strip.PixelAt(3, 0) = {0, 0, 100, 255};
  TMemoryDIB target(2, 1);
  DrawGlyphStrip(strip, target, 0, 0, 0, 0, 359, 2, true);
  EXPECT_EQ(target.PixelAt(0, 0).R, 200);
  DrawGlyphStrip(strip, target, 0, 0, 90, 0, 359, 2, true); // f = 0.5: halfway
  EXPECT_EQ(target.PixelAt(0, 0).R, (127 * 200 + 128 * 100 + 255) / 256);
  TMemoryDIB single(2, 1);
  single.PixelAt(0, 0) = {1, 2, 3, 255};
  single.PixelAt(1, 0) = {4, 5, 6, 255};
  DrawGlyphStrip(single, target, 0, 0, 123, 0, 359, 1, true);
  EXPECT_EQ((std::vector<int>{target.PixelAt(0, 0).R, target.PixelAt(1, 0).B}),
            (std::vector<int>{3, 4}))
      << "one frame is drawn unchanged";
}

TEST(DIBDial, SettingsRefuseInvalidValuesAndKeepTheOldOnes) {
  TKnob k;
  TDIBDial& d = *k.Dial;
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { d.PointerAngles().SetRange(0); }, "Range must be 1..360"},
      {[&] { d.PointerAngles().SetRange(361); }, "Range must be 1..360"},
      {[&] { d.PointerAngles().SetStart(360); }, "Start must be 0..359"},
      {[&] { d.PointerAngles().SetResolution(281); },
       "Resolution must be above 0 and less than 281"},
      {[&] { d.SetMin(20000); }, "Min must be less than max"},
      {[&] { d.SetMax(0); }, "Max must be greater than min"},
      {[&] { d.SetPageSize(-1); }, "PageSize cannot be less than 0"},
      {[&] { d.SetSmallChange(-1); }, "SmallChange cannot be less than 0"},
      {[&] { d.SetPointerNumGlyphs(0); }, "PointerNumGlyphs must be at least 1"},
      {[&] { d.SetHorizontalPixelsPerPosition(0); },
       "HorizontalPixelsPerPosition must be greater than zero"},
      {[&] { d.SetVerticalPixelsPerPosition(-1); },
       "VerticalPixelsPerPosition must be greater than zero"},
  };
  for (const auto& [action, message] : cases)
    EXPECT_EQ(ErrorOf(action), message);
  EXPECT_EQ((std::vector<long double>{(long double)d.PointerAngles().Start(),
                                      (long double)d.PointerAngles().Range(),
                                      d.PointerAngles().Resolution(), (long double)d.Min(),
                                      (long double)d.Max(), d.HorizontalPixelsPerPosition()}),
            (std::vector<long double>{220, 280, 280, 0, 10000, 1}));
  d.BeginLoading();
  d.SetMin(20000);
  d.EndLoading();
  EXPECT_EQ(d.Min(), 20000) << "a stored description is read unchecked";
  TDIBDialPointerOpacities opacities;
  EXPECT_EQ(ErrorOf([&] { d.SetPointerAngles(opacities); }),
            "Cannot assign a TDIBDialPointerOpacities to a TDIBDialPointerAngles");
}

} // namespace
