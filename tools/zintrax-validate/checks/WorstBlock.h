// realtime.worst-block, for every format: the longest single block over a long run of 64-frame
// blocks at 48 kHz, a control changed at block boundaries now and then, as a host's audio callback
// spends it in the plug-in. A host at that size has 1.33 ms per block for everything it runs; a
// plug-in that takes more than half of it in one block leaves too little for the rest.
//
// Judged so that a busy machine does not fail a good plug-in: by the thread's own CPU time,
// which time spent preempted does not count, as the median over three runs of each run's
// longest block; and by wall time only where the same block was long in every run (a plug-in
// that waits where nothing counts it does so in the same block each time, the machine's other
// work does not).
#pragma once

#include "checks/AudioBlock.h"
#include "core/Validation.h"

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace zhost::validate {

inline constexpr float kWorstBlockRate = 48000.0f;
inline constexpr int32_t kWorstBlockFrames = 64;
// The blocks right after the plug-in was readied, where it may settle in once; reported apart.
inline constexpr int kSettlingBlocks = 16;
// How often a control changes: every 16 blocks, about every 21 ms.
inline constexpr int kChangeEvery = 16;

// One run of blocks on a fresh instance, the same input and the same changes in every run.
struct WorstBlockRun {
  std::vector<double> wallUs;   // per block after the settling ones
  std::vector<int32_t> changed; // per block, the control set before it, or -1
  double worstCpuUs = 0.0;
  int worstCpuBlock = 0;
  double settlingUs = 0.0; // the longest of the settling blocks, wall time
};

// The calling thread's CPU time so far, in microseconds.
double ThreadCpuUs();

// What a format does for each block of a run: readies the change a block brings, untimed (every
// kChangeEvery blocks; the draws from random are the same in every run), answering the control or
// parameter it changes or -1; then makes the block's calls, timed.
struct WorstBlockSteps {
  std::function<int32_t(int block, std::mt19937& random)> prepare;
  std::function<void()> process;
};

// One run of kSettlingBlocks + blocks blocks of kWorstBlockFrames, each fed the same noise in
// every run (drawn from the context's seed) with block's outputs readied for replacing or
// accumulating calls.
WorstBlockRun TimeBlocks(Context& context, AudioBlock& block, bool replacing, int blocks,
                         const WorstBlockSteps& steps);

// How a format names things in the report: the change before a block ("setParameter(3)") and
// the call that readied the plug-in ("effMainsChanged").
struct WorstBlockWords {
  std::string (*change)(int32_t index);
  const char* readied;
};

// Makes three runs of blocks blocks each and judges the longest.
void CheckWorstBlock(Context& context, const std::function<WorstBlockRun(Context&, int)>& oneRun,
                     const WorstBlockWords& words);

} // namespace zhost::validate
