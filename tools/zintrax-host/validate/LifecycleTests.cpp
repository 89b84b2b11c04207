// lifecycle: many instances created, opened, processed and closed, the way hosts do it and in the
// odd orders some hosts use (no resume, closed while resumed, a sample rate or block size of 0).
// Afterwards the heap, the open file descriptors and the threads must be back where they were,
// and every thread an instance started must be gone once it is closed.
#include "AudioBlock.h"
#include "EditorHost.h"
#include "ProcessResources.h"
#include "Validation.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace zhost::validate {

namespace {

// Runs one instance's life.
using Life = std::function<void(Context&)>;

void ProcessBlocks(Context& context, Plugin& plugin, int32_t frames, int blocks,
                   const char* where) {
  if (!plugin.CanProcess())
    return;
  const bool replacing = Replaces(plugin);
  AudioBlock block(plugin.NumInputs(), plugin.NumOutputs(), std::max(frames, 1));
  for (int i = 0; i < blocks; ++i) {
    block.Noise(context.Random(), 0.5f, frames);
    const BlockFindings findings = block.Run(plugin, frames, replacing);
    if (!findings.Clean())
      context.Abort(findings.Describe() + ", " + where);
  }
}

void Usual(Context& context) {
  context.Step("an instance set up, resumed, processed and closed");
  auto plugin = context.LoadOpened(44100.0f, 512);
  plugin->Resume();
  plugin->StartProcess();
  ProcessBlocks(context, *plugin, 512, 2, "in a usual lifecycle");
  plugin->Close();
}

// The library stays loaded throughout (a host keeps it while any instance lives), and a few lives
// come first so that whatever the plug-in sets up once per process is in the baseline.
void Lives(Context& context, const std::vector<std::pair<const char*, Life>>& lives, int count) {
  const auto anchor = context.Load();
  for (const auto& [name, life] : lives)
    for (int i = 0; i < 3; ++i)
      life(context);
  const ProcessResources before = ProcessResources::Measure();
  // A plug-in that takes long to come up (one that loads large data per instance) gets fewer
  // instances instead of a hang.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (int i = 0; i < count; ++i) {
    if (std::chrono::steady_clock::now() > until) {
      context.Note("instances", "stopped after " + std::to_string(i) + " of " +
                                    std::to_string(count) + ": 60 s had passed");
      count = i;
      break;
    }
    const auto& [name, life] = lives[static_cast<size_t>(i) % lives.size()];
    context.Step("instance %d of %d: %s", i + 1, count, name);
    life(context);
  }
  const ProcessResources after = ProcessResources::Settled(before.threads);
  const std::string counted = " after " + std::to_string(count) + " instances";
  const size_t grown = after.heapBytes > before.heapBytes ? after.heapBytes - before.heapBytes : 0;
  context.Note("heap growth", std::to_string(grown) + " bytes" + counted);
  if (grown > std::max<size_t>(16384, 32 * static_cast<size_t>(count)))
    context.Fail("the heap grew by " + std::to_string(grown) + " bytes" + counted +
                 " (memory an instance took is not given back on effClose)");
  if (after.descriptors != before.descriptors)
    context.Fail(std::to_string(before.descriptors) + " file descriptors open before and " +
                 std::to_string(after.descriptors) + counted + ": " + DescriptorList());
  if (after.threads != before.threads)
    context.Fail(std::to_string(before.threads) + " threads before and " +
                 std::to_string(after.threads) + counted);
}

int Count(const Context& context) {
  return context.Strictness() >= 10 ? 1000 : context.Strictness() >= 5 ? 200 : 50;
}

void UsualLives(Context& context) {
  Lives(context, {{"usual", Usual}}, Count(context));
}

void OddLives(Context& context) {
  const std::vector<std::pair<const char*, Life>> lives = {
      {"closed without effOpen", [](Context& c) { c.Load()->Close(); }},
      {"opened and closed, never resumed",
       [](Context& c) {
         auto plugin = c.Load();
         plugin->Open();
         plugin->Close();
       }},
      {"closed while resumed and processing",
       [](Context& c) {
         auto plugin = c.LoadOpened(48000.0f, 256);
         // Told straight, so that Close sends effClose alone.
         plugin->Dispatch(effMainsChanged, 0, 1);
         plugin->Dispatch(effStartProcess);
         ProcessBlocks(c, *plugin, 256, 1, "before effClose while resumed");
         plugin->Close();
       }},
      {"sample rate and block size 0",
       [](Context& c) {
         auto plugin = c.LoadOpened(0.0f, 0);
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
         auto plugin = c.LoadOpened(96000.0f, 64);
         plugin->Dispatch(effMainsChanged, 0, 1);
         plugin->Dispatch(effMainsChanged, 0, 1);
         ProcessBlocks(c, *plugin, 64, 2, "after effMainsChanged 1 twice");
         plugin->Dispatch(effMainsChanged, 0, 0);
         plugin->Dispatch(effMainsChanged, 0, 0);
         plugin->Close();
       }},
  };
  Lives(context, lives, Count(context) / 2);
}

// Threads a plug-in starts are its to end: those of an instance by the end of effClose (a host
// may unload the library right after, and a thread left running in unloaded code crashes the
// host), those its library starts when loaded by the time it is unloaded. Each instance's life
// is the whole of what a host asks, the editor included with --gui.
void ThreadsAfterClose(Context& context) {
  constexpr std::chrono::seconds kPatience(2);
  const ThreadNames before = RunningThreads();
  // Held throughout, so that what the library starts when it is loaded is told apart.
  const std::string loadPath = LibraryLoadPath(context.PluginPath());
  void* library = dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  const ThreadNames loaded = RunningThreads();
  ThreadNames during; // the most threads an instance had running at once
  const auto seen = [&] {
    ThreadNames now = ThreadsBesides(loaded, std::chrono::milliseconds(0));
    if (now.size() > during.size())
      during = std::move(now);
  };
  for (int life = 1; life <= 2 && context.Failures() == 0; ++life) {
    context.Step("instance %d: set up, resumed and processing", life);
    auto plugin = context.LoadOpened(44100.0f, 512);
    plugin->Resume();
    plugin->StartProcess();
    ProcessBlocks(context, *plugin, 512, 8, "before effClose");
    if (context.Gui() && (plugin->Effect().flags & effFlagsHasEditor)) {
      context.Step("instance %d: the editor opened and idled", life);
      EditorHost editor(*plugin, true);
      for (int i = 0; i < 5; ++i)
        editor.Idle();
      seen();
      editor.Close();
    }
    seen();
    context.Step("instance %d: effClose", life);
    plugin->Close();
    plugin.reset();
    const ThreadNames left = ThreadsBesides(loaded, kPatience);
    if (!left.empty())
      context.Fail(ThreadList(left) + " that instance " + std::to_string(life) +
                   " started still running 2 s after its effClose");
  }
  const ThreadNames atLoad = ThreadsBesides(before, std::chrono::milliseconds(0));
  context.Note("threads", "the library started " + (atLoad.empty() ? "none" : ThreadList(atLoad)) +
                              " when loaded; an instance " +
                              (during.empty() ? "none" : "at most " + ThreadList(during)) +
                              " while it ran");
  if (library == nullptr)
    return;
  context.Step("unloading the library");
  dlclose(library);
  const ThreadNames stayed = ThreadsBesides(before, kPatience);
  if (!stayed.empty() && context.Failures() == 0)
    context.Fail(ThreadList(stayed) + " that the library started still running 2 s after it " +
                 "was unloaded");
}

const bool registered =
    Register({"lifecycle.instances", UsualLives, {.strictness = 1, .timeoutSeconds = 120}}) &&
    Register({"lifecycle.odd-orders", OddLives, {.strictness = 3, .timeoutSeconds = 120}}) &&
    Register({"lifecycle.threads", ThreadsAfterClose, {.strictness = 1, .timeoutSeconds = 60}});

} // namespace

} // namespace zhost::validate
