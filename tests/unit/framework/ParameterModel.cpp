// The parameter model: curves both ways, smoothing, the display format and text helpers.
#include "framework/DAEffect.h"
#include "framework/DParameterProperty.h"
#include "framework/DVstUtils.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>

namespace {
TCustomVstParameterProperty Description(float min, float max, TCurveType curve,
                                        float curveFactor = 1.0f) {
  TCustomVstParameterProperty p(nullptr, "p");
  p.Min = min;
  p.Max = max;
  p.Curve = curve;
  p.CurveFactor = curveFactor;
  return p;
}
} // namespace

TEST(Curves, LinearMapsBothWays) {
  auto p = Description(50.0f, 750.0f, ctLinear);
  EXPECT_EQ(p.NormalizedToReal(0.5f), 400.0f);
  EXPECT_EQ(p.RealToNormalized(400.0f), 0.5f);
  EXPECT_EQ(p.NormalizedToReal(1.5f), 1100.0f) << "host values are not clamped";
  EXPECT_EQ(p.RealToNormalized(1100.0f), 1.0f);
  EXPECT_EQ(p.RealToNormalized(-5.0f), 0.0f);
}

TEST(Curves, LogarithmicAndExponentialRoundTrip) {
  for (TCurveType curve : {ctLogarithmic, ctExponential})
    for (float cf : {0.5f, 3.0f, 100.0f}) {
      auto p = Description(20.0f, 20000.0f, curve, cf);
      for (float n = 0.0f; n <= 1.0f; n += 0.125f)
        EXPECT_NEAR(p.RealToNormalized(p.NormalizedToReal(n)), n, 2e-6f)
            << "curve " << curve << " factor " << cf << " at " << n;
    }
  auto log = Description(0.0f, 1.0f, ctLogarithmic, 3.0f);
  EXPECT_NEAR(log.NormalizedToReal(0.5f), 1.0f / 3.0f, 1e-7f); // (4^0.5 - 1) / 3
}

TEST(Curves, FrequencyScaleToNormalised) {
  auto p = Description(20.0f, 20000.0f, ctFrequencyScale);
  EXPECT_NEAR(p.RealToNormalized(20.0f), 0.0f, 1e-7f);
  const double ratio = 1000.0;
  const double u = (1000.0 - 20.0) / (20000.0 - 20.0);
  EXPECT_NEAR(p.RealToNormalized(1000.0f), std::log(u * ratio + 1) / std::log(ratio), 1e-6);
  auto zeroMin = Description(0.0f, 100.0f, ctFrequencyScale);
  EXPECT_NEAR(zeroMin.RealToNormalized(50.0f), std::log(0.5 * 100 + 1) / std::log(100.0), 1e-6);
  EXPECT_EQ(p.NormalizedToReal(0.5f), 10010.0f) << "host to real stays linear";
}

TEST(Curves, DegenerateRangesClampInsteadOfPoisoning) {
  auto flat = Description(5.0f, 5.0f, ctLinear);
  EXPECT_EQ(flat.RealToNormalized(6.0f), 1.0f);
  EXPECT_EQ(flat.RealToNormalized(5.0f), 0.0f);
  EXPECT_EQ(flat.NormalizedToReal(0.7f), 5.0f);
  auto badFactor = Description(0.0f, 1.0f, ctLogarithmic, -2.0f);
  const float n = badFactor.RealToNormalized(0.5f);
  EXPECT_TRUE(n >= 0.0f && n <= 1.0f);
}

TEST(Curves, SmoothingRunsTwoStages) {
  auto p = Description(0.0f, 100.0f, ctLinear);
  p.SmoothingFactor = 0.5f;
  EXPECT_EQ(p.NormalizedToReal(1.0f), 25.0f);
  EXPECT_EQ(p.NormalizedToReal(1.0f), 50.0f);
  // 100 * 1e38 overflows single precision: answered unsmoothed, the states keep 75 and 50.
  EXPECT_TRUE(std::isinf(p.NormalizedToReal(1e38f)));
  EXPECT_EQ(p.NormalizedToReal(1.0f), 68.75f); // s1 = 87.5, s2 = 50 + 0.5 * 37.5
}

TEST(Curves, TextLimitsOfADescription) {
  TCustomVstParameterProperty p(nullptr, std::string(40, 'n'));
  EXPECT_EQ(p.DisplayName().size(), 30u);
  p.SetUnits("centimetres");
  EXPECT_EQ(p.Units(), "centimet");
  TCustomVstParameterProperty other(nullptr, "other");
  other.Min = 3.0f;
  p.Assign(other);
  EXPECT_EQ(p.DisplayName(), "other");
  EXPECT_EQ(p.Min, 0.0f) << "assigning copies the name only";
}

TEST(DisplayFormat, FifteenSignificantDigits) {
  EXPECT_EQ(FloatToGeneralText(0.1f), "0.100000001490116");
  EXPECT_EQ(FloatToGeneralText(0.3f), "0.300000011920929");
  EXPECT_EQ(FloatToGeneralText(400.0f), "400");
  EXPECT_EQ(FloatToGeneralText(1.5f), "1.5");
  EXPECT_EQ(FloatToGeneralText(-2.25f), "-2.25");
  EXPECT_EQ(FloatToGeneralText(0.0f), "0");
  EXPECT_EQ(FloatToGeneralText(-0.0f), "0");
  EXPECT_EQ(FloatToGeneralText(1e14f), "100000000376832");
  EXPECT_EQ(FloatToGeneralText(1e15f), "999999986991104");
  EXPECT_EQ(FloatToGeneralText(1e16f), "1.00000002725642E16");
  EXPECT_EQ(FloatToGeneralText(0.0009765625f), "0.0009765625");
  EXPECT_EQ(FloatToGeneralText(0.0000152587890625f), "0.0000152587890625");
  EXPECT_EQ(FloatToGeneralText(0.00000762939453125f), "7.62939453125E-6");
  EXPECT_EQ(FloatToGeneralText(std::nanf("")), "NAN");
  EXPECT_EQ(FloatToGeneralText(-INFINITY), "-INF");
}

TEST(DisplayFormat, DecimalSeparatorOfTheLocale) {
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
    GTEST_SKIP() << "no German locale installed";
  EXPECT_EQ(FloatToGeneralText(1.5f), "1,5");
  EXPECT_EQ(ParseDecimalText("2,5"), 2.5);
  std::setlocale(LC_NUMERIC, "C");
}

TEST(TextHelpers, ParseAcceptsWholeNumbersOnly) {
  EXPECT_EQ(ParseDecimalText("400"), 400.0);
  EXPECT_EQ(ParseDecimalText("  -1.5e2 "), -150.0);
  EXPECT_FALSE(ParseDecimalText("abc"));
  EXPECT_FALSE(ParseDecimalText(""));
  EXPECT_FALSE(ParseDecimalText("12 34"));
  EXPECT_FALSE(ParseDecimalText("0x1A"));
}

TEST(TextHelpers, CopyCutsAtTheBoundWithoutSplittingCharacters) {
  char buffer[40];
  std::memset(buffer, 'G', sizeof buffer);
  CopyHostText(buffer, std::string(50, 'a'), THostText::ProgramName);
  EXPECT_EQ(std::strlen(buffer), 23u);
  EXPECT_EQ(buffer[24], 'G');
  // 22 ASCII characters then a two-byte character that would end at byte 24.
  CopyHostText(buffer, std::string(22, 'b') + "\xC3\xA9", THostText::ProgramName);
  EXPECT_EQ(std::string(buffer), std::string(22, 'b'));
  CopyHostText(nullptr, "ignored", THostText::Parameter);
  EXPECT_EQ(ReadHostText(nullptr, 10), "");
  const char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(ReadHostText(unterminated, 4), "abcd");
}

TEST(TextHelpers, RoundingTiesGoToEven) {
  EXPECT_EQ(RoundHalfEven(0.5), 0.0);
  EXPECT_EQ(RoundHalfEven(1.5), 2.0);
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
  EXPECT_EQ(RoundHalfEven(-2.6), -3.0);
  EXPECT_EQ(RoundHalfEven(16383.5), 16384.0);
}

TEST(TextHelpers, FourCharCodes) {
  EXPECT_EQ(StringToFourCharCode("Zntx"), 0x5A6E7478);
  EXPECT_EQ(FourCharCodeToString(0x5A6E7478), "Zntx");
  EXPECT_EQ(FourCharCode('V', 's', 't', 'P'), 0x56737450);
}
