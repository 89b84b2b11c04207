#include "effect/FeedbackKernels.h"

#include <bit>
#include <tuple>
#include <utility>

#if !defined(__SSE2__)
#error "The signal path needs SSE2 (32-bit x86 builds: -msse2 -mfpmath=sse)."
#endif
#include <immintrin.h>

// The twelve steps per frame, in double precision with roundings to 32-bit floats at fixed
// points, left and right in the two lanes of one register. Frames go in batches that cannot
// read back what the same batch stores for feedback, through three stages: the steps up to
// the history for each frame in turn (where the low-pass filter and the envelope chain one
// frame to the next), the cabinet filter for all frames of the batch tap by tap (so that the
// sixteen additions of one frame, which must run in order, interleave with those of the
// other frames), and the saturation and stores.

#define ZINTRAX_INLINE inline __attribute__((always_inline))

namespace {
constexpr int kFilterTaps = 16;
// Frames per batch: as many as the registers hold sums for in the cabinet filter.
constexpr int kNarrowBatch = 8, kWideBatch = 16;

// The envelope is quiet below 0.00002: for a float that is the same as lying below the
// smallest float above 0.00002.
constexpr float QuietThreshold() {
  const float nearest = static_cast<float>(0.00002);
  return double(nearest) < 0.00002 ? std::bit_cast<float>(std::bit_cast<uint32_t>(nearest) + 1)
                                   : nearest;
}

ZINTRAX_INLINE __m128d RoundToFloat(__m128d v) {
  return _mm_cvtps_pd(_mm_cvtpd_ps(v));
}

// With e = |2x| and P = e(e(e(e + 3) + 6) + 12): P / (P + 24), negated for x below zero. An
// infinite x gives +-1 and a NaN gives 0; e is held below 1e10, beyond which the quotient is
// 1 in double precision anyway.
ZINTRAX_INLINE __m128d SoftClip(__m128d x) {
  const __m128d sign = _mm_set1_pd(-0.0);
  __m128d e = _mm_min_pd(_mm_andnot_pd(sign, _mm_add_pd(x, x)), _mm_set1_pd(1e10));
  __m128d p = _mm_add_pd(e, _mm_set1_pd(3.0));
  p = _mm_add_pd(_mm_mul_pd(e, p), _mm_set1_pd(6.0));
  p = _mm_add_pd(_mm_mul_pd(e, p), _mm_set1_pd(12.0));
  p = _mm_mul_pd(e, p);
  __m128d q = _mm_div_pd(p, _mm_add_pd(p, _mm_set1_pd(24.0)));
  q = _mm_xor_pd(q, _mm_and_pd(_mm_cmplt_pd(x, _mm_setzero_pd()), sign));
  return _mm_and_pd(q, _mm_cmpord_pd(x, x));
}

// The constants of a run and the state carried from frame to frame, in registers.
struct TLoop {
  explicit TLoop(const TFrameRun& run)
      : gain(_mm_set1_pd(run.FeedbackGain)), idle(_mm_set_ss(run.IdleFeed)),
        drive(_mm_set1_ps(run.Drive)), delay(_mm_set1_pd(run.Delay)),
        lowpass(_mm_set_pd(run.LowpassRight, run.LowpassLeft)), envelope(_mm_set_ss(run.Envelope)),
        state(run.RandomState) {}
  void Store(TFrameRun& run) const {
    run.LowpassLeft = _mm_cvtsd_f64(lowpass);
    run.LowpassRight = _mm_cvtsd_f64(_mm_unpackhi_pd(lowpass, lowpass));
    run.Envelope = _mm_cvtss_f32(envelope);
    run.RandomState = state;
  }
  const __m128d gain;
  const __m128 idle, drive;
  const __m128d delay;
  __m128d lowpass;
  __m128 envelope;
  uint32_t state;
};

// What the first stage hands to the others for each frame.
template <int B> struct TStaged {
  __m128d mix[B]; // the mixed signal, stored in the history too
  __m128 feed[B]; // the store factor, in lane 0
};

// Steps 1 to 8 for B frames from index p downward.
template <int B>
ZINTRAX_INLINE void FirstStage(TLoop& loop, const TFrameRun& run, int32_t i, int32_t p,
                               TStaged<B>& staged) {
  const __m128 signs = _mm_set1_ps(-0.0f);
  // 1. Input: each frame's pair in the low half; a sample that is not finite counts as
  // silence. Level: the larger magnitude in lane 0.
  __m128 input[B], peak[B];
  const auto levels = [&](__m128 pairs) {
    pairs = _mm_and_ps(pairs, _mm_cmpeq_ps(_mm_sub_ps(pairs, pairs), _mm_setzero_ps()));
    const __m128 a = _mm_andnot_ps(signs, pairs);
    return std::pair(pairs, _mm_max_ps(a, _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1))));
  };
  if constexpr (B % 4 == 0) {
#pragma GCC unroll 2
    for (int b = 0; b < B; b += 4) {
      const __m128 left = _mm_loadu_ps(run.In0 + i + b), right = _mm_loadu_ps(run.In1 + i + b);
      const auto [low, lowPeak] = levels(_mm_unpacklo_ps(left, right));
      const auto [high, highPeak] = levels(_mm_unpackhi_ps(left, right));
      input[b] = low, input[b + 1] = _mm_movehl_ps(low, low);
      input[b + 2] = high, input[b + 3] = _mm_movehl_ps(high, high);
      peak[b] = lowPeak, peak[b + 1] = _mm_movehl_ps(lowPeak, lowPeak);
      peak[b + 2] = highPeak, peak[b + 3] = _mm_movehl_ps(highPeak, highPeak);
    }
  } else {
    for (int b = 0; b < B; ++b)
      std::tie(input[b], peak[b]) =
          levels(_mm_unpacklo_ps(_mm_load_ss(run.In0 + i + b), _mm_load_ss(run.In1 + i + b)));
  }

  // 4. Wobbling delay: d = r * 0.2 + delay - 0.1 with r = state / 2^32, so that r * 0.2 is the
  // state times 0.2 / 2^32; k = d truncated, and both weights are exact in single precision.
  constexpr int Even = B + B % 2;
  alignas(16) int32_t k[Even];
  alignas(16) double w1[Even], w2[Even];
  {
    alignas(16) uint32_t states[Even] = {};
    for (int b = 0; b < B; ++b)
      states[b] = loop.state = loop.state * 134775813u + 1u;
    const __m128i flip = _mm_set1_epi32(int32_t(0x80000000u));
#pragma GCC unroll 4
    for (int b = 0; b < B; b += 2) {
      const __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(states + b));
      const __m128d r =
          _mm_add_pd(_mm_cvtepi32_pd(_mm_xor_si128(s, flip)), _mm_set1_pd(2147483648.0));
      const __m128d d2 = _mm_sub_pd(
          _mm_add_pd(_mm_mul_pd(r, _mm_set1_pd(0.2 / 4294967296.0)), loop.delay), _mm_set1_pd(0.1));
      const __m128 d = _mm_cvtpd_ps(d2);
      const __m128i whole = _mm_cvttps_epi32(d);
      const __m128 truncated = _mm_cvtepi32_ps(whole);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(k + b), whole);
      const __m128d first = _mm_cvtps_pd(_mm_sub_ps(_mm_add_ps(truncated, _mm_set1_ps(1.0f)), d));
      const __m128d second = _mm_cvtps_pd(_mm_sub_ps(d, truncated));
      _mm_store_pd(w1 + b, first);
      _mm_store_pd(w2 + b, second);
    }
  }

  const __m128 quiet = _mm_set_ss(QuietThreshold());
  const __m128d decay = _mm_set_sd(0.999999), offset = _mm_set1_pd(1e-24);
#pragma GCC unroll 16
  for (int b = 0; b < B; ++b) {
    // 2. Envelope: the peak where it rises above it, the decayed envelope otherwise.
    const __m128 decayed =
        _mm_cvtsd_ss(loop.envelope, _mm_mul_sd(_mm_cvtss_sd(decay, loop.envelope), decay));
    const __m128 rises = _mm_cmpgt_ss(peak[b], loop.envelope);
    loop.envelope = _mm_or_ps(_mm_and_ps(rises, peak[b]), _mm_andnot_ps(rises, decayed));
    // 3. Store factor.
    const __m128 quietNow = _mm_cmplt_ss(loop.envelope, quiet);
    staged.feed[b] =
        _mm_or_ps(_mm_and_ps(quietNow, loop.idle), _mm_andnot_ps(quietNow, _mm_set_ss(1.0f)));
    // 5. Delayed feedback: frames p - b + k and the one before it in one load.
    const __m128 stored = _mm_loadu_ps(run.Feedback + 2 * (p - b + k[b]));
    __m128d y = _mm_add_pd(_mm_mul_pd(_mm_load1_pd(w1 + b), _mm_cvtps_pd(stored)), offset);
    y = RoundToFloat(_mm_add_pd(
        y, _mm_mul_pd(_mm_load1_pd(w2 + b), _mm_cvtps_pd(_mm_movehl_ps(stored, stored)))));
    // 6. Low-pass: 0.5 y + 0.5 state, which halving the sum gives exactly.
    loop.lowpass = _mm_mul_pd(_mm_set1_pd(0.5), _mm_add_pd(y, loop.lowpass));
    // 7. Mix, 8. history.
    staged.mix[b] =
        RoundToFloat(_mm_add_pd(_mm_mul_pd(loop.gain, loop.lowpass), _mm_cvtps_pd(input[b])));
    _mm_store_pd(run.History + 2 * (p - b), staged.mix[b]);
  }
}

// Step 9 for B frames: the dot product of the 16 history frames from each frame's index on
// with taps 0 to 15 of the blend, summed from tap 0 upward. The sums of all frames advance
// tap by tap; the newest frame of each comes from the first stage's register.
template <int B>
ZINTRAX_INLINE void Fir16(const TFrameRun& run, int32_t p, const TStaged<B>& staged,
                          __m128d (&sum)[B]) {
#pragma GCC unroll 16
  for (int b = 0; b < B; ++b)
    sum[b] = _mm_mul_pd(staged.mix[b], _mm_load_pd(run.Taps));
#pragma GCC unroll 16
  for (int j = 1; j < kFilterTaps; ++j) {
    const __m128d tap = _mm_load_pd(run.Taps + 2 * j);
#pragma GCC unroll 16
    for (int b = 0; b < B; ++b)
      sum[b] = _mm_add_pd(sum[b], _mm_mul_pd(_mm_load_pd(run.History + 2 * (p - b + j)), tap));
  }
}

// Steps 9 to 11 for B frames, one frame per register.
template <int B>
ZINTRAX_INLINE void LastStagesNarrow(TLoop& loop, const TFrameRun& run, int32_t i, int32_t p,
                                     const TStaged<B>& staged) {
  // 9. Cabinet.
  __m128d sum[B];
  Fir16(run, p, staged, sum);
#pragma GCC unroll 16
  for (int b = 0; b < B; ++b) {
    // 10. Saturation: the drive times the filtered value is exact in single precision.
    const __m128 s = _mm_mul_ps(loop.drive, _mm_cvtpd_ps(sum[b]));
    const __m128 out = _mm_cvtpd_ps(SoftClip(_mm_cvtps_pd(s)));
    _mm_store_ss(run.Out0 + i + b, out);
    _mm_store_ss(run.Out1 + i + b, _mm_shuffle_ps(out, out, 1));
    // 11. Feedback store, again an exact single-precision product.
    _mm_storel_pi(reinterpret_cast<__m64*>(run.Feedback + 2 * (p - b)),
                  _mm_mul_ps(out, _mm_shuffle_ps(staged.feed[b], staged.feed[b], 0)));
  }
}

// The wide build: two frames in each 256-bit register, the newer one in the lower half,
// which is also their order in the buffers.
#define ZINTRAX_WIDE __attribute__((target("avx2")))

ZINTRAX_WIDE ZINTRAX_INLINE __m256d SoftClipWide(__m256d x) {
  const __m256d sign = _mm256_set1_pd(-0.0);
  __m256d e = _mm256_min_pd(_mm256_andnot_pd(sign, _mm256_add_pd(x, x)), _mm256_set1_pd(1e10));
  __m256d p = _mm256_add_pd(e, _mm256_set1_pd(3.0));
  p = _mm256_add_pd(_mm256_mul_pd(e, p), _mm256_set1_pd(6.0));
  p = _mm256_add_pd(_mm256_mul_pd(e, p), _mm256_set1_pd(12.0));
  p = _mm256_mul_pd(e, p);
  __m256d q = _mm256_div_pd(p, _mm256_add_pd(p, _mm256_set1_pd(24.0)));
  q = _mm256_xor_pd(q, _mm256_and_pd(_mm256_cmp_pd(x, _mm256_setzero_pd(), _CMP_LT_OQ), sign));
  return _mm256_and_pd(q, _mm256_cmp_pd(x, x, _CMP_ORD_Q));
}

// Step 9 with two frames per register: register q sums frames 2q + 1 (lower half) and 2q,
// whose history values lie next to each other in that order.
template <int B>
ZINTRAX_WIDE ZINTRAX_INLINE void Fir16Wide(const TFrameRun& run, int32_t p,
                                           const TStaged<B>& staged, __m256d (&sum)[B / 2]) {
  constexpr int Q = B / 2;
  const __m256d first = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(run.Taps));
#pragma GCC unroll 16
  for (int q = 0; q < Q; ++q)
    sum[q] = _mm256_mul_pd(_mm256_set_m128d(staged.mix[2 * q], staged.mix[2 * q + 1]), first);
#pragma GCC unroll 16
  for (int j = 1; j < kFilterTaps; ++j) {
    const __m256d tap = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(run.Taps + 2 * j));
#pragma GCC unroll 16
    for (int q = 0; q < Q; ++q)
      sum[q] = _mm256_add_pd(
          sum[q], _mm256_mul_pd(_mm256_loadu_pd(run.History + 2 * (p - 2 * q - 1 + j)), tap));
  }
}

template <int B>
ZINTRAX_WIDE void LastStagesWide(TLoop& loop, const TFrameRun& run, int32_t i, int32_t p,
                                 const TStaged<B>& staged) {
  static_assert(B % 4 == 0);
  constexpr int Q = B / 2;
  // 9. Cabinet: register q holds frames 2q + 1 (lower half) and 2q.
  __m256d sum[Q];
  Fir16Wide(run, p, staged, sum);
  __m128 out[Q];
#pragma GCC unroll 16
  for (int q = 0; q < Q; ++q) {
    // 10. Saturation, 11. feedback store of both frames at once.
    const __m128 s = _mm_mul_ps(loop.drive, _mm256_cvtpd_ps(sum[q]));
    out[q] = _mm256_cvtpd_ps(SoftClipWide(_mm256_cvtps_pd(s)));
    const __m128 feed = _mm_shuffle_ps(staged.feed[2 * q + 1], staged.feed[2 * q], 0);
    _mm_storeu_ps(run.Feedback + 2 * (p - 2 * q - 1), _mm_mul_ps(out[q], feed));
  }
  // Outputs: from (L1 R1 L0 R0) and (L3 R3 L2 R2) to (L0 L1 L2 L3) and (R0 R1 R2 R3).
#pragma GCC unroll 4
  for (int q = 0; q < Q; q += 2) {
    _mm_storeu_ps(run.Out0 + i + 2 * q,
                  _mm_shuffle_ps(out[q], out[q + 1], _MM_SHUFFLE(0, 2, 0, 2)));
    _mm_storeu_ps(run.Out1 + i + 2 * q,
                  _mm_shuffle_ps(out[q], out[q + 1], _MM_SHUFFLE(1, 3, 1, 3)));
  }
}

// The frames of a run: batches where the delay allows, single frames for the rest.
template <bool Wide> ZINTRAX_INLINE void RunFrames(TFrameRun& run) {
  constexpr int Batch = Wide ? kWideBatch : kNarrowBatch;
  TLoop loop(run);
  // The shortest distance, in frames, between a frame and the older frame it reads back.
  const int32_t nearest = static_cast<int32_t>(static_cast<float>(double(run.Delay) - 0.1));
  int32_t i = 0;
  if (nearest >= Batch)
    for (; i + Batch <= run.Frames; i += Batch) {
      TStaged<Batch> staged;
      FirstStage(loop, run, i, run.WritePos - i, staged);
      if constexpr (Wide)
        LastStagesWide(loop, run, i, run.WritePos - i, staged);
      else
        LastStagesNarrow(loop, run, i, run.WritePos - i, staged);
    }
  for (; i < run.Frames; ++i) {
    TStaged<1> staged;
    FirstStage(loop, run, i, run.WritePos - i, staged);
    LastStagesNarrow(loop, run, i, run.WritePos - i, staged);
  }
  loop.Store(run);
}

} // namespace

void RunFramesNarrow(TFrameRun& run) {
  RunFrames<false>(run);
}

ZINTRAX_WIDE void RunFramesWide(TFrameRun& run) {
  RunFrames<true>(run);
}

bool WideFramesAvailable() {
  return __builtin_cpu_supports("avx2");
}
