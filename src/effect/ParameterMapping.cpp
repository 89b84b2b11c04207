#include "effect/ParameterMapping.h"

float DelayForDistance(float distance, int32_t impulseLength) {
  const double n = impulseLength;
  return static_cast<float>((double(distance) - 50.0) / 700.0 * 15.0 * n + n);
}

float FeedbackGainForDistance(float distance) {
  return static_cast<float>(1.0 - (double(distance) - 50.0) / 1111.0);
}

float IdleFeedForFeeding(float feeding) {
  return static_cast<float>(3.0 / ((double(feeding) + 1.0) * 2.0));
}

void BlendImpulses(std::span<const TImpulseResponse, kImpulseBlocks> cabinets, float x, float y,
                   TImpulseResponse& blend) {
  const double X = x, Y = y;
  for (int i = 0; i < kImpulseTaps; ++i)
    blend[i] =
        static_cast<float>((1.0 - X) * (1.0 - Y) * cabinets[0][i] + X * (1.0 - Y) * cabinets[1][i] +
                           (1.0 - X) * Y * cabinets[2][i] + X * Y * cabinets[3][i]);
}
