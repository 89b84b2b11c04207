// realtime.worst-block for VST 2.x plug-ins (see WorstBlock.h): each change is a setParameter
// call before the block.
#include "checks/AudioBlock.h"
#include "checks/WorstBlock.h"
#include "vst2/Vst2Subject.h"

namespace zhost::validate {

namespace {

// One run on a fresh instance: the same input, the same parameter changes in every run.
WorstBlockRun OneRun(Context& context, int blocks) {
  auto plugin = LoadProcessing(context, kWorstBlockRate, kWorstBlockFrames);
  const bool replacing = Replaces(*plugin);
  const int32_t params = plugin->NumParams();
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), kWorstBlockFrames);
  int32_t index = -1;
  float value = 0.0f;
  const auto prepare = [&](int i, std::mt19937& random) {
    index = -1;
    if (params > 0 && i % kChangeEvery == 0) {
      index = static_cast<int32_t>(random() % static_cast<uint32_t>(params));
      value = std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
    }
    return index;
  };
  const auto process = [&] {
    if (index >= 0)
      plugin->SetParameter(index, value);
    ProcessBlock(block, *plugin, kWorstBlockFrames, replacing);
  };
  return TimeBlocks(context, block, replacing, blocks, {prepare, process});
}

std::string SetParameterCall(int32_t index) {
  return "setParameter(" + std::to_string(index) + ")";
}

void WorstBlock(Context& context) {
  CheckWorstBlock(context, OneRun, {SetParameterCall, "effMainsChanged"});
}

const bool registered =
    Register(PluginFormat::Vst2,
             {"realtime.worst-block", WorstBlock, {.strictness = 2, .timeoutSeconds = 90}});

} // namespace

} // namespace zhost::validate
