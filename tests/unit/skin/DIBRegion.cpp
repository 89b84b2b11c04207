// Regions from masks and colours, and palette indexes for 8-bit displays.
#include "skin/cDIB.h"
#include "unit/skin/DIBTestImages.h"

#include <gtest/gtest.h>

TEST(DIBRegion, MaskRunsBecomeRectanglesFromTheTopRowDown) {
  TMemoryDIB s(5, 3);
  // Row 0: alpha 0 200 200 0 200 -> runs [1, 3) and [4, 5). Row 1: none. Row 2: all.
  const uint8_t alpha[3][5] = {{0, 200, 200, 0, 200}, {10, 10, 10, 10, 10}, {11, 99, 255, 50, 11}};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      s.PixelAt(x, y) = Px(0, 0, 0, alpha[y][x]);
    }
  }
  const auto region = RegionFromMask(s, 10);
  ASSERT_TRUE(region.has_value());
  const std::vector<TRect> expected{{1, 0, 3, 1}, {4, 0, 5, 1}, {0, 2, 5, 3}};
  EXPECT_EQ(region->Rects, expected);
  EXPECT_TRUE(region->Contains(2, 0));
  EXPECT_FALSE(region->Contains(3, 0));
  EXPECT_FALSE(RegionFromMask(s, 255).has_value());
}

TEST(DIBRegion, ColourRegionComparesTheColourBytesOnly) {
  TMemoryDIB s(3, 2);
  FillWith(s, Px(0x33, 0x22, 0x11, 0)); // the colour 0x00332211 in pixel order
  s.PixelAt(2, 1) = Px(0x33, 0x22, 0x11, 255);
  s.PixelAt(1, 0) = Px(0x34, 0x22, 0x11, 0);
  const auto region = RegionFromColour(s, 0x00332211);
  ASSERT_TRUE(region.has_value());
  EXPECT_EQ(region->Rects, (std::vector<TRect>{{1, 0, 2, 1}}));
  FillWith(s, Px(0x33, 0x22, 0x11, 7));
  EXPECT_FALSE(RegionFromColour(s, 0x00332211).has_value());
  EXPECT_FALSE(RegionFromColour(TMemoryDIB(), 0).has_value());
}

TEST(DIBRender8Bit, IndexesComeFromTheLookupTableByQuarteredChannels) {
  TLookupPalette palette;
  palette.Entries.assign(256, 0x00FFFFFF);
  palette.Lookup.assign(kLookupTableSize, 0);
  // b div 4 + (g div 4) * 64 + (r div 4) * 4096 for (b, g, r) = (7, 9, 255): 1 + 128 + 258048.
  palette.Lookup[1 + 2 * 64 + 63 * 4096] = 42;
  palette.Lookup[63 + 63 * 64 + 63 * 4096] = 235;
  TMemoryDIB s(3, 2);
  FillWith(s, Px(0, 0, 0, 0));
  s.PixelAt(1, 0) = Px(7, 9, 255, 0);
  s.PixelAt(2, 1) = Px(255, 255, 255, 0);
  const T8BitImage all = Render8BitIndexes(s, TRect{0, 0, 3, 2}, palette);
  EXPECT_EQ(all.Width, 3);
  EXPECT_EQ(all.Height, 2);
  EXPECT_EQ(all.Indexes, (std::vector<uint8_t>{0, 42, 0, 0, 0, 235}));
  EXPECT_EQ(all.ColourTable.size(), 235u);
  // The rectangle is cut to the image.
  const T8BitImage part = Render8BitIndexes(s, TRect{1, -5, 10, 1}, palette);
  EXPECT_EQ(part.Width, 2);
  EXPECT_EQ(part.Height, 1);
  EXPECT_EQ(part.Indexes, (std::vector<uint8_t>{42, 0}));
}

TEST(DIBRender8Bit, RefusesAPaletteWithoutACompleteLookupTable) {
  TMemoryDIB s(1, 1);
  TLookupPalette palette;
  try {
    Render8BitIndexes(s, TRect{0, 0, 1, 1}, palette);
    FAIL() << "no error";
  } catch (const EDIBError& e) {
    EXPECT_STREQ(e.what(), "Render8Bit can only be used with a palette containing a lookup table");
  }
  palette.Lookup.assign(100, 0); // a short table would be read past its end
  EXPECT_THROW(Render8BitIndexes(s, TRect{0, 0, 1, 1}, palette), EDIBError);
}
