#include "vst2/Vst2Subject.h"

#include "hosting/Vst2Host.h"

namespace zhost::validate {

std::unique_ptr<Vst2Effect> Load(const Context& context) {
  return std::make_unique<Vst2Effect>(context.Location());
}

std::unique_ptr<Vst2Effect> LoadOpened(const Context& context, float sampleRate,
                                       int32_t blockSize) {
  Host().sampleRate = sampleRate;
  Host().blockSize = blockSize;
  auto plugin = Load(context);
  plugin->Open();
  plugin->Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
  plugin->Dispatch(effSetBlockSize, 0, blockSize);
  return plugin;
}

std::unique_ptr<Vst2Effect> LoadProcessing(Context& context, float sampleRate, int32_t blockSize) {
  auto plugin = LoadOpened(context, sampleRate, blockSize);
  if (!plugin->CanProcess())
    context.Skip("the plug-in has neither processReplacing nor process");
  plugin->Resume();
  plugin->StartProcess();
  return plugin;
}

bool Replaces(const Vst2Effect& plugin) {
  const AEffect& effect = plugin.Effect();
  return (effect.flags & effFlagsCanReplacing) && effect.processReplacing != nullptr;
}

void ProcessBlock(AudioBlock& block, const Vst2Effect& plugin, int32_t frames, bool replacing) {
  AEffect* effect = const_cast<AEffect*>(&plugin.Effect());
  if (replacing)
    effect->processReplacing(effect, block.Inputs(), block.Outputs(), frames);
  else
    effect->process(effect, block.Inputs(), block.Outputs(), frames);
}

BlockFindings RunBlock(AudioBlock& block, const Vst2Effect& plugin, int32_t frames,
                       bool replacing) {
  block.Ready(frames, replacing);
  ProcessBlock(block, plugin, frames, replacing);
  return block.Check(frames, replacing);
}

} // namespace zhost::validate
