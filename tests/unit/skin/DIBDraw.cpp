// Unrotated drawing: the six pixel rules with hand-computed values, clipping to the clip
// rectangle and both images, copies of single channels and fills.
#include "skin/cDIB.h"
#include "unit/skin/DIBTestImages.h"

#include <gtest/gtest.h>

namespace {

const TPixel32 kWhite = Px(255, 255, 255, 255);
const TPixel32 kBlack = Px(0, 0, 0, 255);

// Draws a 1 x 1 source pixel over a 1 x 1 destination pixel and returns the result.
TPixel32 DrawOne(TMemoryDIB& source, TPixel32 s, TPixel32 d) {
  TMemoryDIB dest(1, 1);
  source.SetSize(1, 1);
  source.PixelAt(0, 0) = s;
  dest.PixelAt(0, 0) = d;
  source.Draw(0, 0, dest);
  return dest.PixelAt(0, 0);
}

} // namespace

TEST(DIBDraw, BlendAt175) {
  TMemoryDIB s;
  s.SetOpacity(175);
  // (175 * 255 + 80 * 0 + 255) div 256 = 175; (175 * 0 + 80 * 255 + 255) div 256 = 80.
  EXPECT_EQ(DrawOne(s, kWhite, Px(0, 0, 0, 0)), Px(175, 175, 175, 255));
  EXPECT_EQ(DrawOne(s, Px(0, 0, 0, 10), kWhite), Px(80, 80, 80, 255));
  // Alpha takes the larger of the two; channels independently: (175*200 + 80*100 + 255) div 256
  // = 168, (175*10 + 80*50 + 255) div 256 = 23, (175*0 + 80*255 + 255) div 256 = 80.
  EXPECT_EQ(DrawOne(s, Px(200, 10, 0, 30), Px(100, 50, 255, 20)), Px(168, 23, 80, 30));
  // Opacity 0 still adds the rounding term: (255 * 7 + 255) div 256 = 7.
  s.SetOpacity(0);
  EXPECT_EQ(DrawOne(s, kWhite, Px(7, 7, 7, 0)), Px(7, 7, 7, 255));
}

TEST(DIBDraw, CopyReplacesAllFourBytes) {
  TMemoryDIB s;
  EXPECT_EQ(DrawOne(s, Px(1, 2, 3, 4), kWhite), Px(1, 2, 3, 4));
}

TEST(DIBDraw, MaskedWeighsByTheSourceAlpha) {
  TMemoryDIB s;
  s.SetMasked(true);
  // m = 128: (128 * 200 + 127 * 100 + 255) div 256 = 150; alpha max(60, 128).
  EXPECT_EQ(DrawOne(s, Px(200, 200, 200, 128), Px(100, 100, 100, 60)), Px(150, 150, 150, 128));
  // m = 0 leaves the colour ((255 * 90 + 255) div 256 = 90) and keeps the larger alpha.
  EXPECT_EQ(DrawOne(s, Px(255, 255, 255, 0), Px(90, 90, 90, 60)), Px(90, 90, 90, 60));
  // m = 255: (255 * 40 + 0 + 255) div 256 = 40.
  EXPECT_EQ(DrawOne(s, Px(40, 40, 40, 255), Px(90, 90, 90, 0)), Px(40, 40, 40, 255));
}

TEST(DIBDraw, MaskedBlendScalesTheAlphaByTheOpacity) {
  TMemoryDIB s;
  s.SetMasked(true);
  s.SetOpacity(175);
  // m = (200 * 175) div 256 = 136: (136 * 255 + 119 * 0 + 255) div 256 = 136.
  EXPECT_EQ(DrawOne(s, Px(255, 255, 255, 200), Px(0, 0, 0, 0)), Px(136, 136, 136, 200));
}

TEST(DIBDraw, TransparentWithKeyBlackSkipsBlackAndWritesOthersWithAlphaZero) {
  TMemoryDIB s(3, 1);
  s.SetTransparent(true);
  s.SetTransparentMode(tmFixed);
  s.SetTransparentColor(0);
  s.PixelAt(0, 0) = Px(0, 0, 0, 255); // black, any alpha: skipped
  s.PixelAt(1, 0) = Px(1, 0, 0, 200);
  s.PixelAt(2, 0) = Px(0, 0, 0, 0);
  TMemoryDIB d(3, 1);
  FillWith(d, Px(9, 9, 9, 9));
  s.Draw(0, 0, d);
  EXPECT_EQ(d.PixelAt(0, 0), Px(9, 9, 9, 9));
  EXPECT_EQ(d.PixelAt(1, 0), Px(1, 0, 0, 0));
  EXPECT_EQ(d.PixelAt(2, 0), Px(9, 9, 9, 9));
}

TEST(DIBDraw, TransparentKeyIsTheFixedColourInPixelOrder) {
  TMemoryDIB s(2, 1);
  s.SetTransparent(true);
  s.SetTransparentMode(tmFixed);
  s.SetTransparentColor(0x000000FF); // red
  s.PixelAt(0, 0) = Px(0, 0, 255, 255);
  s.PixelAt(1, 0) = Px(255, 0, 0, 255); // blue is not the key
  TMemoryDIB d(2, 1);
  s.Draw(0, 0, d);
  EXPECT_EQ(d.PixelAt(0, 0), Px(0, 0, 0, 0));
  EXPECT_EQ(d.PixelAt(1, 0), Px(255, 0, 0, 0));
}

TEST(DIBDraw, UnrotatedTransparentKeysOnTheStoredColourWhateverTheMode) {
  TMemoryDIB s(2, 2);
  FillWith(s, Px(5, 6, 7, 255));
  s.PixelAt(1, 0) = Px(0, 0, 0, 255);
  s.SetTransparent(true);
  s.SetTransparentColor(0); // black, stored; the mode stays tmAuto
  EXPECT_EQ(s.TransparentMode(), tmAuto);
  EXPECT_EQ(s.TransparentColor(), 0x00050607u); // reports the bottom-left pixel
  TMemoryDIB d(2, 2);
  FillWith(d, Px(9, 9, 9, 9));
  s.Draw(0, 0, d);
  EXPECT_EQ(d.PixelAt(1, 0), Px(9, 9, 9, 9)); // black: the stored key, skipped
  EXPECT_EQ(d.PixelAt(0, 0), Px(5, 6, 7, 0));
  EXPECT_EQ(d.PixelAt(0, 1), Px(5, 6, 7, 0)); // the bottom-left pixel itself is drawn
}

TEST(DIBDraw, TransparentBlendBlendsNonKeyPixelsAndTakesTheirAlpha) {
  TMemoryDIB s(2, 1);
  s.SetTransparent(true);
  s.SetTransparentMode(tmFixed);
  s.SetTransparentColor(0);
  s.SetOpacity(175);
  s.PixelAt(0, 0) = Px(0, 0, 255, 9);
  s.PixelAt(1, 0) = Px(0, 0, 0, 9);
  TMemoryDIB d(2, 1);
  FillWith(d, Px(255, 0, 0, 200));
  s.Draw(0, 0, d);
  // blue (80 * 255 + 255) div 256 = 80, red (175 * 255 + 255) div 256 = 175, alpha := 9.
  EXPECT_EQ(d.PixelAt(0, 0), Px(80, 0, 175, 9));
  EXPECT_EQ(d.PixelAt(1, 0), Px(255, 0, 0, 200));
}

TEST(DIBDraw, BackgroundAtMinusOneMinusOneFillsEveryPixelFromTheNextOne) {
  TMemoryDIB background(300, 225);
  for (int y = 0; y < 225; ++y) {
    for (int x = 0; x < 300; ++x) {
      background.PixelAt(x, y) =
          Px(static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(y), 255);
    }
  }
  TMemoryDIB frame(298, 223);
  background.Draw(298 / 2 - 300 / 2, 223 / 2 - 225 / 2, frame);
  for (int y = 0; y < 223; ++y) {
    for (int x = 0; x < 298; ++x) {
      ASSERT_EQ(frame.PixelAt(x, y), background.PixelAt(x + 1, y + 1)) << x << "," << y;
    }
  }
}

TEST(DIBDraw, NothingIsDrawnOutsideOrWithAnEmptyRectangle) {
  TMemoryDIB s(4, 4);
  FillWith(s, kWhite);
  TMemoryDIB d(4, 4);
  int changes = 0;
  d.OnChange = [&](TAbstractSuperDIB&) { ++changes; };
  s.Draw(4, 0, d);
  s.Draw(0, 4, d);
  s.Draw(-4, 0, d);
  s.Draw(0, -4, d);
  s.Draw(0, 0, 0, 0, d, 4, 0);
  s.Draw(0, 0, 0, 0, d, 0, 4);
  s.Draw(0, 0, 0, 0, d, -3, -3);
  s.Draw(0, 0, 4, 0, d, 4, 4); // source offset past the source
  s.Draw(INT32_MAX, INT32_MAX, 0, 0, d, INT32_MAX, INT32_MAX);
  s.Draw(INT32_MIN, INT32_MIN, 0, 0, d, INT32_MAX, INT32_MAX);
  EXPECT_EQ(changes, 0);
  for (int i = 0; i < 16; ++i) {
    ASSERT_EQ(d.Pixels()[i], Px(0, 0, 0, 0));
  }
  // A drawn area marks the destination changed once.
  s.Draw(3, 3, d);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(d.PixelAt(3, 3), kWhite);
  EXPECT_EQ(d.PixelAt(2, 3), Px(0, 0, 0, 0));
}

TEST(DIBDraw, ClipRectIsInclusiveAndMovesTheSourceOffset) {
  TMemoryDIB s(8, 8);
  FillWithMarkers(s);
  TMemoryDIB d(8, 8);
  d.SetClipRect(TRect{4, 4, 2, 2});
  s.Draw(0, 0, d);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && x <= 4 && y >= 2 && y <= 4;
      ASSERT_EQ(d.PixelAt(x, y), inside ? Marker(x, y) : Px(0, 0, 0, 0)) << x << "," << y;
    }
  }
  // Drawn at (3, 3), the pixel at the clip's left-top corner (2, 2) is outside the source
  // rectangle's start; (3, 3) gets source (0, 0) and (4, 4) source (1, 1).
  TMemoryDIB e(8, 8);
  e.SetClipRect(TRect{2, 2, 4, 4});
  s.Draw(3, 3, e);
  EXPECT_EQ(e.PixelAt(2, 2), Px(0, 0, 0, 0));
  EXPECT_EQ(e.PixelAt(3, 3), Marker(0, 0));
  EXPECT_EQ(e.PixelAt(4, 4), Marker(1, 1));
  EXPECT_EQ(e.PixelAt(5, 5), Px(0, 0, 0, 0));
}

TEST(DIBDraw, SourceRectangleIsCutToTheSource) {
  TMemoryDIB s(4, 3);
  FillWithMarkers(s);
  TMemoryDIB d(10, 10);
  // 6 x 6 requested from (2, 1): only 2 x 2 exist.
  s.Draw(5, 5, 2, 1, d, 6, 6);
  EXPECT_EQ(d.PixelAt(5, 5), Marker(2, 1));
  EXPECT_EQ(d.PixelAt(6, 6), Marker(3, 2));
  EXPECT_EQ(d.PixelAt(7, 5), Px(0, 0, 0, 0));
  EXPECT_EQ(d.PixelAt(5, 7), Px(0, 0, 0, 0));
  // A negative source offset starts the picture further in, never reading before the source.
  TMemoryDIB e(10, 10);
  s.Draw(0, 0, -2, -1, e, 3, 4);
  EXPECT_EQ(e.PixelAt(1, 0), Px(0, 0, 0, 0));
  EXPECT_EQ(e.PixelAt(2, 1), Marker(0, 0));
  EXPECT_EQ(e.PixelAt(3, 2), Marker(1, 1));
  EXPECT_EQ(e.PixelAt(4, 1), Px(0, 0, 0, 0));
}

TEST(DIBDraw, DrawingOntoItselfReadsTheSourceBeforeWriting) {
  TMemoryDIB image(5, 1);
  FillWithMarkers(image);
  image.SetOpacity(255);
  image.Draw(1, 0, image);
  EXPECT_EQ(image.PixelAt(0, 0), Marker(0, 0));
  for (int x = 1; x < 5; ++x) {
    EXPECT_EQ(image.PixelAt(x, 0), Marker(x - 1, 0));
  }
}

TEST(DIBDraw, DrawCopySetsAngleScaleAndRuleAside) {
  TMemoryDIB s(2, 2);
  FillWithMarkers(s);
  s.SetAngle(90);
  s.SetScale(300);
  s.SetOpacity(10);
  s.SetTransparent(true);
  TMemoryDIB d(3, 3);
  FillWith(d, kWhite);
  s.DrawCopy(1, 1, 0, 0, d, 2, 2);
  EXPECT_EQ(d.PixelAt(1, 1), Marker(0, 0));
  EXPECT_EQ(d.PixelAt(2, 2), Marker(1, 1));
  EXPECT_EQ(d.PixelAt(0, 0), kWhite);
  EXPECT_EQ(s.Angle(), 90);
  EXPECT_EQ(s.Scale(), 300.0);
  EXPECT_EQ(s.DrawVariant(), dvTransparentBlend);
}

TEST(DIBDraw, DrawAlphaAndDrawAlphaAsGrey) {
  TMemoryDIB s(1, 1);
  s.PixelAt(0, 0) = Px(1, 2, 3, 77);
  s.SetOpacity(5); // ignored by both
  TMemoryDIB d(1, 1);
  d.PixelAt(0, 0) = Px(10, 20, 30, 40);
  s.DrawAlpha(0, 0, 0, 0, d, 1, 1);
  EXPECT_EQ(d.PixelAt(0, 0), Px(10, 20, 30, 77));
  s.DrawAlphaAsGrey(0, 0, 0, 0, d, 1, 1);
  EXPECT_EQ(d.PixelAt(0, 0), Px(77, 77, 77, 77));
}

TEST(DIBDraw, FillAndFillRectConvertTheColourAndIgnoreTheClipRect) {
  TMemoryDIB d(4, 3);
  d.SetClipRect(TRect{0, 0, 0, 0});
  d.Fill(0x00112233);
  EXPECT_EQ(d.PixelAt(3, 2), Px(0x11, 0x22, 0x33, 0));
  d.FillRect(0x000000FF, -5, -5, 7, 7); // covers (0..1, 0..1)
  EXPECT_EQ(d.PixelAt(0, 0), Px(0, 0, 255, 0));
  EXPECT_EQ(d.PixelAt(1, 1), Px(0, 0, 255, 0));
  EXPECT_EQ(d.PixelAt(2, 1), Px(0x11, 0x22, 0x33, 0));
  EXPECT_EQ(d.PixelAt(1, 2), Px(0x11, 0x22, 0x33, 0));
  d.FillRect(0, 3, 2, 100, 100);
  EXPECT_EQ(d.PixelAt(3, 2), Px(0, 0, 0, 0));
  d.FillRect(0, 1, 1, 0, 5); // empty
  EXPECT_EQ(d.PixelAt(1, 1), Px(0, 0, 255, 0));
  TMemoryDIB empty;
  empty.Fill(0);
  empty.FillRect(0, 0, 0, 1, 1);
  EXPECT_FALSE(empty.HasBuffer());
}

TEST(DIBDraw, ImagesWithoutABufferDrawNothing) {
  TMemoryDIB empty;
  TMemoryDIB d(2, 2);
  FillWith(d, kWhite);
  empty.Draw(0, 0, 0, 0, d, 2, 2);
  d.Draw(0, 0, empty);
  EXPECT_EQ(d.PixelAt(0, 0), kWhite);
}

// A control's paint as the container runs it: the back buffer under the control onto the
// scratch image, the control's transparent glyph onto that, and the scratch image back at the
// control's opacity. Blending the background over itself gives it back unchanged
// ((175 * X + 80 * X + 255) div 256 = X), so only the glyph is weakened.
TEST(DIBDraw, ControlBlendedAt175WeakensOnlyWhatItDrew) {
  TMemoryDIB back(6, 6);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      back.PixelAt(x, y) = Px(static_cast<uint8_t>(40 * x), static_cast<uint8_t>(40 * y), 0, 255);
    }
  }
  TMemoryDIB glyph(2, 2);
  FillWith(glyph, kBlack);
  glyph.PixelAt(1, 1) = kWhite;
  glyph.SetTransparent(true);
  glyph.SetTransparentMode(tmFixed);
  glyph.SetTransparentColor(0);
  TMemoryDIB scratch(1, 1);
  scratch.SetOpacity(90); // left over from an earlier control
  scratch.SetSize(3, 3);
  scratch.ResetAttributes();
  back.Draw(0, 0, 2, 2, scratch, 3, 3);
  glyph.Draw(0, 0, scratch);
  scratch.SetOpacity(175);
  scratch.Draw(2, 2, back);
  EXPECT_EQ(back.PixelAt(2, 2), Px(80, 80, 0, 255));
  EXPECT_EQ(back.PixelAt(4, 4), Px(160, 160, 0, 255));
  // The glyph pixel at (3, 3) was written white with alpha 0 over (120, 120, 0): blue and green
  // (175 * 255 + 80 * 120 + 255) div 256 = 212, red (175 * 255 + 80 * 0 + 255) div 256 = 175,
  // alpha max(255, 0).
  EXPECT_EQ(back.PixelAt(3, 3), Px(212, 212, 175, 255));
}
