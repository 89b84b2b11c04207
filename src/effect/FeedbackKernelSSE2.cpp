// The SSE2 kernel, which every x86-64 processor runs: the staged kernel with one frame's
// (left, right) in each 128-bit register.
#include "effect/FeedbackStages.h"
#include "effect/FeedbackVectorsX86.h"

namespace {
struct TSSE2 {
  using Wide = TPairSSE2;
  using Pair = TPairSSE2;
  using Quad = TQuadSSE2;
  static constexpr int kGroup = 4;
};
} // namespace

void RunFramesSSE2(TFrameRun& run) {
  TStagedFrames<TSSE2>::Run(run);
}
