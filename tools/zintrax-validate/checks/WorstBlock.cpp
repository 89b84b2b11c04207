#include "checks/WorstBlock.h"

#include "checks/Sanitized.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace zhost::validate {

namespace {

constexpr double kBudgetUs = 1e6 * kWorstBlockFrames / kWorstBlockRate;
constexpr double kBoundUs = kBudgetUs / 2.0;
constexpr int kRuns = 3;

std::string Us(double us) {
  char text[32];
  std::snprintf(text, sizeof text, us >= 1000.0 ? "%.2f ms" : "%.0f us",
                us >= 1000.0 ? us / 1000.0 : us);
  return text;
}

// "block 1712, after setParameter(3)": where a long block was, and what came before it.
std::string Block(const WorstBlockRun& run, int block, const WorstBlockWords& words) {
  const int32_t changed = run.changed[static_cast<size_t>(block - kSettlingBlocks)];
  return "block " + std::to_string(block) +
         (changed >= 0 ? ", after " + words.change(changed) : "");
}

} // namespace

double ThreadCpuUs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return 1e6 * static_cast<double>(now.tv_sec) + 1e-3 * static_cast<double>(now.tv_nsec);
}

WorstBlockRun TimeBlocks(Context& context, AudioBlock& block, bool replacing, int blocks,
                         const WorstBlockSteps& steps) {
  std::mt19937 random(context.Seed());
  WorstBlockRun run;
  run.wallUs.reserve(static_cast<size_t>(blocks));
  run.changed.reserve(static_cast<size_t>(blocks));
  for (int i = 0; i < kSettlingBlocks + blocks; ++i) {
    block.Noise(random, 0.5f, kWorstBlockFrames);
    block.Ready(kWorstBlockFrames, replacing);
    const int32_t changed = steps.prepare(i, random);
    context.Step("block %d of %d frames at 48 kHz%s", i, kWorstBlockFrames,
                 changed >= 0 ? ", after a change" : "");
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuUs();
    steps.process();
    const double cpuUs = ThreadCpuUs() - cpuStart;
    const double wallUs =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - wallStart)
            .count();
    if (i < kSettlingBlocks) {
      run.settlingUs = std::max(run.settlingUs, wallUs);
      continue;
    }
    run.wallUs.push_back(wallUs);
    run.changed.push_back(changed);
    if (cpuUs > run.worstCpuUs) {
      run.worstCpuUs = cpuUs;
      run.worstCpuBlock = i;
    }
  }
  return run;
}

void CheckWorstBlock(Context& context, const std::function<WorstBlockRun(Context&, int)>& oneRun,
                     const WorstBlockWords& words) {
  if (kSanitized)
    context.Skip("this build's sanitizer slows every call: its times would mean nothing");
  const int blocks =
      static_cast<int>(kWorstBlockRate / kWorstBlockFrames) * (context.Strictness() >= 8 ? 6 : 2);
  std::vector<WorstBlockRun> runs;
  for (int r = 0; r < kRuns; ++r)
    runs.push_back(oneRun(context, blocks));
  std::vector<const WorstBlockRun*> byCpu;
  for (const WorstBlockRun& run : runs)
    byCpu.push_back(&run);
  std::sort(byCpu.begin(), byCpu.end(), [](const WorstBlockRun* a, const WorstBlockRun* b) {
    return a->worstCpuUs < b->worstCpuUs;
  });
  const WorstBlockRun& median = *byCpu[byCpu.size() / 2];
  const double cpu = median.worstCpuUs;
  // Per block the shortest of the runs; the longest of those is a block long in every run.
  double wall = 0.0;
  int wallBlock = 0;
  for (size_t i = 0; i < runs.front().wallUs.size(); ++i) {
    double shortest = runs.front().wallUs[i];
    for (const WorstBlockRun& run : runs)
      shortest = std::min(shortest, run.wallUs[i]);
    if (shortest > wall) {
      wall = shortest;
      wallBlock = static_cast<int>(i) + kSettlingBlocks;
    }
  }
  double settling = 0.0;
  for (const WorstBlockRun& run : runs)
    settling = std::max(settling, run.settlingUs);

  const std::string bound =
      Us(kBoundUs) + ", half of a " + std::to_string(kWorstBlockFrames) + "-frame block at 48 kHz";
  context.Note("longest block", Us(cpu) + " of CPU time (median of " + std::to_string(kRuns) +
                                    " runs of " + std::to_string(blocks) + " blocks), " + Us(wall) +
                                    " of wall time in every run; bound " + bound);
  context.Note(std::string("first blocks after ") + words.readied, "longest " + Us(settling));
  if (cpu > kBoundUs)
    context.Fail("the longest block took " + Us(cpu) + " of CPU time (" +
                 Block(median, median.worstCpuBlock, words) + "; median of " +
                 std::to_string(kRuns) + " runs), more than " + bound);
  else if (wall > kBoundUs)
    context.Fail(Block(runs.front(), wallBlock, words) + " took at least " + Us(wall) +
                 " in every run, more than " + bound);
}

} // namespace zhost::validate
