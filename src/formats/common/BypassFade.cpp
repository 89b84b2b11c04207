#include "formats/common/BypassFade.h"

#include <algorithm>
#include <cmath>

void TBypassFade::SetSampleRate(double sampleRate) {
  FFadeFrames = sampleRate > 0.0 && std::isfinite(sampleRate)
                    ? int32_t(std::clamp(std::lround(sampleRate * kFadeSeconds), 1L, 1L << 20))
                    : 1;
  FPosition = std::min(FPosition, FFadeFrames);
}

void TBypassFade::Apply(const float* const* inputs, float* const* outputs, int32_t channels,
                        int32_t frames) {
  const int32_t target = Bypassed() ? FFadeFrames : 0;
  if (FPosition == 0 && target == 0)
    return;
  const int32_t start = FPosition;
  FPosition = start < target ? std::min(target, start + frames) : std::max(target, start - frames);
  for (int32_t c = 0; c < channels; ++c) {
    float* out = outputs[c];
    const float* in = inputs ? inputs[c] : nullptr;
    if (!out)
      continue;
    int32_t position = start;
    for (int32_t i = 0; i < frames; ++i) {
      position += position < target ? 1 : position > target ? -1 : 0;
      const float dry = in ? in[i] : 0.0f;
      if (position == FFadeFrames) {
        out[i] = dry;
      } else if (position > 0) {
        // A raised-cosine crossfade: its slope is zero at both ends.
        const double share = 0.5 - 0.5 * std::cos(3.14159265358979323846 * position / FFadeFrames);
        out[i] = float(out[i] + (dry - out[i]) * share);
      }
    }
  }
}
