#include "formats/common/TimedChanges.h"

#include "formats/common/ModuleAdapter.h"

#include <algorithm>

void ProcessWithChanges(TModuleAdapter& module, const float* const* inputs, float* const* outputs,
                        int32_t frames, TTimedChanges& changes) {
  frames = std::max(frames, 0);
  int32_t done = 0;
  for (;;) {
    const int32_t at = std::clamp(changes.NextOffset(), done, frames);
    if (at > done) {
      module.Process(inputs, outputs, at - done, done);
      done = at;
    }
    if (!changes.ApplyUntil(at) && done == frames)
      return;
  }
}
