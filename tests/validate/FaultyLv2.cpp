// A small, well-behaved LV2 effect for the validator's LV2 tests: a stereo one-pole smoother with a
// gain, which trusts its host to keep to its controls' descriptions (a mode that is one of its
// scale points, a corner frequency inside its range at the sample rate). Built once as it is (it
// must pass every test) and once per fault, each compile definition FAULT_xxx breaking one thing
// that a test of the audio, process, realtime, threads or lifecycle groups must catch. Its X11 UI
// is FaultyLv2Ui.cpp.
#include "Faults.h"

#include <lv2/core/lv2.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

namespace {

enum Port : uint32_t {
  kInLeft,
  kInRight,
  kOutLeft,
  kOutRight,
  kGain,
  kSmooth,
  kMode,
  kCorner,
  kPorts
};

// The gains of the modes by their values; 2 is none of them.
constexpr float kModeGains[] = {1.0f, 0.5f, std::numeric_limits<float>::quiet_NaN(), 0.25f};

struct Effect {
  float* ports[kPorts] = {};
#ifdef FAULT_SHARED_STATE
  static inline float state[2] = {0.0f, 0.0f}; // the filters' memory, one for every instance
#else
  float state[2] = {0.0f, 0.0f};
#endif
  double rate = 0.0;
};

#ifdef FAULT_RACE
// The instance made last, whose gain every instance plays with: gone whenever it is cleaned up.
std::atomic<Effect*> gLatest{nullptr};
#endif

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
  if (!(rate > 0.0))
    return nullptr;
  faults::OnInstanceMade();
  auto* effect = new Effect;
  effect->rate = rate;
#ifdef FAULT_RACE
  gLatest.store(effect);
#endif
  return effect;
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
  if (port < kPorts)
    static_cast<Effect*>(handle)->ports[port] = static_cast<float*>(data);
}

void Run(LV2_Handle handle, uint32_t frames) {
#ifdef FAULT_ZERO_FRAMES_CRASH
  if (frames == 0)
    *static_cast<volatile int*>(nullptr) = 1;
#endif
#ifdef FAULT_ALLOCATES
  faults::Allocate(frames);
#endif
#ifdef FAULT_MXCSR
  faults::SetFlushToZero();
#endif
#ifdef FAULT_STACK_HOG
  faults::UseMegabyteOfStack();
#endif
  Effect& e = *static_cast<Effect*>(handle);
#ifdef FAULT_RACE
  const float gain = *gLatest.load()->ports[kGain];
#else
  const float gain = *e.ports[kGain];
#endif
  const float pole = 0.5f + 0.499f * *e.ports[kSmooth];
  // A mode that is none of the scale points or a corner above its range makes NaN.
  const auto mode = static_cast<size_t>(*e.ports[kMode]);
  const bool inRange = *e.ports[kCorner] <= 0.2500001 * e.rate;
  const float modeGain = mode < std::size(kModeGains) && inRange ? kModeGains[mode] : kModeGains[2];
  for (int c = 0; c < 2; ++c) {
    const float* in = e.ports[kInLeft + c];
    float* out = e.ports[kOutLeft + c];
#ifdef FAULT_READS_PAST_END
    faults::ReadRoundedUp(in, long(frames));
#endif
    float y = e.state[c];
    for (uint32_t n = 0; n < frames; ++n) {
      y = in[n] * (1.0f - pole) + y * pole;
      if (std::fabs(y) < 1e-15f)
        y = 0.0f;
      out[n] = y * gain * modeGain;
#ifdef FAULT_NAN_OUTPUT
      if (n == frames / 2 && std::fabs(in[n]) > 0.25f)
        out[n] = std::numeric_limits<float>::quiet_NaN();
#endif
    }
    e.state[c] = y;
  }
}

void Activate(LV2_Handle handle) {
  Effect& e = *static_cast<Effect*>(handle);
  e.state[0] = e.state[1] = 0.0f;
}

void Cleanup([[maybe_unused]] LV2_Handle handle) {
#ifdef FAULT_RACE
  gLatest.store(nullptr);
#endif
#ifndef FAULT_LEAKED_INSTANCE
  delete static_cast<Effect*>(handle);
#endif
}

const LV2_Descriptor kDescriptor = {"urn:zintrax:validate:faulty",
                                    Instantiate,
                                    ConnectPort,
                                    Activate,
                                    Run,
                                    nullptr,
                                    Cleanup,
                                    nullptr};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
