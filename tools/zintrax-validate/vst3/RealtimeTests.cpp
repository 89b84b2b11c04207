// realtime, for VST3 plug-ins: no allocator call and no call that can wait in process, with
// parameter changes inside the blocks, nor in setParamNormalized and getParamNormalized between
// them; the caller's floating-point control state as it was after every kind of call, the view's
// too with --gui; and the longest single block of 64 frames at 48 kHz.
#include "checks/AudioBlock.h"
#include "checks/AudioThreadChecks.h"
#include "checks/SmallStack.h"
#include "checks/WorstBlock.h"
#include "vst3/Vst3Subject.h"

#include <string>

namespace zhost::validate {

namespace {

using namespace vst3;

// Blocks of 512 frames and shorter with changes inside them, and a parameter set and read between
// them, as a host's audio thread makes them; what each kind of call did is counted: the first
// process after setProcessing(true), process, setParamNormalized and getParamNormalized. The
// host's own objects (the block's changes) are made before each call, outside the count.
std::vector<CountedCalls> CountAudioThreadCalls(Context& context, const char* counting) {
  Vst3Subject subject(context.Location());
  Vst3Effect& plugin = *subject.plugin;
  plugin.Start(44100.0, 512);
  IEditController& controller = *plugin.controller;
  const std::vector<ParamID> ids = Writable(controller);
  AudioBlock block(plugin.inputChannels, plugin.outputChannels, 512);
  auto changes = TRef<Vst3ParameterChanges>::Adopt(new Vst3ParameterChanges);
  std::vector<CountedCalls> found{CountedCalls("the first process after setProcessing(true)"),
                                  CountedCalls("process"), CountedCalls("setParamNormalized"),
                                  CountedCalls("getParamNormalized")};
  CountedCalls &first = found[0], &process = found[1], &set = found[2], &get = found[3];
  const auto processBlock = [&](CountedCalls& calls, int32 frames) {
    block.Noise(context.Random(), 0.5f, frames);
    block.Ready(frames, true);
    RandomChanges(context, ids, frames, *changes);
    context.Step("%s of %d frames, %s counted", calls.what, frames, counting);
    Counted(calls, [&] { plugin.Process(block.Inputs(), block.Outputs(), frames, changes.get()); });
  };

  processBlock(first, 512);
  ForRounds(context, [&](int round) {
    processBlock(process, round % 7 == 0 ? int32(context.Between(0, 511)) : 512);
    if (ids.empty())
      return;
    const ParamID id = ids[static_cast<size_t>(context.Between(0, int64_t(ids.size()) - 1))];
    const double value = context.Uniform(0.0, 1.0);
    context.Step("setParamNormalized(%u, %g), %s counted", id, value, counting);
    Counted(set, [&] { controller.setParamNormalized(id, value); });
    context.Step("getParamNormalized(%u), %s counted", id, counting);
    Counted(get, [&] { controller.getParamNormalized(id); });
  });
  return found;
}

// One run on a fresh instance: the same input, the same changes in every run, each a point at
// the start of the block it changes.
WorstBlockRun OneRun(Context& context, int blocks) {
  Vst3Subject subject(context.Location());
  Vst3Effect& plugin = *subject.plugin;
  plugin.Start(kWorstBlockRate, kWorstBlockFrames);
  const std::vector<ParamID> ids = Writable(*plugin.controller, true);
  AudioBlock block(plugin.inputChannels, plugin.outputChannels, kWorstBlockFrames);
  auto changes = TRef<Vst3ParameterChanges>::Adopt(new Vst3ParameterChanges);
  const auto prepare = [&](int i, std::mt19937& random) {
    changes->Clear();
    if (ids.empty() || i % kChangeEvery != 0)
      return -1;
    const ParamID id = ids[random() % ids.size()];
    changes->Add(id, 0, std::uniform_real_distribution<double>(0.0, 1.0)(random));
    return static_cast<int32_t>(id);
  };
  const auto process = [&] {
    plugin.Process(block.Inputs(), block.Outputs(), kWorstBlockFrames, changes.get());
  };
  return TimeBlocks(context, block, true, blocks, {prepare, process});
}

std::string ParameterChange(int32_t id) {
  return "a change of parameter " + std::to_string(id);
}

void WorstBlock(Context& context) {
  CheckWorstBlock(context, OneRun, {ParameterChange, "setProcessing(true)"});
}

void Stack(Context& context) {
  const Vst3Subject subject(context.Location());
  Vst3Effect& plugin = *subject.plugin;
  plugin.Start(44100.0, 512);
  const std::vector<ParamID> ids = Writable(*plugin.controller);
  AudioBlock block(plugin.inputChannels, plugin.outputChannels, 512);
  auto changes = TRef<Vst3ParameterChanges>::Adopt(new Vst3ParameterChanges);
  context.Step("process, setParamNormalized and getParamNormalized on a thread with a stack of "
               "512 KiB");
  CheckSmallStack(context, [&] {
    std::mt19937 random(context.Seed());
    for (int i = 0; i < 64; ++i) {
      block.Noise(random, 0.5f, 512);
      block.Ready(512, true);
      changes->Clear();
      if (!ids.empty()) {
        const ParamID id = ids[random() % ids.size()];
        const double value = double(random() % 1000) / 999.0;
        changes->Add(id, int32(random() % 512), value);
        plugin.controller->setParamNormalized(id, value);
        plugin.controller->getParamNormalized(id);
      }
      plugin.Process(block.Inputs(), block.Outputs(), 512, changes.get());
    }
  });
}

const bool registered =
    Register(PluginFormat::Vst3, {"realtime.stack", Stack, {.strictness = 1}}) &&
    Register(PluginFormat::Vst3, {"realtime.allocation",
                                  [](Context& c) { CheckAllocations(c, CountAudioThreadCalls); },
                                  {.strictness = 2, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Vst3, {"realtime.blocking",
                                  [](Context& c) { CheckBlocking(c, CountAudioThreadCalls); },
                                  {.strictness = 2, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Vst3,
             {"realtime.fp-state",
              [](Context& c) { CheckFloatingPointState(c, WalkEveryKindOfVst3Call); },
              {.strictness = 1}}) &&
    Register(PluginFormat::Vst3,
             {"realtime.worst-block", WorstBlock, {.strictness = 2, .timeoutSeconds = 90}});

} // namespace

} // namespace zhost::validate
