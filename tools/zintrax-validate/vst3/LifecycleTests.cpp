// lifecycle, for VST3 plug-ins: many instances made, initialised, set up, activated, processed,
// deactivated, terminated and released, and in the other orders hosts and scanners use (deactivated
// before any activation, never processed, terminated and initialised again, a block of no samples
// first, unusual sample rates). Afterwards the heap, the open file descriptors and the threads
// must be back where they were, every thread an instance started must be gone once it is
// terminated and released, and what the module started once it is left and unloaded.
#include "checks/AudioBlock.h"
#include "checks/LifecycleChecks.h"
#include "hosting/Errors.h"
#include "vst3/Vst3Subject.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

namespace zhost::validate {

namespace {

using namespace vst3;

constexpr const char* kCloseCall = "terminate and release";

void ProcessBlocks(Context& context, Vst3Effect& plugin, int32 frames, int blocks,
                   const char* where) {
  AudioBlock block(plugin.inputChannels, plugin.outputChannels, std::max(frames, 1));
  for (int i = 0; i < blocks; ++i) {
    block.Noise(context.Random(), 0.5f, frames);
    block.Ready(frames, true);
    if (plugin.Process(block.Inputs(), block.Outputs(), frames) != kResultOk)
      context.Abort(std::string("process did not answer kResultOk, ") + where);
    const BlockFindings findings = block.Check(frames, true);
    if (!findings.Clean())
      context.Abort(findings.Describe() + ", " + where);
  }
}

void UsualLives(Context& context) {
  const Vst3Subject subject(context.Location());
  const Life usual = [&subject](Context& c) {
    c.Step("an instance made, set up, activated, processed, deactivated and released");
    auto plugin = subject.Another();
    plugin->Start(44100.0, 512);
    ProcessBlocks(c, *plugin, 512, 2, "in a usual lifecycle");
  };
  CheckLives(context, {{"usual", usual}}, LifeCount(context), kCloseCall);
}

// An instance set up at an unusual rate; the plug-in may refuse it.
void AtRate(Context& context, const Vst3Subject& subject, double rate, const char* where) {
  auto plugin = subject.Another();
  try {
    plugin->Start(rate, 256);
  } catch (const HostError&) {
    return;
  }
  ProcessBlocks(context, *plugin, 256, 2, where);
}

void OddLives(Context& context) {
  const Vst3Subject subject(context.Location());
  const Vst3Subject* s = &subject;
  const std::vector<std::pair<const char*, Life>> lives = {
      {"deactivated before any activation",
       [s](Context&) {
         auto plugin = s->Another();
         plugin->processor->setProcessing(false);
         plugin->component->setActive(false);
       }},
      {"activated and deactivated without a block",
       [s](Context&) { s->Another()->Start(48000.0, 256); }},
      {"terminated and initialised again, then processing",
       [s](Context& c) {
         auto plugin = s->Another();
         plugin->Start(96000.0, 64);
         plugin->Stop();
         if (plugin->separateController)
           plugin->controller->terminate();
         plugin->component->terminate();
         if (plugin->component->initialize(plugin->context.get()) != kResultOk)
           c.Abort("initialize after terminate failed");
         if (plugin->separateController)
           plugin->controller->initialize(plugin->context.get());
         plugin->Start(44100.0, 128);
         ProcessBlocks(c, *plugin, 128, 2, "after terminate and initialize");
       }},
      {"a block of no samples first",
       [s](Context& c) {
         auto plugin = s->Another();
         plugin->Start(44100.0, 128);
         ProcessBlocks(c, *plugin, 0, 1, "in a block of no samples right after activation");
         ProcessBlocks(c, *plugin, 128, 2, "after a block of no samples");
       }},
      {"at 8000 Hz and 384000 Hz",
       [s](Context& c) {
         AtRate(c, *s, 8000.0, "at 8000 Hz");
         AtRate(c, *s, 384000.0, "at 384000 Hz");
       }},
  };
  CheckLives(context, lives, LifeCount(context) / 2, kCloseCall);
}

// Threads an instance starts are its to end by the time it is terminated and released, and those
// the module starts when it is loaded and entered by the time it is left (ModuleExit) and
// unloaded. Each life enters the module once more, as a second host component of the process
// would; the view is attached and idled with --gui.
void ThreadsAfterRelease(Context& context) {
  const std::string bundle = context.Location();
  const LibraryHold module = [bundle]() -> std::shared_ptr<void> {
    return std::make_shared<Vst3Library>(bundle);
  };
  const auto life = [](Context& c, int number, const std::function<void()>& seen) {
    const Vst3Subject subject(c.Location());
    Vst3Effect& plugin = *subject.plugin;
    c.Step("instance %d: set up, activated and processing", number);
    plugin.Start(44100.0, 512);
    ProcessBlocks(c, plugin, 512, 8, "before terminate");
    if (c.Gui() && TRef<IPlugView>::Adopt(plugin.controller->createView(kEditorViewType))) {
      c.Step("instance %d: the view attached and idled", number);
      Vst3ViewHost view(*plugin.controller, {});
      for (int i = 0; i < 5; ++i)
        view.Turn(10);
      seen();
    }
    seen();
    c.Step("instance %d: deactivated, terminated and released", number);
  };
  CheckThreadsAfterClose(context, module, life, kCloseCall);
}

const bool registered =
    Register(PluginFormat::Vst3,
             {"lifecycle.instances", UsualLives, {.strictness = 1, .timeoutSeconds = 120}}) &&
    Register(PluginFormat::Vst3,
             {"lifecycle.odd-orders", OddLives, {.strictness = 2, .timeoutSeconds = 120}}) &&
    Register(PluginFormat::Vst3,
             {"lifecycle.threads", ThreadsAfterRelease, {.strictness = 1, .timeoutSeconds = 60}});

} // namespace

} // namespace zhost::validate
