#include "effect/FeedbackPath.h"

#include "effect/FeedbackKernels.h"
#include "effect/ParameterMapping.h"

#include <algorithm>
#include <cmath>

#include <xmmintrin.h>

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
} // namespace

TFeedbackPath::TVectorWidth TFeedbackPath::WidestAvailable() {
  return WideFramesAvailable() ? TVectorWidth::Wide : TVectorWidth::Narrow;
}

TFeedbackPath::TFeedbackPath(TVectorWidth width)
    : FVectorWidth(width == TVectorWidth::Wide && !WideFramesAvailable() ? TVectorWidth::Narrow
                                                                         : width) {}

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
      coefficients, TDistanceCoefficients{kOpenDelay, coefficients.FFeedbackGain}))
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
  TFrameRun run{};
  run.History = &FHistory[0].Left;
  run.Feedback = FFeedback.data();
  run.Taps = &FFilterTaps[0].Left;
  // A delay outside the safe range (or NaN) is held at its nearer end; a store factor that
  // is not finite would fill the loop with infinities and counts as 0.
  run.Delay =
      distance.FDelay >= kShortestDelay ? std::min(distance.FDelay, kLongestDelay) : kShortestDelay;
  run.FeedbackGain = distance.FFeedbackGain;
  run.IdleFeed = FIdleFeed.load(std::memory_order_relaxed);
  if (!std::isfinite(run.IdleFeed))
    run.IdleFeed = 0.0f;
  run.Drive = drive;
  run.LowpassLeft = FLowpassLeft;
  run.LowpassRight = FLowpassRight;
  run.Envelope = FEnvelope;
  run.RandomState = random.State();
  for (int32_t done = 0; done < frames;) {
    run.In0 = in0 + done, run.In1 = in1 + done, run.Out0 = out0 + done, run.Out1 = out1 + done;
    run.Frames = std::min(frames - done, FWritePos + 1);
    run.WritePos = FWritePos;
    if (FVectorWidth == TVectorWidth::Wide)
      RunFramesWide(run);
    else
      RunFramesNarrow(run);
    done += run.Frames;
    // 12. Advance; past index 0 the buffers wrap.
    FWritePos -= run.Frames;
    if (FWritePos < 0)
      Wrap();
  }
  FLowpassLeft = run.LowpassLeft;
  FLowpassRight = run.LowpassRight;
  FEnvelope = run.Envelope;
  random = TRandomGenerator(run.RandomState);
}

void TFeedbackPath::Wrap() {
  FWritePos = FHalfLength - 1;
  std::copy_n(FHistory.begin(), kFilterTaps - 1, FHistory.begin() + FHalfLength);
  std::copy_n(FFeedback.begin(), 2 * FHalfLength, FFeedback.begin() + 2 * FHalfLength);
}
