// From parameter values to the coefficients of the feedback loop. Arithmetic runs in double
// precision; each result is rounded once to a 32-bit float.
#pragma once

#include "effect/ImpulseTable.h"

#include <cstdint>
#include <span>

// The loop's delay in samples for a Distance in cm: N at 50 cm, 16 N at 750 cm, where N is
// the number of taps per impulse response.
float DelayForDistance(float distance, int32_t impulseLength);

// The gain on the returning sound: 1 at 50 cm, falling by 1/1111 per cm.
float FeedbackGainForDistance(float distance);

// The factor on what is stored for feedback while the input is quiet.
float IdleFeedForFeeding(float feeding);

// The bilinear blend of the four cabinet responses over the X/Y pad: X = 0, Y = 0 gives the
// first, X = 1, Y = 0 the second, X = 0, Y = 1 the third and X = 1, Y = 1 the fourth.
// All taps are blended.
void BlendImpulses(std::span<const TImpulseResponse, kImpulseBlocks> cabinets, float x, float y,
                   TImpulseResponse& blend);
