// From parameter values to the loop's coefficients.
#include "effect/ParameterMapping.h"

#include <gtest/gtest.h>

TEST(ParameterMapping, DistanceSetsTheDelayInSamplesAndTheGain) {
  EXPECT_EQ(64.0f, DelayForDistance(50.0f, 64));
  EXPECT_EQ(1024.0f, DelayForDistance(750.0f, 64));
  EXPECT_EQ(406.857142857f, DelayForDistance(300.0f, 64));
  EXPECT_EQ(0.0f, DelayForDistance(300.0f, 0)); // before the impulse length is known
  EXPECT_EQ(1.0f, FeedbackGainForDistance(50.0f));
  EXPECT_EQ(static_cast<float>(1.0 - 700.0 / 1111.0), FeedbackGainForDistance(750.0f));
  EXPECT_NEAR(0.369937f, FeedbackGainForDistance(750.0f), 1e-6f);
  // No clamping: values outside the range follow the same formulas.
  EXPECT_EQ(static_cast<float>((5000.0 - 50.0) / 700.0 * 15.0 * 64.0 + 64.0),
            DelayForDistance(5000.0f, 64));
  EXPECT_LT(FeedbackGainForDistance(5000.0f), 0.0f);
}

TEST(ParameterMapping, FeedingSetsTheIdleFeed) {
  EXPECT_EQ(0.75f, IdleFeedForFeeding(1.0f));
  EXPECT_EQ(0.6f, IdleFeedForFeeding(1.5f));
  EXPECT_EQ(0.5f, IdleFeedForFeeding(2.0f));
  EXPECT_EQ(static_cast<float>(3.0 / 7.0), IdleFeedForFeeding(2.5f));
  EXPECT_EQ(0.25f, IdleFeedForFeeding(5.0f));
}

TEST(ParameterMapping, ThePadBlendsTheFourCabinetsBilinearlyOverAllTaps) {
  TImpulseTable cabinets{};
  for (int b = 0; b < kImpulseBlocks; ++b)
    for (int t = 0; t < kImpulseTaps; ++t)
      cabinets[b][t] = float(b + 1) * 0.1f + float(t) * 0.01f * float(b % 2 ? -1 : 1);
  TImpulseResponse blend;
  const float corners[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  for (int b = 0; b < kImpulseBlocks; ++b) {
    BlendImpulses(cabinets, corners[b][0], corners[b][1], blend);
    EXPECT_EQ(cabinets[b], blend) << b;
  }
  BlendImpulses(cabinets, 0.5f, 0.5f, blend);
  for (int t = 0; t < kImpulseTaps; ++t)
    EXPECT_FLOAT_EQ((cabinets[0][t] + cabinets[1][t] + cabinets[2][t] + cabinets[3][t]) / 4.0f,
                    blend[t]);
  // Tap 63 is blended too; the four terms are summed in double and rounded once.
  BlendImpulses(cabinets, 0.3f, 0.8f, blend);
  const double x = 0.3f, y = 0.8f;
  EXPECT_EQ(static_cast<float>((1 - x) * (1 - y) * cabinets[0][63] + x * (1 - y) * cabinets[1][63] +
                               (1 - x) * y * cabinets[2][63] + x * y * cabinets[3][63]),
            blend[63]);
}
