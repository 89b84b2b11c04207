#include "effect/FeedbackPath.h"

#include "effect/FeedbackKernels.h"
#include "effect/ParameterMapping.h"

#include "framework/DFloatingPoint.h"

#include <algorithm>
#include <cmath>
#include <cstring>

TFeedbackPath::TFeedbackPath(TKernel kernel)
    : FKernel(kernel), FRunFrames(KernelFunction(kernel)) {}

void TFeedbackPath::Open(const TImpulseTable& cabinets) {
  FOpened.store(false, std::memory_order_release);
  for (TImpulseResponse& response : FImpulses) {
    response.fill(0.0f);
    response[0] = 1.0f;
  }
  std::copy(cabinets.begin(), cabinets.end(), FImpulses.begin() + 1);
  FBlendMailbox.Discard();
  LoadFilterTaps();
  FHistory.assign(FHalfLength + kFilterTaps, TFrame<double>{});
  FFeedback.assign(FBufferLength, TFrame<float>{});
  FWritePos = 0;
  uint64_t coefficients = FDistance.load(std::memory_order_relaxed);
  while (!FDistance.compare_exchange_weak(
      coefficients,
      std::bit_cast<uint64_t>(TDistanceCoefficients{
          kOpenDelay, std::bit_cast<TDistanceCoefficients>(coefficients).FFeedbackGain})))
    ;
  FOpened.store(true, std::memory_order_release);
}

void TFeedbackPath::Close() {
  FOpened.store(false, std::memory_order_release);
  FHistory = {};
  FFeedback = {};
}

void TFeedbackPath::SetDistance(float distance, int32_t impulseLength) {
  SetDistanceCoefficients(
      {DelayForDistance(distance, impulseLength), FeedbackGainForDistance(distance)});
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
  // Every host call is already guarded; the signal path uses no x87 instruction.
  const TMaskedFloatingPoint floatingPoint(TDenormals::Flushed, TUnits::Arithmetic);
  if (FBlendMailbox.Take(FImpulses[0]))
    LoadFilterTaps();
  const TDistanceCoefficients distance = Distance();
  // A delay outside the safe range (or NaN) is held at its nearer end; a store factor that
  // is not finite would fill the loop with infinities and counts as 0.
  const float idleFeed = FIdleFeed.load(std::memory_order_relaxed);
  TFrameRun run{
      .In = {in0, in1},
      .Out = {out0, out1},
      .Frames = 0,
      .WritePos = FWritePos,
      .History = FHistory.data(),
      .Feedback = FFeedback.data(),
      .Taps = FFilterTaps.data(),
      .Delay = distance.FDelay >= kShortestDelay ? std::min(distance.FDelay, kLongestDelay)
                                                 : kShortestDelay,
      .FeedbackGain = distance.FFeedbackGain,
      .IdleFeed = std::isfinite(idleFeed) ? idleFeed : 0.0f,
      .Drive = drive,
      .Lowpass = {{FLowpassLeft, FLowpassRight}},
      .Envelope = FEnvelope,
      .Random = random,
  };
  for (int32_t done = 0; done < frames;) {
    run.In[0] = in0 + done, run.In[1] = in1 + done, run.Out[0] = out0 + done,
    run.Out[1] = out1 + done;
    run.Frames = std::min(frames - done, FWritePos + 1);
    run.WritePos = FWritePos;
    // A single frame costs less through the portable kernel than through a vector kernel's
    // stages, and gives the same samples.
    (run.Frames == 1 ? RunFramesPortable : FRunFrames)(run);
    done += run.Frames;
    // 12. Advance; past index 0 the buffers wrap.
    FWritePos -= run.Frames;
    if (FWritePos < 0)
      Wrap();
  }
  FLowpassLeft = run.Lowpass[0];
  FLowpassRight = run.Lowpass[1];
  FEnvelope = run.Envelope;
  random = run.Random;
}

void TFeedbackPath::Wrap() {
  FWritePos = FHalfLength - 1;
  std::memcpy(&FHistory[FHalfLength], &FHistory[0], (kFilterTaps - 1) * sizeof FHistory[0]);
  std::memcpy(&FFeedback[FHalfLength], &FFeedback[0], FHalfLength * sizeof FFeedback[0]);
}
