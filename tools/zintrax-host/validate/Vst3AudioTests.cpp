// audio, realtime and threads of a VST3 plug-in: blocks at the usual rates and sizes and odd ones,
// in place and not, with parameter changes inside them; blocks of no samples that only carry
// changes; no allocator call and no call that can wait while it processes; and edits on another
// thread while a block is processed.
#include "AllocationCounter.h"
#include "AudioBlock.h"
#include "BlockingCounter.h"
#include "Validation.h"
#include "Vst3Subject.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace zhost::validate {

namespace {

using namespace vst3;

// The ids of the parameters a host may change while processing.
std::vector<ParamID> Writable(IEditController& controller) {
  std::vector<ParamID> ids;
  for (int32 i = 0; i < controller.getParameterCount(); ++i) {
    ParameterInfo info{};
    if (controller.getParameterInfo(i, &info) == kResultOk && !(info.flags & kIsReadOnly))
      ids.push_back(info.id);
  }
  return ids;
}

// A few points at random offsets of a block of `frames`, in ascending order per parameter.
void RandomChanges(Context& context, const std::vector<ParamID>& ids, int32 frames,
                   Vst3ParameterChanges& changes) {
  changes.Clear();
  if (ids.empty())
    return;
  for (int n = 0; n < 3; ++n) {
    const ParamID id = ids[std::size_t(context.Between(0, int64_t(ids.size()) - 1))];
    int32 offset = frames > 0 ? int32(context.Between(0, frames - 1)) : 0;
    int32 count = 0;
    if (IParamValueQueue* queue = changes.addParameterData(&id, &count))
      if (queue->getPointCount() > 0) {
        int32 last = 0;
        ParamValue value = 0;
        queue->getPoint(queue->getPointCount() - 1, &last, &value);
        offset = std::max(offset, last);
      }
    changes.Add(id, offset, context.Uniform(0.0, 1.0));
  }
}

void Blocks(Context& context) {
  const Vst3Subject subject(context.PluginPath());
  const double rates[] = {22050.0, 44100.0, 48000.0, 96000.0, 192000.0};
  const int32 blocks[] = {1, 17, 64, 512, 1023, 4096};
  BlockFindings findings;
  int64_t badResults = 0;
  auto changes = TRef<Vst3ParameterChanges>::Adopt(new Vst3ParameterChanges);
  for (double rate : rates)
    for (int32 block : blocks) {
      auto plugin = subject.Another();
      plugin->Start(rate, block);
      const std::vector<ParamID> ids = Writable(*plugin->controller);
      AudioBlock buffers(plugin->inputChannels, plugin->outputChannels, block);
      buffers.SetLayout(block % 2 == 1, int(block % 16));
      for (int n = 0; n < 40; ++n) {
        const int32 frames = n % 5 == 4 ? int32(context.Between(0, block)) : block;
        context.Step("%g Hz, at most %d frames: a block of %d", rate, block, frames);
        buffers.Noise(context.Random(), 0.5f, frames);
        buffers.Ready(frames, true);
        RandomChanges(context, ids, frames, *changes);
        badResults += plugin->Process(buffers.Inputs(), buffers.Outputs(), frames, changes.get()) !=
                      kResultOk;
        findings.Add(buffers.Check(frames, true));
      }
    }
  if (badResults > 0)
    context.Fail(std::to_string(badResults) + " blocks answered other than kResultOk");
  if (!findings.Clean())
    context.Fail(findings.Describe());
}

// A block of no samples, no buffers and a change: kResultOk, and a plug-in of one piece shows the
// value at once.
void Flush(Context& context) {
  const Vst3Subject subject(context.PluginPath());
  Vst3Plugin& plugin = *subject.plugin;
  plugin.Start(44100.0, 512);
  const std::vector<ParamID> ids = Writable(*plugin.controller);
  auto changes = TRef<Vst3ParameterChanges>::Adopt(new Vst3ParameterChanges);
  for (ParamID id : ids) {
    const double value = context.Uniform(0.0, 1.0);
    changes->Clear();
    changes->Add(id, 0, value);
    ProcessData data{};
    data.symbolicSampleSize = kSample32;
    data.inputParameterChanges = changes.get();
    context.Step("a block of no samples with parameter %u at %g", id, value);
    if (plugin.processor->process(&data) != kResultOk) {
      context.Fail("a block of no samples and no buffers did not answer kResultOk");
      return;
    }
  }
  ProcessData bare{};
  bare.symbolicSampleSize = kSample32;
  context.Step("a block of no samples, no buffers and no changes");
  if (plugin.processor->process(&bare) != kResultOk)
    context.Fail("a block with nothing in it did not answer kResultOk");
}

// Allocator calls and calls that can wait in process, blocks of 512 frames and shorter with
// changes in them, as a host's audio thread makes them.
void Process(Context& context) {
  if (!AllocationCounter::Available() || !BlockingCounter::Available())
    context.Skip("this build's sanitizer owns the calls that are counted");
  const Vst3Subject subject(context.PluginPath());
  Vst3Plugin& plugin = *subject.plugin;
  plugin.Start(44100.0, 512);
  const std::vector<ParamID> ids = Writable(*plugin.controller);
  AudioBlock block(plugin.inputChannels, plugin.outputChannels, 512);
  auto changes = TRef<Vst3ParameterChanges>::Adopt(new Vst3ParameterChanges);
  uint64_t allocations = 0;
  BlockingTally blocking;
  const int rounds = context.Strictness() >= 8 ? 2000 : 400;
  for (int round = 0; round <= rounds; ++round) {
    const int32 frames = round % 7 == 0 ? int32(context.Between(0, 511)) : 512;
    block.Noise(context.Random(), 0.5f, frames);
    block.Ready(frames, true);
    RandomChanges(context, ids, frames, *changes);
    context.Step("process of %d frames, counted", frames);
    AllocationCounter allocator;
    BlockingCounter waits;
    plugin.Process(block.Inputs(), block.Outputs(), frames, changes.get());
    waits.Stop();
    allocator.Stop();
    if (round == 0)
      continue; // the first block after activation may still settle in
    allocations += allocator.Calls();
    blocking.Add(waits);
  }
  if (allocations > 0)
    context.Fail(std::to_string(allocations) + " allocator calls in " + std::to_string(rounds) +
                 " blocks");
  if (blocking.Total() > 0)
    context.Fail("calls that can wait in process: " + blocking.Describe());
}

// The host's user-interface thread edits, reads and saves while its audio thread processes.
void Threads(Context& context) {
  const Vst3Subject subject(context.PluginPath());
  Vst3Plugin& plugin = *subject.plugin;
  plugin.Start(44100.0, 256);
  const std::vector<ParamID> ids = Writable(*plugin.controller);
  std::atomic<bool> stop{false};
  std::atomic<int64_t> badBlocks{0};
  std::thread audio([&] {
    AudioBlock block(plugin.inputChannels, plugin.outputChannels, 256);
    auto changes = TRef<Vst3ParameterChanges>::Adopt(new Vst3ParameterChanges);
    std::mt19937 random(context.Seed());
    while (!stop.load()) {
      block.Noise(random, 0.5f, 256);
      block.Ready(256, true);
      changes->Clear();
      if (!ids.empty())
        changes->Add(ids[random() % ids.size()], int32(random() % 256),
                     double(random() % 1000) / 999.0);
      plugin.Process(block.Inputs(), block.Outputs(), 256, changes.get());
      badBlocks += block.Check(256, true).Clean() ? 0 : 1;
    }
  });
  const auto until = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(context.Strictness() >= 8 ? 3000 : 1000);
  while (std::chrono::steady_clock::now() < until && !ids.empty()) {
    const ParamID id = ids[std::size_t(context.Between(0, int64_t(ids.size()) - 1))];
    context.Step("parameter %u edited, read and shown while blocks are processed", id);
    plugin.controller->setParamNormalized(id, context.Uniform(0.0, 1.0));
    plugin.controller->getParamNormalized(id);
    String128 text{};
    plugin.controller->getParamStringByValue(id, context.Uniform(0.0, 1.0), text);
    plugin.ComponentState();
  }
  stop.store(true);
  audio.join();
  if (badBlocks.load() > 0)
    context.Fail(std::to_string(badBlocks.load()) +
                 " blocks held samples no host accepts while another thread edited");
}

constexpr auto kVst3 = PluginFormat::Vst3;

const bool registered =
    Register({"audio.blocks", Blocks, {.strictness = 1, .timeoutSeconds = 120, .format = kVst3}}) &&
    Register({"audio.flush", Flush, {.strictness = 1, .format = kVst3}}) &&
    Register(
        {"realtime.process", Process, {.strictness = 1, .timeoutSeconds = 60, .format = kVst3}}) &&
    Register({"threads.edits", Threads, {.strictness = 3, .format = kVst3}});

} // namespace

} // namespace zhost::validate
