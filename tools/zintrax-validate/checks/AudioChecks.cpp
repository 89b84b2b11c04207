#include "checks/AudioChecks.h"

#include "checks/FloatingPointState.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace zhost::validate {

void ForEachLayout(AudioBlock& block, bool inPlaceAllowed,
                   const std::function<void(int32_t frames, const char* layout)>& run) {
  for (const bool inPlace : {true, false}) {
    if (inPlace && !inPlaceAllowed)
      continue;
    for (const int misalign : {0, 1, 2, 3}) {
      block.SetLayout(inPlace, misalign);
      char layout[64];
      std::snprintf(layout, sizeof layout, ", %s buffers %d floats past alignment",
                    inPlace ? "in-place" : "separate", misalign);
      for (const int32_t frames : {512, 17, 1, 511})
        run(frames, layout);
    }
  }
}

void AutomateEvery32Frames(Context& context, const std::function<bool()>& step) {
  const int64_t total = 44100LL * (context.Strictness() >= 8 ? 10 : 2);
  const auto start = std::chrono::steady_clock::now();
  for (int64_t done = 0; done < total; done += 32) {
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) {
      context.Note("automation", "stopped after " + std::to_string(done) + " of " +
                                     std::to_string(total) + " frames: 20 s had passed");
      return;
    }
    if (!step())
      return;
  }
}

void CheckTail(Context& context, AudioBlock& block, bool replacing,
               const std::function<void()>& process, bool generator) {
  constexpr int kBlocksPerSecond = 86;
  const int seconds = context.Strictness() >= 10 ? 30 : 10;
  const int blocks = seconds * kBlocksPerSecond;
  std::vector<double> cost;
  std::vector<float> peaks;
  BlockFindings findings;
  const uint32_t unflushed = ReadMxcsr() & ~kMxcsrFlushBits;
  for (int i = 0; i < blocks; ++i) {
    context.Step("block %d of silence after an impulse", i);
    block.Silence(kTailBlock, i == 0 ? 1.0f : 0.0f);
    block.Ready(kTailBlock, replacing);
    WriteMxcsr(unflushed);
    const auto start = std::chrono::steady_clock::now();
    process();
    cost.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    findings.Add(block.Check(kTailBlock, replacing));
    peaks.push_back(block.Peak(kTailBlock));
  }
  if (!findings.Clean())
    context.Fail(findings.Describe() + ", in the tail of an impulse");

  // Median cost per second of material, against the second after the impulse.
  const auto median = [&](int second) {
    std::vector<double> window(cost.begin() + second * kBlocksPerSecond,
                               cost.begin() + (second + 1) * kBlocksPerSecond);
    std::nth_element(window.begin(), window.begin() + window.size() / 2, window.end());
    return window[window.size() / 2];
  };
  const double first = median(0);
  double worst = first;
  int worstSecond = 0;
  for (int s = 1; s < seconds; ++s)
    if (median(s) > worst) {
      worst = median(s);
      worstSecond = s;
    }
  char text[160];
  std::snprintf(text, sizeof text, "%.1f us in the first second, %.1f us at most (second %d)",
                first * 1e6, worst * 1e6, worstSecond);
  context.Note("median block cost", text);
  if (worst > 4.0 * first + 20e-6)
    context.Fail(std::string("the cost per block grows as the tail dies away: ") + text);

  const float last = *std::max_element(peaks.end() - kBlocksPerSecond, peaks.end());
  std::snprintf(text, sizeof text, "%g", static_cast<double>(last));
  context.Note("peak of the last second", text + std::string(generator ? " (a generator)" : ""));
  if (!generator && !(last < 1e-5f))
    context.Fail(std::string("the output does not die away: its peak in the last second of ") +
                 std::to_string(seconds) + " s of silence after an impulse is " + text);
}

} // namespace zhost::validate
