// A plug-in's own bypass: bypassed, the output is the input; switching either way crossfades
// between the processed output and the input over a short time, so that it never clicks, while
// the processing goes on underneath. Not bypassed and not fading, the output is left as it is, to
// the bit.
#pragma once

#include <atomic>
#include <cstdint>

class TBypassFade {
public:
  static constexpr double kFadeSeconds = 0.02;

  // The length of a crossfade at this sample rate; before it, one frame.
  void SetSampleRate(double sampleRate);
  // From any thread; the next block's fade heads there.
  void SetBypassed(bool bypassed) { FBypassed.store(bypassed, std::memory_order_relaxed); }
  bool Bypassed() const { return FBypassed.load(std::memory_order_relaxed); }

  // Mixes frames of inputs into the outputs the processing wrote, channel by channel (count of
  // each); an input may be null (silence). No allocation, lock or system call.
  void Apply(const float* const* inputs, float* const* outputs, int32_t channels, int32_t frames);

private:
  std::atomic<bool> FBypassed{false};
  int32_t FFadeFrames = 1;
  int32_t FPosition = 0; // 0: the processed output, FFadeFrames: the input
};
