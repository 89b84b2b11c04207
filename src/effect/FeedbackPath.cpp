#include "effect/FeedbackPath.h"

#include "effect/ParameterMapping.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#if !defined(__SSE2__)
#error "The signal path needs SSE2 (32-bit x86 builds: -msse2 -mfpmath=sse)."
#endif
#include <emmintrin.h>

namespace {
// The floating-point state the signal path runs in, for the lifetime of the object: round to
// nearest, every exception masked, denormals flushed to zero on the way in and out. The
// caller's control and status register comes back afterwards, whatever it held.
class TSignalPathFloatingPoint {
public:
  TSignalPathFloatingPoint() : FSaved(_mm_getcsr()) { _mm_setcsr(kSignalPath); }
  ~TSignalPathFloatingPoint() { _mm_setcsr(FSaved); }
  TSignalPathFloatingPoint(const TSignalPathFloatingPoint&) = delete;
  TSignalPathFloatingPoint& operator=(const TSignalPathFloatingPoint&) = delete;

private:
  static constexpr unsigned kAllExceptionsMasked = 0x1F80, kFlushToZero = 0x8000,
                            kDenormalsAreZero = 0x0040;
  static constexpr unsigned kSignalPath = kAllExceptionsMasked | kFlushToZero | kDenormalsAreZero;
  unsigned FSaved;
};

// Rounds both lanes to 32-bit floats and widens them again.
inline __m128d RoundToFloat(__m128d v) {
  return _mm_cvtps_pd(_mm_cvtpd_ps(v));
}

// The dot product of 16 consecutive history frames from the newest one (already in a
// register: reading it back right after storing it would stall) with taps 0 to 15 of the
// blend, added from tap 0 upward, both channels at once.
inline __m128d Fir16(__m128d newest, const double* history, const double* taps) {
  __m128d sum = _mm_mul_pd(newest, _mm_load_pd(taps));
  for (int j = 1; j < TFeedbackPath::kFilterTaps; ++j)
    sum = _mm_add_pd(sum, _mm_mul_pd(_mm_load_pd(history + 2 * j), _mm_load_pd(taps + 2 * j)));
  return sum;
}

// The soft saturation of both lanes: with e = |2x| and P = e(e(e(e + 3) + 6) + 12), P / (P + 24),
// negated for x below zero. An infinite x gives +-1 and a NaN gives 0; e is held below 1e10,
// beyond which the quotient is 1 in double precision anyway.
inline __m128d SoftClip(__m128d x) {
  const __m128d sign = _mm_set1_pd(-0.0);
  __m128d e = _mm_andnot_pd(sign, _mm_add_pd(x, x));
  e = _mm_min_pd(e, _mm_set1_pd(1e10));
  __m128d p = _mm_add_pd(e, _mm_set1_pd(3.0));
  p = _mm_add_pd(_mm_mul_pd(e, p), _mm_set1_pd(6.0));
  p = _mm_add_pd(_mm_mul_pd(e, p), _mm_set1_pd(12.0));
  p = _mm_mul_pd(e, p);
  __m128d q = _mm_div_pd(p, _mm_add_pd(p, _mm_set1_pd(24.0)));
  q = _mm_xor_pd(q, _mm_and_pd(_mm_cmplt_pd(x, _mm_setzero_pd()), sign));
  return _mm_and_pd(q, _mm_cmpord_pd(x, x));
}
} // namespace

// The envelope is quiet below 0.00002: for a float that is the same as lying below the
// smallest float above 0.00002.
constexpr float QuietThreshold() {
  const float nearest = static_cast<float>(0.00002);
  return double(nearest) < 0.00002 ? std::bit_cast<float>(std::bit_cast<uint32_t>(nearest) + 1)
                                   : nearest;
}
constexpr float kQuietBelow = QuietThreshold();

struct TFeedbackPath::TLoopState {
  __m128d Lowpass;
  float Envelope;
  uint32_t RandomState;
};

void TFeedbackPath::Open(const TImpulseTable& cabinets) {
  FOpened.store(false, std::memory_order_release);
  for (TImpulseResponse& response : FImpulses) {
    response.fill(0.0f);
    response[0] = 1.0f;
  }
  std::copy(cabinets.begin(), cabinets.end(), FImpulses.begin() + 1);
  FBlendMailbox.Discard();
  LoadFilterTaps();
  FHistory.assign(FHalfLength + kFilterTaps, TFramePair{0.0, 0.0});
  FFeedback.assign(2 * FBufferLength, 0.0f);
  FWritePos = 0;
  TDistanceCoefficients coefficients = FDistance.load(std::memory_order_relaxed);
  while (!FDistance.compare_exchange_weak(
      coefficients, TDistanceCoefficients{kOpenDelay, coefficients.FeedbackGain}))
    ;
  FOpened.store(true, std::memory_order_release);
}

void TFeedbackPath::Close() {
  FOpened.store(false, std::memory_order_release);
  FHistory = {};
  FFeedback = {};
}

void TFeedbackPath::SetDistance(float distance, int32_t impulseLength) {
  FDistance.store({DelayForDistance(distance, impulseLength), FeedbackGainForDistance(distance)},
                  std::memory_order_relaxed);
}

void TFeedbackPath::SetFeeding(float feeding) {
  FIdleFeed.store(IdleFeedForFeeding(feeding), std::memory_order_relaxed);
}

void TFeedbackPath::SetPadPosition(float x, float y) {
  if (Opened())
    FBlendMailbox.Request(Cabinets(), x, y);
}

void TFeedbackPath::LoadFilterTaps() {
  for (int j = 0; j < kFilterTaps; ++j)
    FFilterTaps[j] = {FImpulses[0][j], FImpulses[0][j]};
}

void TFeedbackPath::Process(const float* in0, const float* in1, float* out0, float* out1,
                            int32_t frames, float drive, TRandomGenerator& random) {
  if (frames <= 0)
    return;
  if (!Opened()) {
    std::fill_n(out0, frames, 0.0f);
    std::fill_n(out1, frames, 0.0f);
    return;
  }
  const TSignalPathFloatingPoint floatingPoint;
  if (FBlendMailbox.Take(FImpulses[0]))
    LoadFilterTaps();
  const TDistanceCoefficients distance = FDistance.load(std::memory_order_relaxed);
  TBlockCoefficients coefficients{distance.Delay, distance.FeedbackGain,
                                  FIdleFeed.load(std::memory_order_relaxed), drive};
  // A delay outside the safe range (or NaN) is held at its nearer end; a store factor that
  // is not finite would fill the loop with infinities and counts as 0.
  if (!(coefficients.Delay >= kShortestDelay))
    coefficients.Delay = kShortestDelay;
  else if (coefficients.Delay > kLongestDelay)
    coefficients.Delay = kLongestDelay;
  if (!std::isfinite(coefficients.IdleFeed))
    coefficients.IdleFeed = 0.0f;
  for (int32_t done = 0; done < frames;) {
    const int32_t run = std::min(frames - done, FWritePos + 1);
    RunFrames(in0 + done, in1 + done, out0 + done, out1 + done, run, coefficients, random);
    done += run;
    if (FWritePos < 0)
      Wrap();
  }
}

void TFeedbackPath::Wrap() {
  FWritePos = FHalfLength - 1;
  std::copy_n(FHistory.begin(), kFilterTaps - 1, FHistory.begin() + FHalfLength);
  std::copy_n(FFeedback.begin(), 2 * FHalfLength, FFeedback.begin() + 2 * FHalfLength);
}

// Runs the twelve steps for frames samples, none of which passes a wrap, in batches of frames
// that cannot read what the same batch stores for feedback. Each batch goes through three
// stages: the steps up to the history for each frame in turn (short dependency chains), the
// cabinet filter for all frames of the batch tap by tap (so that the sixteen additions of
// one frame, which must run in order, interleave with those of the others), and the
// saturation and stores. Left and right travel in the two lanes of one register.
void TFeedbackPath::RunFrames(const float* in0, const float* in1, float* out0, float* out1,
                              int32_t frames, const TBlockCoefficients& coefficients,
                              TRandomGenerator& random) {
  TLoopState loop{_mm_set_pd(FLowpassRight, FLowpassLeft), FEnvelope, random.State()};
  // The shortest distance, in frames, between a frame and the older frame it reads back.
  const int32_t nearest =
      static_cast<int32_t>(static_cast<float>(double(coefficients.Delay) - 0.1));
  int32_t i = 0;
  if (nearest >= kBatch)
    for (; i + kBatch <= frames; i += kBatch)
      RunBatch<kBatch>(in0 + i, in1 + i, out0 + i, out1 + i, FWritePos - i, coefficients, loop);
  for (; i < frames; ++i)
    RunBatch<1>(in0 + i, in1 + i, out0 + i, out1 + i, FWritePos - i, coefficients, loop);
  // 12. The caller wraps when the write index has passed 0.
  FWritePos -= frames;
  FLowpassLeft = _mm_cvtsd_f64(loop.Lowpass);
  FLowpassRight = _mm_cvtsd_f64(_mm_unpackhi_pd(loop.Lowpass, loop.Lowpass));
  FEnvelope = loop.Envelope;
  random = TRandomGenerator(loop.RandomState);
}

template <int B>
void TFeedbackPath::RunBatch(const float* in0, const float* in1, float* out0, float* out1,
                             int32_t p, const TBlockCoefficients& coefficients, TLoopState& loop) {
  const __m128 signs = _mm_set1_ps(-0.0f);
  const __m128d offset = _mm_set1_pd(1e-24);
  const __m128d gain = _mm_set1_pd(coefficients.FeedbackGain);
  const __m128d decay = _mm_set_sd(0.999999);
  const double delay = coefficients.Delay;
  const float idleFeed = coefficients.IdleFeed;
  double* history = &FHistory[0].Left;
  float* feedback = FFeedback.data();

  // The loop state lives in registers for the batch.
  __m128d lowpass = loop.Lowpass;
  __m128 envelope = _mm_set_ss(loop.Envelope);
  uint32_t state = loop.RandomState;
  const __m128 quiet = _mm_set_ss(kQuietBelow);
  const __m128 idle = _mm_set_ss(idleFeed), full = _mm_set_ss(1.0f);
  __m128d mix[B];
  __m128 feed[B];
  for (int b = 0; b < B; ++b) {
    const int32_t pb = p - b;
    // 1. Input level; a sample that is not finite counts as silence.
    __m128 input = _mm_unpacklo_ps(_mm_load_ss(in0 + b), _mm_load_ss(in1 + b));
    input = _mm_and_ps(input, _mm_cmpeq_ps(_mm_sub_ps(input, input), _mm_setzero_ps()));
    const __m128 level = _mm_andnot_ps(signs, input);
    // 2. Envelope: the peak where it rises above the envelope, the decayed envelope otherwise.
    const __m128 peak = _mm_max_ss(level, _mm_shuffle_ps(level, level, 1));
    const __m128 decayed =
        _mm_cvtsd_ss(envelope, _mm_mul_sd(_mm_cvtss_sd(offset, envelope), decay));
    const __m128 rises = _mm_cmpgt_ss(peak, envelope);
    envelope = _mm_or_ps(_mm_and_ps(rises, peak), _mm_andnot_ps(rises, decayed));
    // 3. Store factor.
    const __m128 quietNow = _mm_cmplt_ss(envelope, quiet);
    feed[b] = _mm_or_ps(_mm_and_ps(quietNow, idle), _mm_andnot_ps(quietNow, full));
    // 4. Wobbling delay; r * 0.2 is the state times 0.2 / 2^32, and both weights are exact in
    // single precision.
    state = state * 134775813u + 1u;
    const float d = static_cast<float>(double(state) * (0.2 / 4294967296.0) + delay - 0.1);
    const int32_t k = static_cast<int32_t>(d);
    const float w1 = float(k + 1) - d;
    const float w2 = d - float(k);
    // 5. Delayed feedback: frames pb + k and pb + k + 1 in one load.
    const __m128 stored = _mm_loadu_ps(feedback + 2 * (pb + k));
    __m128d y = _mm_add_pd(_mm_mul_pd(_mm_set1_pd(w1), _mm_cvtps_pd(stored)), offset);
    y = RoundToFloat(
        _mm_add_pd(y, _mm_mul_pd(_mm_set1_pd(w2), _mm_cvtps_pd(_mm_movehl_ps(stored, stored)))));
    // 6. Low-pass: 0.5 y + 0.5 state, which halving the sum gives exactly.
    lowpass = _mm_mul_pd(_mm_set1_pd(0.5), _mm_add_pd(y, lowpass));
    // 7. Mix, 8. history.
    mix[b] = RoundToFloat(_mm_add_pd(_mm_mul_pd(gain, lowpass), _mm_cvtps_pd(input)));
    _mm_store_pd(history + 2 * pb, mix[b]);
  }
  loop.Lowpass = lowpass;
  loop.Envelope = _mm_cvtss_f32(envelope);
  loop.RandomState = state;

  // 9. Cabinet: sum[b] runs over taps 0 to 15 in order.
  const double* taps = &FFilterTaps[0].Left;
  __m128d sum[B];
  for (int b = 0; b < B; ++b)
    sum[b] = _mm_mul_pd(mix[b], _mm_load_pd(taps));
  for (int j = 1; j < kFilterTaps; ++j) {
    const __m128d tap = _mm_load_pd(taps + 2 * j);
    for (int b = 0; b < B; ++b)
      sum[b] = _mm_add_pd(sum[b], _mm_mul_pd(_mm_load_pd(history + 2 * (p - b + j)), tap));
  }

  const __m128 drive = _mm_set1_ps(coefficients.Drive);
  for (int b = 0; b < B; ++b) {
    // 10. Saturation: the drive times the filtered value is exact in single precision.
    const __m128 s = _mm_mul_ps(drive, _mm_cvtpd_ps(sum[b]));
    const __m128 out = _mm_cvtpd_ps(SoftClip(_mm_cvtps_pd(s)));
    _mm_store_ss(out0 + b, out);
    _mm_store_ss(out1 + b, _mm_shuffle_ps(out, out, 1));
    // 11. Feedback store, again an exact single-precision product.
    _mm_storel_pi(reinterpret_cast<__m64*>(feedback + 2 * (p - b)),
                  _mm_mul_ps(out, _mm_shuffle_ps(feed[b], feed[b], 0)));
  }
}
