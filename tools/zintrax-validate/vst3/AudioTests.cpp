// audio and threads of a VST3 plug-in: blocks at the usual rates and sizes and odd ones, in place
// and not, with parameter changes inside them; blocks of no samples that only carry changes; and
// edits, states saved and, with --gui, the editor view idled on the host's user-interface thread
// while its audio thread processes.
#include "checks/AudioBlock.h"
#include "checks/PageEdges.h"
#include "vst3/Vst3Subject.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zhost::validate {

namespace {

using namespace vst3;

void PageEdges(Context& context) {
  const Vst3Subject subject(context.Location());
  Vst3Effect& plugin = *subject.plugin;
  plugin.Start(44100.0, 512);
  CheckPageEdges(context, "process", plugin.inputChannels, plugin.outputChannels, 512,
                 [&](EdgeBlock& block, int32_t frames) {
                   plugin.Process(block.Inputs(), block.Outputs(), frames, nullptr);
                 });
}

void Blocks(Context& context) {
  const Vst3Subject subject(context.Location());
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
  const Vst3Subject subject(context.Location());
  Vst3Effect& plugin = *subject.plugin;
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

// The host's user-interface thread edits, reads, saves and idles the view while its audio thread
// processes.
void Threads(Context& context) {
  const Vst3Subject subject(context.Location());
  Vst3Effect& plugin = *subject.plugin;
  plugin.Start(44100.0, 256);
  const std::vector<ParamID> ids = Writable(*plugin.controller);
  std::unique_ptr<Vst3ViewHost> view;
  if (context.Gui() && TRef<IPlugView>::Adopt(plugin.controller->createView(kEditorViewType))) {
    context.Step("attaching the editor view");
    view = std::make_unique<Vst3ViewHost>(*plugin.controller, Vst3ViewHost::Options{});
  }
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
    if (view)
      view->Turn(0);
  }
  stop.store(true);
  audio.join();
  view.reset();
  if (badBlocks.load() > 0)
    context.Fail(std::to_string(badBlocks.load()) +
                 " blocks held samples no host accepts while another thread edited");
}

const bool registered =
    Register(PluginFormat::Vst3,
             {"audio.blocks", Blocks, {.strictness = 1, .timeoutSeconds = 120}}) &&
    Register(PluginFormat::Vst3, {"audio.flush", Flush, {.strictness = 1}}) &&
    Register(PluginFormat::Vst3, {"audio.page-edges", PageEdges, {.strictness = 1}}) &&
    Register(PluginFormat::Vst3, {"threads.edits", Threads, {.strictness = 3}});

} // namespace

} // namespace zhost::validate
