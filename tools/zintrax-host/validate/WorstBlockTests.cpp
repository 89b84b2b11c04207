// realtime.worst-block for VST 2.x plug-ins (see WorstBlock.h): each change is a setParameter
// call before the block.
#include "AudioBlock.h"
#include "WorstBlock.h"

#include <random>

namespace zhost::validate {

namespace {

// One run on a fresh instance: the same input, the same parameter changes in every run.
WorstBlockRun OneRun(Context& context, int blocks) {
  auto plugin = context.LoadProcessing(kWorstBlockRate, kWorstBlockFrames);
  const bool replacing = Replaces(*plugin);
  const int32_t params = plugin->NumParams();
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), kWorstBlockFrames);
  std::mt19937 random(context.Seed());
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  WorstBlockRun run;
  run.wallUs.reserve(static_cast<size_t>(blocks));
  run.changed.reserve(static_cast<size_t>(blocks));
  for (int i = 0; i < kSettlingBlocks + blocks; ++i) {
    block.Noise(random, 0.5f, kWorstBlockFrames);
    block.Ready(kWorstBlockFrames, replacing);
    const bool change = params > 0 && i % kChangeEvery == 0;
    const auto index = change ? static_cast<int32_t>(random() % static_cast<uint32_t>(params)) : 0;
    const float value = change ? unit(random) : 0.0f;
    context.Step("block %d of %d frames at 48 kHz%s", i, kWorstBlockFrames,
                 change ? ", a parameter set before it" : "");
    const BlockTimes times = TimeBlock([&] {
      if (change)
        plugin->SetParameter(index, value);
      block.Process(*plugin, kWorstBlockFrames, replacing);
    });
    Record(run, i, times, change ? index : -1);
  }
  return run;
}

std::string SetParameterCall(int32_t index) {
  return "setParameter(" + std::to_string(index) + ")";
}

void WorstBlock(Context& context) {
  CheckWorstBlock(context, OneRun, {SetParameterCall, "effMainsChanged"});
}

const bool registered =
    Register({"realtime.worst-block", WorstBlock, {.strictness = 2, .timeoutSeconds = 90}});

} // namespace

} // namespace zhost::validate
