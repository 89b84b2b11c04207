// lifecycle: many instances created, opened, processed and closed, the way hosts do it and in the
// odd orders some hosts use (no resume, closed while resumed, a sample rate or block size of 0).
// Afterwards the heap, the open file descriptors and the threads must be back where they were,
// and every thread an instance started must be gone once it is closed.
#include "checks/AudioBlock.h"
#include "checks/LifecycleChecks.h"
#include "vst2/Vst2EditorHost.h"
#include "vst2/Vst2Subject.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace zhost::validate {

namespace {

void ProcessBlocks(Context& context, Vst2Effect& plugin, int32_t frames, int blocks,
                   const char* where) {
  if (!plugin.CanProcess())
    return;
  const bool replacing = Replaces(plugin);
  AudioBlock block(plugin.NumInputs(), plugin.NumOutputs(), std::max(frames, 1));
  for (int i = 0; i < blocks; ++i) {
    block.Noise(context.Random(), 0.5f, frames);
    const BlockFindings findings = RunBlock(block, plugin, frames, replacing);
    if (!findings.Clean())
      context.Abort(findings.Describe() + ", " + where);
  }
}

void Usual(Context& context) {
  context.Step("an instance set up, resumed, processed and closed");
  auto plugin = LoadOpened(context, 44100.0f, 512);
  plugin->Resume();
  plugin->StartProcess();
  ProcessBlocks(context, *plugin, 512, 2, "in a usual lifecycle");
  plugin->Close();
}

// The library stays loaded throughout, as a host keeps it while any instance lives.
void UsualLives(Context& context) {
  const auto anchor = Load(context);
  CheckLives(context, {{"usual", Usual}}, LifeCount(context), "effClose");
}

void OddLives(Context& context) {
  const std::vector<std::pair<const char*, Life>> lives = {
      {"closed without effOpen", [](Context& c) { Load(c)->Close(); }},
      {"opened and closed, never resumed",
       [](Context& c) {
         auto plugin = Load(c);
         plugin->Open();
         plugin->Close();
       }},
      {"closed while resumed and processing",
       [](Context& c) {
         auto plugin = LoadOpened(c, 48000.0f, 256);
         // Told straight, so that Close sends effClose alone.
         plugin->Dispatch(effMainsChanged, 0, 1);
         plugin->Dispatch(effStartProcess);
         ProcessBlocks(c, *plugin, 256, 1, "before effClose while resumed");
         plugin->Close();
       }},
      {"sample rate and block size 0",
       [](Context& c) {
         auto plugin = LoadOpened(c, 0.0f, 0);
         plugin->Resume();
         ProcessBlocks(c, *plugin, 0, 2, "with a sample rate and a block size of 0");
         plugin->Suspend();
         plugin->Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
         plugin->Dispatch(effSetBlockSize, 0, 128);
         plugin->Resume();
         ProcessBlocks(c, *plugin, 128, 2, "after a sample rate and a block size of 0");
         plugin->Close();
       }},
      {"resumed and suspended twice",
       [](Context& c) {
         auto plugin = LoadOpened(c, 96000.0f, 64);
         plugin->Dispatch(effMainsChanged, 0, 1);
         plugin->Dispatch(effMainsChanged, 0, 1);
         ProcessBlocks(c, *plugin, 64, 2, "after effMainsChanged 1 twice");
         plugin->Dispatch(effMainsChanged, 0, 0);
         plugin->Dispatch(effMainsChanged, 0, 0);
         plugin->Close();
       }},
  };
  const auto anchor = Load(context);
  CheckLives(context, lives, LifeCount(context) / 2, "effClose");
}

// Threads a plug-in starts are its to end: those of an instance by the end of effClose (a host
// may unload the library right after, and a thread left running in unloaded code crashes the
// host), those its library starts when loaded by the time it is unloaded. Each instance's life
// is the whole of what a host asks, the editor included with --gui.
void ThreadsAfterClose(Context& context) {
  const auto life = [](Context& c, int number, const std::function<void()>& seen) {
    c.Step("instance %d: set up, resumed and processing", number);
    auto plugin = LoadOpened(c, 44100.0f, 512);
    plugin->Resume();
    plugin->StartProcess();
    ProcessBlocks(c, *plugin, 512, 8, "before effClose");
    if (c.Gui() && (plugin->Effect().flags & effFlagsHasEditor)) {
      c.Step("instance %d: the editor opened and idled", number);
      EditorHost editor(*plugin, true);
      for (int i = 0; i < 5; ++i)
        editor.Idle();
      seen();
      editor.Close();
    }
    seen();
    c.Step("instance %d: effClose", number);
    plugin->Close();
  };
  CheckThreadsAfterClose(context, Dlopened(context.Location()), life, "effClose");
}

const bool registered =
    Register(PluginFormat::Vst2,
             {"lifecycle.instances", UsualLives, {.strictness = 1, .timeoutSeconds = 120}}) &&
    Register(PluginFormat::Vst2,
             {"lifecycle.odd-orders", OddLives, {.strictness = 3, .timeoutSeconds = 120}}) &&
    Register(PluginFormat::Vst2,
             {"lifecycle.threads", ThreadsAfterClose, {.strictness = 1, .timeoutSeconds = 60}});

} // namespace

} // namespace zhost::validate
