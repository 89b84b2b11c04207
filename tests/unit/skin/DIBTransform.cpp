// Geometry helpers, the fixed-point tables and rotated and scaled drawing.
#include "skin/cDIB.h"
#include "unit/skin/DIBTestImages.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>

TEST(DIBGeometry, TablesHoldRoundedSinesAndCosinesTimes256) {
  const TTrigTables& t = TrigTables();
  EXPECT_EQ(t.Sin[0], 0);
  EXPECT_EQ(t.Sin[30], 128);
  EXPECT_EQ(t.Sin[45], 181); // 181.02
  EXPECT_EQ(t.Sin[90], 256);
  EXPECT_EQ(t.Sin[180], 0);
  EXPECT_EQ(t.Sin[270], -256);
  EXPECT_EQ(t.Cos[60], 128);
  EXPECT_EQ(t.Cos[120], -128);
  EXPECT_EQ(t.Cos[1], 256);     // 255.96
  EXPECT_EQ(t.Sin[1], 4);       // 4.47
  EXPECT_EQ(t.Sin90[0], 256);   // sin 90
  EXPECT_EQ(t.Cos90[0], 0);     // cos 90
  EXPECT_EQ(t.Sin90[300], 128); // sin 390
  EXPECT_EQ(t.Cos90[359], 4);   // cos 449 = -sin 359 = 4.47
}

TEST(DIBGeometry, NormalizeAngle) {
  EXPECT_EQ(NormalizeAngle(-90), 270);
  EXPECT_EQ(NormalizeAngle(-360), 0);
  EXPECT_EQ(NormalizeAngle(359), 359);
  EXPECT_EQ(NormalizeAngle(360), 0);
  EXPECT_EQ(NormalizeAngle(1085), 5);
}

TEST(DIBGeometry, PointOnCircleGoesClockwiseFromTwelve) {
  EXPECT_EQ(PointOnCircle(35, 34, 24, 0), (TPoint{35, 10}));
  EXPECT_EQ(PointOnCircle(35, 34, 24, 90), (TPoint{59, 34}));
  EXPECT_EQ(PointOnCircle(35, 34, 24, 180), (TPoint{35, 58}));
  EXPECT_EQ(PointOnCircle(35, 34, 24, 270), (TPoint{11, 34}));
  // The knob pointer: 220 degrees gives (19.57, 52.39), 140 gives (50.43, 52.39), 359 gives
  // (34.58, 10.00); minus half the 14 x 14 glyph these are the corners (13, 45), (43, 45), (28, 3).
  EXPECT_EQ(PointOnCircle(35, 34, 24, 220), (TPoint{20, 52}));
  EXPECT_EQ(PointOnCircle(35, 34, 24, 140), (TPoint{50, 52}));
  EXPECT_EQ(PointOnCircle(35, 34, 24, 359), (TPoint{35, 10}));
}

TEST(DIBGeometry, AngleOfPointIsNotNormalised) {
  EXPECT_EQ(AngleOfPoint(35, 34, 35, 0), 360);  // above
  EXPECT_EQ(AngleOfPoint(35, 34, 60, 34), 450); // right
  EXPECT_EQ(AngleOfPoint(35, 34, 35, 60), 180); // below
  EXPECT_EQ(AngleOfPoint(35, 34, 10, 34), 270); // left
  EXPECT_EQ(AngleOfPoint(0, 0, 10, -10), 405);  // up right: 135 + 270
}

TEST(DIBGeometry, RotatedSizeRoundsUpToEven) {
  EXPECT_EQ(RotatedSize(14, 14, 0, 100, 100), (TPoint{14, 14}));
  EXPECT_EQ(RotatedSize(71, 68, 0, 100, 100), (TPoint{72, 68}));
  EXPECT_EQ(RotatedSize(15, 15, 0, 100, 100), (TPoint{16, 16}));
  // Right angles are exact: no noise from cos 90 grows the box.
  EXPECT_EQ(RotatedSize(300, 224, 90, 100, 100), (TPoint{224, 300}));
  EXPECT_EQ(RotatedSize(300, 224, 270, 100, 100), (TPoint{224, 300}));
  EXPECT_EQ(RotatedSize(300, 224, 180, 100, 100), (TPoint{300, 224}));
  // 45 degrees: 10 cos 45 + 10 sin 45 = 14.14 -> 15 -> 16.
  EXPECT_EQ(RotatedSize(10, 10, 45, 100, 100), (TPoint{16, 16}));
  EXPECT_EQ(RotatedSize(10, 20, 0, 200, 50), (TPoint{20, 10}));
  EXPECT_EQ(RotatedSize(10, 10, 0, 0, 100), (TPoint{0, 10}));
  EXPECT_EQ(RotatedSize(10, 10, 0, NAN, 100), (TPoint{0, 0})); // an unusable scale: empty
  EXPECT_EQ(RotatedSize(65535, 10, 0, 1e300, 100).X, INT32_MAX - 1);
}

namespace {

// An n x n source with marker pixels rendered into an n x n target by angle and scale.
std::unique_ptr<TMemoryDIB> Rendered(const TMemoryDIB& s, int w, int h) {
  auto t = std::make_unique<TMemoryDIB>(w, h);
  s.RenderTransformed(*t);
  return t;
}

} // namespace

TEST(DIBTransform, RightAnglesTurnEvenAndOddImagesExactlyClockwise) {
  for (int n : {4, 5}) {
    TMemoryDIB s(n, n);
    FillWithMarkers(s);
    s.SetAngle(90);
    auto t = Rendered(s, n, n);
    // Clockwise by 90: the source's top row becomes the right column.
    for (int y = 0; y < n; ++y) {
      for (int x = 0; x < n; ++x) {
        ASSERT_EQ(t->PixelAt(x, y), Marker(y, n - 1 - x)) << n << ": " << x << "," << y;
      }
    }
    s.SetAngle(180);
    t = Rendered(s, n, n);
    for (int y = 0; y < n; ++y) {
      for (int x = 0; x < n; ++x) {
        ASSERT_EQ(t->PixelAt(x, y), Marker(n - 1 - x, n - 1 - y)) << n << ": " << x << "," << y;
      }
    }
  }
}

TEST(DIBTransform, RenderingAnImageIntoItselfSamplesTheOriginal) {
  TMemoryDIB s(4, 4);
  FillWithMarkers(s);
  s.SetAngle(180);
  s.RenderTransformed(s);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      ASSERT_EQ(s.PixelAt(x, y), Marker(3 - x, 3 - y)) << x << "," << y;
    }
  }
}

TEST(DIBTransform, IntegerScalesRepeatPixelsAndOutsideTakesTheFill) {
  TMemoryDIB s(2, 2);
  FillWithMarkers(s);
  s.SetScale(200);
  auto t = Rendered(s, 4, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      ASSERT_EQ(t->PixelAt(x, y), Marker(x / 2, y / 2)) << x << "," << y;
    }
  }
  // A larger target than the scaled picture: the rest is the transparent key, alpha 0.
  s.SetTransparentMode(tmFixed);
  s.SetTransparentColor(0x00030201);
  s.SetScale(100);
  s.SetScaleY(99.0); // not the identity, so drawing goes through the transform
  t = Rendered(s, 4, 4);
  EXPECT_EQ(t->PixelAt(0, 0), Px(3, 2, 1, 0));
  EXPECT_EQ(t->PixelAt(1, 1), Marker(0, 0));
  EXPECT_EQ(t->PixelAt(2, 2), Marker(1, 1));
  EXPECT_EQ(t->PixelAt(3, 3), Px(3, 2, 1, 0));
  // Masked images fill with 0.
  s.SetMasked(true);
  t = Rendered(s, 4, 4);
  EXPECT_EQ(t->PixelAt(0, 0), Px(0, 0, 0, 0));
}

TEST(DIBTransform, ZeroOrUnusableScaleRendersNothing) {
  TMemoryDIB s(4, 4);
  FillWith(s, Px(9, 9, 9, 9));
  TMemoryDIB t(4, 4);
  FillWith(t, Px(1, 1, 1, 1));
  int changes = 0;
  t.OnChange = [&](TAbstractSuperDIB&) { ++changes; };
  for (double scale : {0.0, 20.0, double{NAN}, double{INFINITY}}) { // 20 % of 4 truncates to 0
    s.SetScale(scale);
    s.RenderTransformed(t);
    ASSERT_EQ(t.PixelAt(2, 2), Px(1, 1, 1, 1)) << scale;
  }
  EXPECT_EQ(changes, 0) << "nothing rendered, nothing changed";
  s.SetScale(1e9); // steps round to 0: every target pixel samples the centre
  s.RenderTransformed(t);
  EXPECT_EQ(t.PixelAt(0, 0), Px(9, 9, 9, 9));
  EXPECT_EQ(changes, 1);
}

TEST(DIBTransform, RotatedDrawUsesAnAutoSizedBoxAndTheSourceRule) {
  // A 3 x 2 transparent strip with key black, turned by 90 degrees, auto-sized box 2 x 4.
  TMemoryDIB s(3, 2);
  FillWithMarkers(s);
  s.PixelAt(0, 0) = Px(0, 0, 0, 255);
  s.SetTransparent(true);
  s.SetTransparentMode(tmFixed);
  s.SetTransparentColor(0);
  s.SetAngle(90);
  s.SetAutoSize(true);
  TMemoryDIB d(6, 6);
  FillWith(d, Px(7, 7, 7, 7));
  int changes = 0;
  d.OnChange = [&](TAbstractSuperDIB&) { ++changes; };
  s.Draw(1, 1, 5, 5, d, 2, 3); // the source offset is not used on this path
  EXPECT_EQ(changes, 1);
  // Box 2 x 4 at (1, 1): the 3 x 2 picture turned is 2 x 3, in box rows 0..2; row 3, added by
  // the rounding up to even, lies outside the picture. Source (sx, sy) lands on box (1 - sy, sx).
  auto drawn = [](TPixel32 p) { return Px(p.B, p.G, p.R, 0); };
  EXPECT_EQ(d.PixelAt(2, 1), Px(7, 7, 7, 7)); // source (0, 0) is the key: skipped
  EXPECT_EQ(d.PixelAt(1, 1), drawn(Marker(0, 1)));
  EXPECT_EQ(d.PixelAt(2, 3), drawn(Marker(2, 0)));
  EXPECT_EQ(d.PixelAt(1, 3), drawn(Marker(2, 1)));
  EXPECT_EQ(d.PixelAt(1, 4), Px(7, 7, 7, 7)); // outside the picture: the key, skipped
  EXPECT_EQ(d.PixelAt(3, 1), Px(7, 7, 7, 7)); // outside the box
  // The source keeps its attributes.
  EXPECT_EQ(s.Angle(), 90);
  EXPECT_EQ(s.DrawVariant(), dvTransparent);
}

// Under tmAuto the rotated path keys on the colour the image reports, its bottom-left pixel,
// and the area outside the turned picture takes that colour too, so it stays undrawn.
TEST(DIBTransform, RotatedTransparentUnderAutoKeysOnTheBottomLeftPixel) {
  TMemoryDIB s(2, 2);
  FillWith(s, Px(5, 6, 7, 255)); // bottom-left included: the reported colour
  s.PixelAt(1, 0) = Px(50, 60, 70, 255);
  s.SetTransparent(true);
  s.SetTransparentColor(0); // stored black is not used on this path
  s.SetAngle(180);
  TMemoryDIB d(4, 4);
  FillWith(d, Px(9, 9, 9, 9));
  // A 3 x 3 box around the 2 x 2 picture: its left column and bottom row lie outside.
  s.Draw(1, 1, 0, 0, d, 3, 3);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      // Turned by 180 degrees, source (1, 0) lands on box (1, 1), destination (2, 2).
      const TPixel32 expected = x == 2 && y == 2 ? Px(50, 60, 70, 0) : Px(9, 9, 9, 9);
      ASSERT_EQ(d.PixelAt(x, y), expected) << x << "," << y;
    }
  }
}

TEST(DIBTransform, DrawingAHugelyScaledImageTouchesOnlyTheDestination) {
  TMemoryDIB s(2, 2);
  FillWith(s, Px(4, 4, 4, 255));
  s.SetScale(1e9);
  s.SetAutoSize(true);
  TMemoryDIB d(8, 8);
  s.Draw(-1000, -1000, d);
  EXPECT_EQ(d.PixelAt(0, 0), Px(4, 4, 4, 255));
  EXPECT_EQ(d.PixelAt(7, 7), Px(4, 4, 4, 255));
}
