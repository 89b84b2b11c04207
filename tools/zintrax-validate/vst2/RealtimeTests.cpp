// realtime: what a plug-in must not do on a host's audio thread. No allocator call and no call
// that can wait while it processes or while parameters are set and read, and the caller's
// floating-point control state (MXCSR, the x87 control word) as it was after every call, the
// editor's too with --gui.
#include "checks/AudioBlock.h"
#include "checks/AudioThreadChecks.h"
#include "checks/SmallStack.h"
#include "vst2/Vst2Subject.h"

#include <string>

namespace zhost::validate {

namespace {

// Blocks of 512 frames and shorter, with a parameter set and read between them, as a host's audio
// thread makes them; what each kind of call did is counted: the first block after
// effMainsChanged, processReplacing (or process), setParameter and getParameter.
std::vector<CountedCalls> CountAudioThreadCalls(Context& context, const char* counting) {
  auto plugin = LoadProcessing(context, 44100.0f, 512);
  const bool replacing = Replaces(*plugin);
  const int32_t params = plugin->NumParams();
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), 512);

  std::vector<CountedCalls> found{CountedCalls("the first block after effMainsChanged"),
                                  CountedCalls(replacing ? "processReplacing" : "process"),
                                  CountedCalls("setParameter"), CountedCalls("getParameter")};
  CountedCalls &first = found[0], &process = found[1], &set = found[2], &get = found[3];
  const auto processBlock = [&](CountedCalls& calls, int32_t frames) {
    block.Noise(context.Random(), 0.5f, frames);
    block.ClearOutputs(frames);
    context.Step("%s of %d frames, %s counted", calls.what, frames, counting);
    Counted(calls, [&] { ProcessBlock(block, *plugin, frames, replacing); });
  };

  processBlock(first, 512);
  ForRounds(context, [&](int round) {
    processBlock(process, round % 7 == 0 ? static_cast<int32_t>(context.Between(0, 511)) : 512);
    if (params <= 0)
      return;
    const auto index = static_cast<int32_t>(context.Between(0, params - 1));
    const auto value = static_cast<float>(context.Uniform(0.0, 1.0));
    context.Step("setParameter(%d, %g), %s counted", index, static_cast<double>(value), counting);
    Counted(set, [&] { plugin->SetParameter(index, value); });
    context.Step("getParameter(%d), %s counted", index, counting);
    Counted(get, [&] { plugin->GetParameter(index); });
  });
  return found;
}

void Stack(Context& context) {
  auto plugin = LoadProcessing(context, 44100.0f, 512);
  const bool replacing = Replaces(*plugin);
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), 512);
  context.Step("%s and setParameter on a thread with a stack of 512 KiB",
               replacing ? "processReplacing" : "process");
  CheckSmallStack(context, [&] {
    std::mt19937 random(context.Seed());
    for (int i = 0; i < 64; ++i) {
      block.Noise(random, 0.5f, 512);
      block.Ready(512, replacing);
      if (plugin->NumParams() > 0)
        plugin->SetParameter(i % plugin->NumParams(), float(random() % 1000) / 999.0f);
      ProcessBlock(block, *plugin, 512, replacing);
    }
  });
}

const bool registered =
    Register(PluginFormat::Vst2, {"realtime.stack", Stack, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"realtime.allocation",
                                  [](Context& c) { CheckAllocations(c, CountAudioThreadCalls); },
                                  {.strictness = 2, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Vst2, {"realtime.blocking",
                                  [](Context& c) { CheckBlocking(c, CountAudioThreadCalls); },
                                  {.strictness = 2, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Vst2,
             {"realtime.fp-state",
              [](Context& c) { CheckFloatingPointState(c, WalkEveryKindOfVst2Call); },
              {.strictness = 1}});

} // namespace

} // namespace zhost::validate
