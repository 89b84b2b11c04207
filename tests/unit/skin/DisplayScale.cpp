// The display scales: which scale a wish becomes, what text says one, and how form units meet
// screen pixels (every pixel belongs to exactly the unit a pointer there is given).
#include "skin/DisplayScale.h"

#include <gtest/gtest.h>

TEST(DisplayScale, WishesRoundToADrawnScaleAndPixelsMapBackToTheirUnit) {
  EXPECT_EQ(NearestDisplayScale(0.5), 1.0);
  EXPECT_EQ(NearestDisplayScale(1.24), 1.0);
  EXPECT_EQ(NearestDisplayScale(1.25), 1.5);
  EXPECT_EQ(NearestDisplayScale(2.0), 2.0);
  EXPECT_EQ(NearestDisplayScale(7.0), 3.0);
  EXPECT_EQ(NearestDisplayScale(0.0 / 0.0), 1.0);
  EXPECT_EQ(ParseDisplayScale("1.5"), 1.5);
  EXPECT_EQ(ParseDisplayScale(" 200%"), 2.0);
  EXPECT_EQ(ParseDisplayScale("2x"), 0.0);
  EXPECT_EQ(ParseDisplayScale("-1"), 0.0);
  EXPECT_EQ(ParseDisplayScale(""), 0.0);
  for (double scale : DisplayScales())
    for (int unit = -4; unit < 300; ++unit)
      for (int p = ScaledCoordinate(unit, scale); p < ScaledCoordinate(unit + 1, scale); ++p) {
        ASSERT_EQ(UnscaledCoordinate(p, scale), unit) << scale << " " << p;
        const TRect covering = UnscaledRectCovering({p, p, p + 1, p + 1}, scale);
        ASSERT_EQ(covering.Left, unit);
        ASSERT_EQ(covering.Right, unit + 1);
      }
}
