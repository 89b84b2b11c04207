// The feedback loop of the effect: its state and buffers and the per-sample signal path.
//
// The sound that leaves the cabinet returns through a delay with a small random wobble, is
// smoothed by a one-pole low-pass filter, attenuated and added to the dry input; the sum
// passes the first 16 taps of the blended cabinet response and a soft saturation, and the
// result is both the output and, scaled by a factor that depends on the input level, what
// is stored to return later.
//
// Threads: Open, Close and Process belong to the host's calling thread and audio thread and
// never overlap (the host's contract). The parameter setters may run on any thread at any
// time: the scalar coefficients are atomics (the delay and the gain, both derived from the
// distance, travel together), and the blend is published whole through a mailbox that the
// audio thread reads at the start of each block.
#pragma once

#include "effect/BlendMailbox.h"
#include "effect/FeedbackKernels.h"
#include "effect/ImpulseTable.h"
#include "framework/DRandom.h"

#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <span>
#include <vector>

class TFeedbackPath {
public:
  // The path runs its steps through one kernel (FeedbackKernels.h), chosen once: every kernel
  // gives the same samples.
  explicit TFeedbackPath(TKernel kernel = TKernel::Portable);
  TKernel Kernel() const { return FKernel; }
  // The write index runs from FHalfLength - 1 down to 0; every FHalfLength samples the
  // buffers' first halves are copied onto their second halves, so that every read of an older
  // value is one contiguous run without modulo arithmetic.
  static constexpr int32_t FHalfLength = 32 * kImpulseTaps;
  static constexpr int32_t FBufferLength = 2 * FHalfLength;
  // The range of delays, in samples, that keeps every read inside the buffers and behind the
  // write index; the delay that the signal path uses is held inside it.
  static constexpr float kShortestDelay = 1.1f;
  static constexpr float kLongestDelay = float(FHalfLength - 1);
  // The delay after open, until the distance is set again.
  static constexpr float kOpenDelay = 80.0f;

  // Allocates silent buffers, starts writing at index 0 with the delay of kOpenDelay and a
  // unit-impulse blend, and takes the four cabinet responses. The low-pass states and the
  // envelope keep their values.
  void Open(const TImpulseTable& cabinets);
  // Releases the buffers; Process writes silence until the next Open.
  void Close();
  bool Opened() const { return FOpened.load(std::memory_order_acquire); }

  // The coefficients: FDelay and FFeedbackGain from the distance, FIdleFeed from the feeding,
  // the blend from the pad position. Before Open only the scalars change.
  void SetDistance(float distance, int32_t impulseLength);
  void SetFeeding(float feeding);
  void SetPadPosition(float x, float y);

  float Delay() const { return Distance().FDelay; }
  float FeedbackGain() const { return Distance().FFeedbackGain; }
  float IdleFeed() const { return FIdleFeed.load(std::memory_order_relaxed); }
  // The four cabinet responses as loaded by Open.
  std::span<const TImpulseResponse, kImpulseBlocks> Cabinets() const {
    return std::span<const TImpulseResponse, kImpulseBlocks>(FImpulses.data() + 1, kImpulseBlocks);
  }

  // Runs the signal path over frames samples of both channels; drive (the feeding) scales
  // the input of the saturation. Inputs may be the outputs. It runs rounding to nearest with
  // every exception masked and denormals flushed, and gives the caller back its own
  // floating-point control state. Before Open it writes silence.
  void Process(const float* in0, const float* in1, float* out0, float* out1, int32_t frames,
               float drive, TRandomGenerator& random);

private:
  // The coefficients that the distance sets.
  struct TDistanceCoefficients {
    float FDelay;
    float FFeedbackGain;
  };
  TDistanceCoefficients Distance() const {
    return std::bit_cast<TDistanceCoefficients>(FDistance.load(std::memory_order_relaxed));
  }
  void SetDistanceCoefficients(TDistanceCoefficients coefficients) {
    FDistance.store(std::bit_cast<uint64_t>(coefficients), std::memory_order_relaxed);
  }

  void LoadFilterTaps();
  void Wrap();

  const TKernel FKernel;
  const TKernelFunction FRunFrames;
  // FDelay and FFeedbackGain, both derived from the distance, published together in one word.
  std::atomic<uint64_t> FDistance{0};
  std::atomic<float> FIdleFeed{0.0f};
  std::atomic<bool> FOpened{false};
  // The audio thread must never wait for a writer, on 32-bit builds too.
  static_assert(std::atomic<uint64_t>::is_always_lock_free &&
                std::atomic<float>::is_always_lock_free);

  // [0] the blend the signal path uses (audio thread), [1] to [4] the cabinets.
  std::array<TImpulseResponse, 1 + kImpulseBlocks> FImpulses{};
  TBlendMailbox FBlendMailbox;
  // The blend's taps that reach the output, each for both channels.
  std::array<TFrame<double>, kFilterTaps> FFilterTaps{};

  // Both channels of a frame side by side. The history holds the mixed signal as doubles
  // (exactly the stored 32-bit values) for the cabinet filter, which reads kFilterTaps values
  // from the write index on, so only its first kFilterTaps - 1 entries are carried over at a
  // wrap. The feedback store spans the whole doubled length.
  std::vector<TFrame<double>> FHistory;
  std::vector<TFrame<float>> FFeedback;
  int32_t FWritePos = 0;

  double FLowpassLeft = 0.0, FLowpassRight = 0.0;
  float FEnvelope = 0.0f;
};
