// The shape that every vector kernel of the signal path shares, written once over the vector
// types of an instruction set (FeedbackVectorsX86.h, FeedbackKernelAVX2.cpp,
// FeedbackKernelNEON.cpp).
//
// The feedback returns at least a whole number of frames later, the shortest delay of the run,
// so a batch of up to that many frames (at most kBatch) never reads what it stores itself.
// Such a batch goes through the steps stage by stage, with vectors across time wherever a step
// does not depend on the frame before, in the order that lets the one true recurrence, the
// low-pass filter, start soonest:
//  4.     the generator's draws and the wobbling delays;
//  5.     the delayed feedback;
//  1.     inputs and levels, four frames at a time;
//  2, 3.  the envelope, in whole numbers (see FollowEnvelope);
//  6-11.  low-pass, mix and history, cabinet, saturation and stores, in groups of frames that
//         go through them as a pipeline (see Finish); the low-pass filter takes one addition
//         per frame.
// Within a stage, several vectors go side by side, one operation for all of them before the
// next, so that their chains of dependent operations advance together.
// Each stage gives exactly the values of the portable kernel (FeedbackKernelPortable.cpp).
//
// Within a batch everything is kept in the order of the buffers: index m is the frame at write
// index q0 + m, where q0 is the batch's last (newest) frame, so that frame b of the batch has
// m = frames - 1 - b and a vector holds the newer frames in its lower lanes.
//
// An instruction set provides, in a struct:
//  - Wide: a vector of Wide::kFrames frames, each as (left, right) doubles, with the
//    operations used below; its lanes also carry 2 * kFrames single values per frame (the
//    draws in an order of the instruction set's choosing, which StoreWhole and
//    StoreDuplicated put back). Among them LoadFeedback: for each frame i of the vector, the
//    stored frames at[i + whole[i]] (first) and the one after it (second), which lie side by
//    side in the buffer;
//  - Pair: the same for one frame, for the frames that do not fill a Wide vector;
//  - Quad: four floats;
//  - kGroup: how many vectors' sums the cabinet filter advances together.
// Pair loads and stores are aligned to 16 bytes.
//
// Everything here has internal linkage: each kernel's file compiles it for its own
// instruction set. The stages copy what they use into local variables: the vector stores
// may alias anything, which would otherwise make the compiler read every field again after
// each of them.
#pragma once

#include "effect/FeedbackKernels.h"
#include "effect/FeedbackSteps.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

template <class Isa> class TStagedFrames {
  using Wide = typename Isa::Wide;
  using Pair = typename Isa::Pair;
  using Quad = typename Isa::Quad;
  using Index = std::ptrdiff_t;

public:
  static constexpr int32_t kBatch = 64;

  static void Run(TFrameRun& run) {
    // The shortest distance, in frames, from a frame to the older frames it reads back.
    const int32_t nearest = static_cast<int32_t>(ToFloat(run.Delay - kDelayCentre));
    for (int32_t done = 0; done < run.Frames;) {
      const int32_t frames = std::min({kBatch, nearest, run.Frames - done});
      TStagedFrames(run, done, frames).Go();
      done += frames;
    }
  }

private:
  static constexpr Index kLanes = 2 * Wide::kFrames;
  // How many vectors go through a stage side by side.
  static constexpr Index kLockstep = 4;
  // Room for the vectors that run past the end of a batch, and how far single vectors of
  // levels and envelopes read past it.
  static constexpr Index kSlack = kLockstep * 4 * kLanes, kPastEnd = 8;

  // Powers of two, each twice: 2^(n - kBatch) at kRising[2n] and [2n + 1], and
  // 2^(kBatch - 1 - n) at kFalling[2n] and [2n + 1].
  using TPowers = std::array<double, 2 * (kBatch + kSlack)>;
  static constexpr TPowers Powers(int32_t firstExponent, int32_t direction) {
    TPowers powers{};
    for (int32_t n = 0; n < kBatch + kSlack; ++n) {
      const int32_t exponent = firstExponent + direction * n;
      double power = 1.0;
      for (int32_t i = 0; i < exponent; ++i)
        power *= 2.0;
      for (int32_t i = exponent; i < 0; ++i)
        power *= 0.5;
      powers[2 * n] = powers[2 * n + 1] = power;
    }
    return powers;
  }
  alignas(32) static constexpr TPowers kRising = Powers(-kBatch, 1);
  alignas(32) static constexpr TPowers kFalling = Powers(kBatch - 1, -1);

  // Draw n of the generator, state * MultiplierOf(n) + IncrementOf(n), for n = kBatch at [0]
  // down to n = 1 at [kBatch - 1] (and nothing past it, where no frame is).
  struct TDraws {
    std::array<uint32_t, kBatch + kSlack> Multipliers{}, Increments{};
  };
  alignas(32) static constexpr TDraws kDraws = [] {
    TDraws draws;
    for (int32_t i = 0; i < kBatch; ++i) {
      draws.Multipliers[i] = TRandomGenerator::MultiplierOf(kBatch - i);
      draws.Increments[i] = TRandomGenerator::IncrementOf(kBatch - i);
    }
    return draws;
  }();

  TStagedFrames(TFrameRun& run, int32_t first, int32_t frames)
      : FRun(run), FFrames(frames), FIn0(run.In[0] + first), FIn1(run.In[1] + first),
        FOut0(run.Out[0] + first), FOut1(run.Out[1] + first),
        FHistory(run.History + run.WritePos - first - frames + 1),
        FFeedback(run.Feedback + run.WritePos - first - frames + 1) {}

  void Go() {
    DrawDelays();
    FeedBack();
    ReadInputs();
    FollowEnvelope();
    Finish();
  }

  // 1. The inputs as (left, right) pairs, a sample that is not finite as silence, and the
  // larger magnitude of each frame, a denormal one as 0 (which is how the envelope's
  // comparisons see it).
  void ReadInputs() {
    const float* in0 = FIn0;
    const float* in1 = FIn1;
    float* inputs = FInputs;
    float* peaks = FPeaks;
    const Index frames = FFrames;
    Index b = 0;
    for (; b + 4 <= frames; b += 4) {
      const Index m = frames - 4 - b;
      const Quad left = Quad::Finite(Quad::LoadReversed(in0 + b));
      const Quad right = Quad::Finite(Quad::LoadReversed(in1 + b));
      Quad::Store(peaks + m, Quad::Level(left, right));
      Quad::StoreInterleaved(inputs + 2 * m, left, right);
    }
    for (; b < frames; ++b) {
      const Index m = frames - 1 - b;
      inputs[2 * m] = Finite(in0[b]);
      inputs[2 * m + 1] = Finite(in1[b]);
      const float level = std::max(std::fabs(inputs[2 * m]), std::fabs(inputs[2 * m + 1]));
      peaks[m] = level >= FLT_MIN ? level : 0.0f;
    }
    std::fill_n(peaks + frames, kPastEnd, 0.0f);
  }

  // 2, 3. The envelope after each frame and the store factor of each frame (FFeeds).
  //
  // A non-negative float orders like its bit pattern, and one decay takes the pattern down by
  // a whole number of steps, the same for all values of one binade that decay within it: the
  // step grows with the value there, one at a time. So where no peak rises above the envelope,
  // it falls by the step of the value before the batch in every frame, provided that the
  // oldest value it decays from has that step too and every value stays in one binade.
  // Otherwise the envelope is followed frame by frame (FollowPeaks).
  void FollowEnvelope() {
    const float before = FRun.Envelope;
    const uint32_t bits = std::bit_cast<uint32_t>(before);
    const uint32_t step = bits - std::bit_cast<uint32_t>(Decayed(before));
    const Index frames = FFrames;
    // After frame b, at m = frames - 1 - b: bits - (b + 1) * step.
    const uint32_t last = bits - uint32_t(frames) * step;
    const float oldest = std::bit_cast<float>(last + step); // the last one that decays
    constexpr uint32_t kExponent = 0x7F800000u;
    const bool steady =
        bits == 0 || (uint64_t(frames) * step < bits && (bits & kExponent) == (last & kExponent) &&
                      (last & kExponent) != 0 && (bits & kExponent) != kExponent &&
                      std::bit_cast<uint32_t>(Decayed(oldest)) == last);
    if (!steady || !FeedSteadily(last, step))
      FollowPeaks(bits, step);
  }

  // The store factors of a steady decay to last, or false where a peak rises above it.
  bool FeedSteadily(uint32_t last, uint32_t step) {
    const float* peaks = FPeaks;
    float* feeds = FFeeds;
    const Index frames = FFrames;
    const Quad quiet(kQuietFloat), idle(FRun.IdleFeed), one(1.0f);
    Quad rises(0.0f), after = Quad::Steady(last, step);
    for (Index m = 0; m < frames; m += 4) {
      const Quad before = Quad::AddToBits(after, step);
      rises = rises | Quad::Greater(Quad::Load(peaks + m), before);
      Quad::Store(feeds + m, Quad::Select(Quad::Less(after, quiet), idle, one));
      after = Quad::AddToBits(after, 4 * step);
    }
    if (Quad::Any(rises))
      return false;
    FRun.Envelope = std::bit_cast<float>(last);
    return true;
  }

  // The envelope frame by frame: first a guess in whole numbers, in which a peak above the
  // envelope brings its own step, then checked against the exact rule in every frame; where a
  // step changed after all, the exact rule itself.
  void FollowPeaks(uint32_t envelope, uint32_t step) {
    const float* peaks = FPeaks;
    float* decayed = FDecayedPeaks;
    float* envelopes = FEnvelopes;
    const Index frames = FFrames;
    const Wide decay(kEnvelopeDecay);
    for (Index m = 0; m < frames; m += kLanes)
      Wide::StoreFloats(decayed + m, Wide::ToFloats(Wide::LoadFloats(peaks + m) * decay));
    envelopes[frames] = FRun.Envelope;
    std::fill_n(envelopes + frames + 1, kPastEnd, 0.0f);
    // A guess that decays below the smallest normal float becomes 0, as every exact one does
    // on x86: the checks below compare with denormals taken as 0, which would let a denormal
    // guess pass for 0.
    constexpr uint32_t kSmallestNormal = std::bit_cast<uint32_t>(FLT_MIN);
    for (Index m = frames - 1; m >= 0; --m) {
      const uint32_t peak = std::bit_cast<uint32_t>(peaks[m]);
      const bool rises = peak > envelope;
      step = rises ? peak - std::bit_cast<uint32_t>(decayed[m]) : step;
      envelope = rises ? peak : envelope >= step + kSmallestNormal ? envelope - step : 0;
      envelopes[m] = std::bit_cast<float>(envelope);
    }

    Index m = 0;
    Wide missed(0.0);
    for (; m + kLanes <= frames; m += kLanes) {
      const Wide before = Wide::LoadFloats(envelopes + m + 1);
      const Wide peak = Wide::LoadFloats(peaks + m);
      const Wide exact =
          Wide::Select(Wide::Greater(peak, before), peak, Wide::Rounded(before * decay));
      missed = missed | Wide::NotEqual(exact, Wide::LoadFloats(envelopes + m));
    }
    bool exact = Wide::Any(missed);
    for (; m < frames; ++m)
      exact |= envelopes[m] != (peaks[m] > envelopes[m + 1] ? peaks[m] : Decayed(envelopes[m + 1]));
    if (exact)
      for (m = frames - 1; m >= 0; --m)
        envelopes[m] = peaks[m] > envelopes[m + 1] ? peaks[m] : Decayed(envelopes[m + 1]);
    FRun.Envelope = envelopes[0];

    float* feeds = FFeeds;
    const Quad quiet(kQuietFloat), idle(FRun.IdleFeed), one(1.0f);
    for (m = 0; m < frames; m += 4)
      Quad::Store(feeds + m, Quad::Select(Quad::Less(Quad::Load(envelopes + m), quiet), idle, one));
  }

  // 4. The generator's draws, all from the state before the batch (kDraws), and from them each
  // frame's whole delay and its two weights, each weight twice (for both channels).
  void DrawDelays() {
    const uint32_t state = FRun.Random.State();
    const Index frames = FFrames;
    const uint32_t* multipliers = kDraws.Multipliers.data() + kBatch - frames;
    const uint32_t* increments = kDraws.Increments.data() + kBatch - frames;
    FRun.Random = TRandomGenerator(state * multipliers[0] + increments[0]);
    int32_t* wholeDelays = FWholeDelays;
    double* firstWeights = FFirstWeights;
    double* secondWeights = FSecondWeights;
    // r * 0.2 with r = state / 2^32 is the state times 0.2 / 2^32, rounded alike.
    const Wide scale(kDelaySpan / 4294967296.0), delay(double(FRun.Delay)), centre(kDelayCentre),
        one(1.0);
    constexpr Index N = kLockstep;
    for (Index m = 0; m < frames; m += N * kLanes) {
      Wide d[N], whole[N];
#pragma GCC unroll 16
      for (Index g = 0; g < N; ++g)
        d[g] = Wide::FromDraws(multipliers + m + g * kLanes, increments + m + g * kLanes, state) *
                   scale +
               delay;
#pragma GCC unroll 16
      for (Index g = 0; g < N; ++g)
        d[g] = Wide::Rounded(d[g] - centre);
#pragma GCC unroll 16
      for (Index g = 0; g < N; ++g)
        whole[g] = Wide::Truncated(d[g]);
#pragma GCC unroll 16
      for (Index g = 0; g < N; ++g) {
        const Index at = m + g * kLanes;
        Wide::StoreWhole(wholeDelays + at, whole[g]);
        Wide::StoreDuplicated(firstWeights + 2 * at, whole[g] + one - d[g]);
        Wide::StoreDuplicated(secondWeights + 2 * at, d[g] - whole[g]);
      }
    }
  }

  // 5. The delayed feedback of each frame, times 2^b for frame b (see Finish).
  void FeedBack() {
    const Index frames = FFrames;
    const TFeedBack feedBack{FFeedback,      FWholeDelays, FFirstWeights,
                             FSecondWeights, FShares,      kFalling.data() + 2 * (kBatch - frames)};
    constexpr Index N = kLockstep, K = N * Wide::kFrames;
    Index m = 0;
    for (; m + K <= frames; m += K)
      feedBack.template Steps<Wide, N>(m);
    for (; m + Wide::kFrames <= frames; m += Wide::kFrames)
      feedBack.template Steps<Wide, 1>(m);
    for (; m < frames; ++m)
      feedBack.template Steps<Pair, 1>(m);
  }

  struct TFeedBack {
    const TFrame<float>* Feedback;
    const int32_t* WholeDelays;
    const double *FirstWeights, *SecondWeights;
    double* Shares;
    const double* Scales;

    // The N vectors from m on. Each product of two floats is exact in double precision, so
    // that fusing it with the addition rounds only where the separate addition would.
    template <class V, int N> void Steps(Index m) const {
      constexpr Index F = V::kFrames;
      V first[N], second[N];
#pragma GCC unroll 16
      for (Index g = 0; g < N; ++g)
        V::LoadFeedback(Feedback + m + g * F, WholeDelays + m + g * F, first[g], second[g]);
#pragma GCC unroll 16
      for (Index g = 0; g < N; ++g)
        first[g] = V::MulAdd(V::Load(FirstWeights + 2 * (m + g * F)), first[g], V(kDelayedOffset));
#pragma GCC unroll 16
      for (Index g = 0; g < N; ++g)
        second[g] = V::MulAdd(V::Load(SecondWeights + 2 * (m + g * F)), second[g], first[g]);
#pragma GCC unroll 16
      for (Index g = 0; g < N; ++g)
        V::Store(Shares + 2 * (m + g * F),
                 V::Rounded(second[g]) * V::Load(Scales + 2 * (m + g * F)));
    }
  };

  // 6 to 11, in groups of frames in the order of time.
  //
  // The low-pass state halves with every frame, so it is kept 2^b times larger after frame
  // b - 1: then frame b adds its share, y * 2^b, and the mix takes the factor back with
  // gain * 2^-(b+1). Scaling by a power of two is exact, so these are the numbers of
  // 0.5 * y + 0.5 * state, with a single addition from frame to frame.
  //
  // The groups go through three steps, each a long chain of dependent operations: the
  // low-pass and mix, the cabinet filter, and the saturation with its division. They overlap
  // as a pipeline: while the low-pass runs through one group, the cabinet filter takes the
  // group before it and the saturation the one before that.
  void Finish() {
    constexpr Index G = Isa::kGroup, K = G * Wide::kFrames;
    const Index frames = FFrames, groups = frames / K, rest = frames % K;
    const TFinish finish{
        FInputs,
        FShares,
        FDriven,
        FFeeds,
        kRising.data() + 2 * (kBatch - frames),
        FHistory,
        FFeedback,
        FOut0 + frames,
        FOut1 + frames,
        FRun.Taps,
        FRun.FeedbackGain,
        FRun.Drive,
    };
    Pair lowpass = Pair::Load(FRun.Lowpass.data());
    // Group n holds the frames from frames - (n + 1) * K on; group 0 is the oldest.
    for (Index n = 0; n < groups + 2; ++n) {
      if (n < groups)
        finish.template Mix<Wide, G>(frames - (n + 1) * K, lowpass);
      if (n >= 1 && n <= groups)
        finish.template Cabinet<Wide, G>(frames - n * K);
      if (n >= 2)
        finish.template Saturate<Wide, G>(frames - (n - 1) * K);
    }
    for (Index m = rest - 1; m >= 0; --m)
      finish.template Mix<Pair, 1>(m, lowpass);
    Index m = 0;
    for (; m + Wide::kFrames <= rest; m += Wide::kFrames) {
      finish.template Cabinet<Wide, 1>(m);
      finish.template Saturate<Wide, 1>(m);
    }
    for (; m < rest; ++m) {
      finish.template Cabinet<Pair, 1>(m);
      finish.template Saturate<Pair, 1>(m);
    }
    Pair::Store(FRun.Lowpass.data(), lowpass * Pair(kRising[2 * (kBatch - frames)]));
  }

  struct TFinish {
    const float* Inputs;
    const double* Shares;
    float* Driven;
    const float* Feeds;
    const double* Scales;
    TFrame<double>* History;
    TFrame<float>* Feedback;
    float* OutEnd0; // past the batch's newest frame
    float* OutEnd1;
    const TFrame<double>* Taps;
    double Gain;
    float Drive;

    // 6. Low-pass, 7. mix and 8. history of the N vectors from m on.
    template <class V, int N> void Mix(Index m, Pair& lowpass) const {
      constexpr Index F = V::kFrames;
      Pair low[N * F];
#pragma GCC unroll 16
      for (Index n = N * F - 1; n >= 0; --n)
        low[n] = lowpass = lowpass + Pair::Load(Shares + 2 * (m + n));
      const V gain(Gain);
      V mix[N];
#pragma GCC unroll 16
      for (Index g = 0; g < N; ++g)
        mix[g] = V::Join(low + g * F) * (V::Load(Scales + 2 * (m + g * F)) * gain) +
                 V::LoadFloats(Inputs + 2 * (m + g * F));
#pragma GCC unroll 16
      for (Index g = 0; g < N; ++g)
        V::Store(History[m + g * F].data(), V::Rounded(mix[g]));
    }

    // 9. Cabinet of the G vectors from m on: their sums advance tap by tap, each from tap 0
    // upward. The products are exact, as in FeedBack. Each sum leaves as a float, times the
    // drive (the start of step 10), which keeps that much of the saturation's long chain of
    // dependent operations out of it.
    template <class V, int G> void Cabinet(Index m) const {
      constexpr Index F = V::kFrames;
      const TFrame<double>* history = History + m;
      V sum[G];
      const V first = V::LoadTap(Taps[0]);
#pragma GCC unroll 16
      for (Index g = 0; g < G; ++g)
        sum[g] = V::Load(history[g * F].data()) * first;
#pragma GCC unroll 16
      for (Index j = 1; j < kFilterTaps; ++j) {
        const V tap = V::LoadTap(Taps[j]);
#pragma GCC unroll 16
        for (Index g = 0; g < G; ++g)
          sum[g] = V::MulAdd(V::Load(history[g * F + j].data()), tap, sum[g]);
      }
      const auto drive = V::FloatsOf(Drive);
#pragma GCC unroll 16
      for (Index g = 0; g < G; ++g)
        V::StoreFloats(Driven + 2 * (m + g * F), V::MulRounded(V::ToFloats(sum[g]), drive));
    }

    // 10. Saturation of the driven sums, 11. feedback store of the G vectors from m on. The
    // saturation is SoftClip of FeedbackSteps.h, each operation for all G vectors before the
    // next, so that their chains of dependent operations advance side by side.
    template <class V, int G> void Saturate(Index m) const {
      constexpr Index F = V::kFrames;
      V x[G], e[G], p[G];
#pragma GCC unroll 16
      for (Index g = 0; g < G; ++g)
        x[g] = V::LoadFloats(Driven + 2 * (m + g * F));
#pragma GCC unroll 16
      for (Index g = 0; g < G; ++g)
        e[g] = V::Min(V::Abs(x[g] + x[g]), V(kSoftClipLimit));
#pragma GCC unroll 16
      for (Index g = 0; g < G; ++g)
        p[g] = e[g] + V(3.0);
#pragma GCC unroll 16
      for (Index g = 0; g < G; ++g)
        p[g] = e[g] * p[g] + V(6.0);
#pragma GCC unroll 16
      for (Index g = 0; g < G; ++g)
        p[g] = e[g] * p[g] + V(12.0);
#pragma GCC unroll 16
      for (Index g = 0; g < G; ++g)
        p[g] = e[g] * p[g];
#pragma GCC unroll 16
      for (Index g = 0; g < G; ++g)
        p[g] = p[g] / (p[g] + V(24.0));
#pragma GCC unroll 16
      for (Index g = 0; g < G; ++g) {
        const Index at = m + g * F;
        const auto out = V::ToFloats((p[g] ^ (V::Less(x[g], V(0.0)) & V(-0.0))) & V::Ordered(x[g]));
        V::StoreOutputs(OutEnd0 - F - at, OutEnd1 - F - at, out);
        V::StoreFloats(Feedback[at].data(), V::MulRounded(out, V::LoadFeeds(Feeds + at)));
      }
    }
  };

  TFrameRun& FRun;
  const int32_t FFrames;
  // From the batch's first (oldest) frame on.
  const float* const FIn0;
  const float* const FIn1;
  float* const FOut0;
  float* const FOut1;
  // From the batch's newest frame, q0, on.
  TFrame<double>* const FHistory;
  TFrame<float>* const FFeedback;
  // Per frame, in the order of the buffers.
  alignas(32) float FInputs[2 * (kBatch + kSlack)];
  alignas(32) float FPeaks[kBatch + kSlack];
  alignas(32) float FDecayedPeaks[kBatch + kSlack];
  alignas(32) float FEnvelopes[kBatch + 1 + kSlack];
  alignas(32) float FFeeds[kBatch + kSlack];
  alignas(32) int32_t FWholeDelays[kBatch + kSlack];
  alignas(32) double FFirstWeights[2 * (kBatch + kSlack)];
  alignas(32) double FSecondWeights[2 * (kBatch + kSlack)];
  alignas(32) double FShares[2 * (kBatch + kSlack)];
  alignas(32) float FDriven[2 * (kBatch + kSlack)];
};

} // namespace
