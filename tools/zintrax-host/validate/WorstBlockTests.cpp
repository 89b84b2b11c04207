// realtime.worst-block: the longest single block over a long run of 64-frame blocks at 48 kHz,
// automation at block boundaries included, as a host's audio callback spends it in the plug-in.
// A host at that size has 1.33 ms per block for everything it runs; a plug-in that takes more
// than half of it in one block leaves too little for the rest.
//
// Judged so that a busy machine does not fail a good plug-in: by the thread's own CPU time,
// which time spent preempted does not count, as the median over three runs of each run's
// longest block; and by wall time only where the same block was long in every run (a plug-in
// that waits where nothing counts it does so in the same block each time, the machine's other
// work does not).
#include "AudioBlock.h"
#include "Sanitized.h"
#include "Validation.h"

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace zhost::validate {

namespace {

constexpr float kRate = 48000.0f;
constexpr int32_t kFrames = 64;
constexpr double kBudgetUs = 1e6 * kFrames / kRate;
constexpr double kBoundUs = kBudgetUs / 2.0;
constexpr int kRuns = 3;
// The blocks right after effMainsChanged, where a plug-in may settle in once; reported apart.
constexpr int kSettling = 16;
// How often a parameter changes: every 16 blocks, about every 21 ms.
constexpr int kChangeEvery = 16;

double ThreadCpuUs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return 1e6 * static_cast<double>(now.tv_sec) + 1e-3 * static_cast<double>(now.tv_nsec);
}

struct Run {
  std::vector<double> wallUs;   // per block after the settling ones
  std::vector<int32_t> changed; // per block, the parameter set before it, or -1
  double worstCpuUs = 0.0;
  int worstCpuBlock = 0;
  double settlingUs = 0.0; // the longest of the settling blocks, wall time
};

// One run on a fresh instance: the same input, the same parameter changes in every run.
Run OneRun(Context& context, int blocks) {
  auto plugin = context.LoadProcessing(kRate, kFrames);
  const bool replacing = Replaces(*plugin);
  const int32_t params = plugin->NumParams();
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), kFrames);
  std::mt19937 random(context.Seed());
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  Run run;
  run.wallUs.reserve(static_cast<size_t>(blocks));
  run.changed.reserve(static_cast<size_t>(blocks));
  for (int i = 0; i < kSettling + blocks; ++i) {
    block.Noise(random, 0.5f, kFrames);
    block.Ready(kFrames, replacing);
    const bool change = params > 0 && i % kChangeEvery == 0;
    const auto index = change ? static_cast<int32_t>(random() % static_cast<uint32_t>(params)) : 0;
    const float value = change ? unit(random) : 0.0f;
    context.Step("block %d of %d frames at 48 kHz%s", i, kFrames,
                 change ? ", a parameter set before it" : "");
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuUs();
    if (change)
      plugin->SetParameter(index, value);
    block.Process(*plugin, kFrames, replacing);
    const double cpu = ThreadCpuUs() - cpuStart;
    const double wall =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - wallStart)
            .count();
    if (i < kSettling) {
      run.settlingUs = std::max(run.settlingUs, wall);
      continue;
    }
    run.wallUs.push_back(wall);
    run.changed.push_back(change ? index : -1);
    if (cpu > run.worstCpuUs) {
      run.worstCpuUs = cpu;
      run.worstCpuBlock = i;
    }
  }
  return run;
}

std::string Us(double us) {
  char text[32];
  std::snprintf(text, sizeof text, us >= 1000.0 ? "%.2f ms" : "%.0f us",
                us >= 1000.0 ? us / 1000.0 : us);
  return text;
}

// "block 1712, after setParameter(3)": where a long block was, and what came before it.
std::string Block(const Run& run, int block) {
  const int32_t changed = run.changed[static_cast<size_t>(block - kSettling)];
  return "block " + std::to_string(block) +
         (changed >= 0 ? ", after setParameter(" + std::to_string(changed) + ")" : "");
}

void WorstBlock(Context& context) {
  if (kSanitized)
    context.Skip("this build's sanitizer slows every call: its times would mean nothing");
  const int blocks = static_cast<int>(kRate / kFrames) * (context.Strictness() >= 8 ? 6 : 2);
  std::vector<Run> runs;
  for (int r = 0; r < kRuns; ++r)
    runs.push_back(OneRun(context, blocks));

  std::vector<const Run*> byCpu;
  for (const Run& run : runs)
    byCpu.push_back(&run);
  std::sort(byCpu.begin(), byCpu.end(),
            [](const Run* a, const Run* b) { return a->worstCpuUs < b->worstCpuUs; });
  const Run& median = *byCpu[byCpu.size() / 2];
  const double cpu = median.worstCpuUs;
  // Per block the shortest of the runs; the longest of those is a block long in every run.
  double wall = 0.0;
  int wallBlock = 0;
  for (size_t i = 0; i < runs.front().wallUs.size(); ++i) {
    double shortest = runs.front().wallUs[i];
    for (const Run& run : runs)
      shortest = std::min(shortest, run.wallUs[i]);
    if (shortest > wall) {
      wall = shortest;
      wallBlock = static_cast<int>(i) + kSettling;
    }
  }
  double settling = 0.0;
  for (const Run& run : runs)
    settling = std::max(settling, run.settlingUs);

  const std::string bound =
      Us(kBoundUs) + ", half of a " + std::to_string(kFrames) + "-frame block at 48 kHz";
  context.Note("longest block", Us(cpu) + " of CPU time (median of " + std::to_string(kRuns) +
                                    " runs of " + std::to_string(blocks) + " blocks), " + Us(wall) +
                                    " of wall time in every run; bound " + bound);
  context.Note("first blocks after effMainsChanged", "longest " + Us(settling));
  if (cpu > kBoundUs)
    context.Fail("the longest block took " + Us(cpu) + " of CPU time (" +
                 Block(median, median.worstCpuBlock) + "; median of " + std::to_string(kRuns) +
                 " runs), more than " + bound);
  else if (wall > kBoundUs)
    context.Fail(Block(runs.front(), wallBlock) + " took at least " + Us(wall) +
                 " in every run, more than " + bound);
}

const bool registered =
    Register({"realtime.worst-block", WorstBlock, {.strictness = 2, .timeoutSeconds = 90}});

} // namespace

} // namespace zhost::validate
