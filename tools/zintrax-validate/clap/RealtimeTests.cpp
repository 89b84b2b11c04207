// realtime, for CLAP plug-ins: no allocator call and no call that can wait in process, with value
// and modulation events inside the blocks, nor in flush while active; and the longest single
// block of 64 frames at 48 kHz.
#include "checks/AudioBlock.h"
#include "checks/AudioThreadChecks.h"
#include "checks/SmallStack.h"
#include "checks/WorstBlock.h"
#include "clap/ClapSubject.h"

#include <string>

namespace zhost::validate {

namespace {

// The host's own event lists are filled before each call, outside the count.
std::vector<CountedCalls> CountAudioThreadCalls(Context& context, const char* counting) {
  ClapSubject subject(context.Location());
  ClapEffect& plugin = *subject.plugin;
  plugin.Activate(44100.0, 1, 512);
  const std::vector<clap_param_info> params = Writable(plugin);
  AudioBlock block(int32_t(plugin.InputChannels()), int32_t(plugin.OutputChannels()), 512);
  ClapEventList events;
  events.Reserve(16);
  std::vector<CountedCalls> found{CountedCalls("start_processing and the first process"),
                                  CountedCalls("process"), CountedCalls("flush")};
  CountedCalls &first = found[0], &process = found[1], &flush = found[2];
  const auto processBlock = [&](CountedCalls& calls, uint32_t frames, bool start) {
    block.Noise(context.Random(), 0.5f, int32_t(frames));
    block.Ready(int32_t(frames), true);
    RandomEvents(context, params, frames, events);
    context.Step("%s of %u frames, %s counted", calls.what, frames, counting);
    Counted(calls, [&] {
      if (start)
        plugin.StartProcessing();
      plugin.Process(block.Inputs(), block.Outputs(), frames, &events);
    });
  };
  processBlock(first, 512, true);
  ForRounds(context, [&](int round) {
    processBlock(process, round % 7 == 0 ? uint32_t(context.Between(1, 511)) : 512, false);
    RandomEvents(context, params, 1, events);
    context.Step("flush, %s counted", counting);
    Counted(flush, [&] { plugin.Flush(events); });
  });
  return found;
}

WorstBlockRun OneRun(Context& context, int blocks) {
  ClapSubject subject(context.Location());
  ClapEffect& plugin = *subject.plugin;
  plugin.Activate(kWorstBlockRate, 1, kWorstBlockFrames);
  plugin.StartProcessing();
  const std::vector<clap_param_info> params = Writable(plugin);
  AudioBlock block(int32_t(plugin.InputChannels()), int32_t(plugin.OutputChannels()),
                   kWorstBlockFrames);
  ClapEventList events;
  events.Reserve(4);
  const auto prepare = [&](int i, std::mt19937& random) {
    events.Clear();
    if (params.empty() || i % kChangeEvery != 0)
      return -1;
    const clap_param_info& info = params[random() % params.size()];
    events.Value(0, info.id,
                 info.min_value + (info.max_value - info.min_value) *
                                      std::uniform_real_distribution<double>(0.0, 1.0)(random));
    return static_cast<int32_t>(info.id);
  };
  const auto process = [&] {
    plugin.Process(block.Inputs(), block.Outputs(), kWorstBlockFrames, &events);
  };
  return TimeBlocks(context, block, true, blocks, {prepare, process});
}

std::string ParameterChange(int32_t id) {
  return "a value event of parameter " + std::to_string(id);
}

void Stack(Context& context) {
  ClapSubject subject(context.Location());
  ClapEffect& plugin = *subject.plugin;
  plugin.Activate(44100.0, 1, 512);
  const std::vector<clap_param_info> params = Writable(plugin);
  AudioBlock block(int32_t(plugin.InputChannels()), int32_t(plugin.OutputChannels()), 512);
  ClapEventList events;
  context.Step("start_processing, process, flush and stop_processing on a thread with a stack "
               "of 512 KiB");
  // The calling thread only waits meanwhile, so the context's generator is the audio thread's.
  CheckSmallStack(context, [&] {
    plugin.StartProcessing();
    for (int i = 0; i < 64; ++i) {
      block.Noise(context.Random(), 0.5f, 512);
      block.Ready(512, true);
      RandomEvents(context, params, 512, events);
      plugin.Process(block.Inputs(), block.Outputs(), 512, &events);
    }
    RandomEvents(context, params, 1, events);
    plugin.Flush(events);
    plugin.StopProcessing();
  });
}

const bool registered =
    Register(PluginFormat::Clap, {"realtime.stack", Stack, {.strictness = 1}}) &&
    Register(PluginFormat::Clap, {"realtime.allocation",
                                  [](Context& c) { CheckAllocations(c, CountAudioThreadCalls); },
                                  {.strictness = 2, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Clap, {"realtime.blocking",
                                  [](Context& c) { CheckBlocking(c, CountAudioThreadCalls); },
                                  {.strictness = 2, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Clap,
             {"realtime.worst-block",
              [](Context& c) {
                CheckWorstBlock(c, OneRun, {ParameterChange, "start_processing"});
              },
              {.strictness = 2, .timeoutSeconds = 90}});

} // namespace

} // namespace zhost::validate
