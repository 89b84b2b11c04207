// The arithmetic that every kernel of the feedback signal path shares: its constants, the
// rounding to a 32-bit float, the envelope's decay and the saturation. Arithmetic runs in
// double precision; ToFloat marks each rounding to a 32-bit float.
#pragma once

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>

inline constexpr double kEnvelopeDecay = 0.999999; // per frame (step 2)
inline constexpr double kQuietLevel = 0.00002;     // of the envelope (step 3)
inline constexpr double kDelaySpan = 0.2;          // of the random delay (step 4) ...
inline constexpr double kDelayCentre = 0.1;        // ... centred by subtracting this
inline constexpr double kDelayedOffset = 1e-24;    // added to every delayed value (step 5)
// Beyond this magnitude the saturation's quotient is 1 in double precision anyway (step 10).
inline constexpr double kSoftClipLimit = 1e10;

// The envelope is quiet below kQuietLevel; for a float that is the same as lying below the
// smallest float not below kQuietLevel.
inline constexpr float kQuietFloat =
    double(float(kQuietLevel)) < kQuietLevel
        ? std::bit_cast<float>(std::bit_cast<uint32_t>(float(kQuietLevel)) + 1)
        : float(kQuietLevel);

// The signal path runs with denormal results flushed to zero. x86 flushes a result that is
// below the smallest normal float after rounding; 64-bit ARM flushes one that is below it
// before rounding, so values in the thin band from this bound up to the smallest normal float
// would become 0 there instead of the smallest normal float. ToFloat puts them back.
inline constexpr double kRoundsToSmallestNormal = double(FLT_MIN) * (1.0 - 0x1p-25);

inline float ToFloat(double value) {
#if defined(__aarch64__)
  const double magnitude = std::fabs(value);
  if (magnitude >= kRoundsToSmallestNormal && magnitude < double(FLT_MIN))
    return float(std::copysign(double(FLT_MIN), value));
#endif
  return static_cast<float>(value);
}

// 1. A sample that is not finite counts as silence.
inline float Finite(float sample) {
  return std::isfinite(sample) ? sample : 0.0f;
}

// 2. The envelope a frame later when no peak rises above it.
inline float Decayed(float envelope) {
  return ToFloat(envelope * kEnvelopeDecay);
}

// 10. With e = |2x| and P = e(e(e(e + 3) + 6) + 12): P / (P + 24), negated for x below zero.
// An infinite x gives +-1 and a NaN gives 0.
inline double SoftClip(double x) {
  if (std::isnan(x))
    return 0.0;
  const double e = std::fmin(std::fabs(2.0 * x), kSoftClipLimit);
  const double p = e * (e * (e * (e + 3.0) + 6.0) + 12.0);
  const double q = p / (p + 24.0);
  return x < 0.0 ? -q : q;
}
