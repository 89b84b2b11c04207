// threads: an audio thread processes small blocks while another thread sets and reads
// parameters, selects programs, reads their texts and puts chunks back, and, with --gui, the
// main thread idles an open editor, as a host's threads do at once. Nothing may crash and the
// output must stay finite.
#include "checks/AudioBlock.h"
#include "core/Validation.h"
#include "vst2/Vst2EditorHost.h"
#include "vst2/Vst2Subject.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace zhost::validate {

namespace {

struct Shared {
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::atomic<long> bad{0};
  std::atomic<int> cut{0}; // rounds done when the time ran out, else 0
  std::mutex firstLock;
  std::string first; // the first bad block, under firstLock
};

void AudioLoop(const Vst2Effect& plugin, Shared& shared, uint32_t seed) {
  std::mt19937 random(seed);
  const bool replacing = Replaces(plugin);
  AudioBlock block(plugin.NumInputs(), plugin.NumOutputs(), 64);
  while (!shared.stop.load(std::memory_order_relaxed)) {
    const int32_t frames = shared.blocks.load(std::memory_order_relaxed) % 3 == 0 ? 16 : 64;
    block.Noise(random, 0.5f, frames);
    const BlockFindings findings = RunBlock(block, plugin, frames, replacing);
    if (!findings.Clean() && shared.bad.fetch_add(1) == 0) {
      const std::lock_guard<std::mutex> guard(shared.firstLock);
      shared.first = findings.Describe();
    }
    shared.blocks.fetch_add(1, std::memory_order_relaxed);
  }
}

// Runs for at least `rounds` rounds and at least `least` of wall time, so that the audio thread
// and the editor get their share however fast the plug-in answers, but no longer than a
// plug-in with slow parameter changes needs to show it survives them.
void ControlLoop(const Vst2Effect& plugin, Shared& shared, uint32_t seed, int rounds,
                 std::chrono::milliseconds least) {
  const auto start = std::chrono::steady_clock::now();
  const auto until = start + least;
  const auto latest = start + std::chrono::seconds(30);
  std::mt19937 random(seed);
  const int32_t params = plugin.NumParams();
  const int32_t programs = plugin.NumPrograms();
  const bool chunks = plugin.Effect().flags & effFlagsProgramChunks;
  std::vector<char> text(512);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int round = 0; round < rounds || std::chrono::steady_clock::now() < until; ++round) {
    if (std::chrono::steady_clock::now() > latest) {
      shared.cut.store(round);
      break;
    }
    const int action = static_cast<int>(random() % 8);
    if (params > 0 && action < 4) {
      const auto index = static_cast<int32_t>(random() % static_cast<uint32_t>(params));
      plugin.SetParameter(index, unit(random));
      plugin.GetParameter(index);
      plugin.Dispatch(effGetParamDisplay, index, 0, text.data());
    } else if (programs > 1 && action < 6) {
      plugin.Dispatch(effSetProgram, 0, random() % static_cast<uint32_t>(programs));
      plugin.Dispatch(effGetProgramName, 0, 0, text.data());
    } else if (chunks) {
      const bool bank = action == 7;
      void* data = nullptr;
      const VstIntPtr size = plugin.Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
      if (size > 0 && data != nullptr && size < (64 << 20)) {
        std::vector<char> copy(static_cast<const char*>(data),
                               static_cast<const char*>(data) + size);
        plugin.Dispatch(effSetChunk, bank ? 0 : 1, size, copy.data());
      }
    }
  }
  shared.stop.store(true);
}

void Automation(Context& context) {
  auto plugin = LoadProcessing(context, 44100.0f, 64);
  const bool withEditor = context.Gui() && (plugin->Effect().flags & effFlagsHasEditor);
  std::unique_ptr<EditorHost> editor;
  if (withEditor) {
    context.Step("opening the editor");
    editor = std::make_unique<EditorHost>(*plugin, true);
  }
  const int rounds = context.Strictness() >= 8 ? 20000 : 4000;
  const std::chrono::milliseconds least(context.Strictness() >= 8 ? 3000 : 1000);
  Shared shared;
  context.Step("processing on one thread while another automates, %d rounds", rounds);
  std::thread audio(AudioLoop, std::cref(*plugin), std::ref(shared), context.Seed());
  std::thread control(ControlLoop, std::cref(*plugin), std::ref(shared), context.Seed() + 1, rounds,
                      least);
  long idles = 0;
  while (!shared.stop.load()) {
    if (editor) {
      editor->Idle();
      ++idles;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(editor ? 5 : 20));
  }
  control.join();
  audio.join();
  if (editor) {
    context.Step("closing the editor");
    editor.reset();
  }
  context.Note("blocks processed",
               std::to_string(shared.blocks.load()) +
                   (withEditor ? ", editor idled " + std::to_string(idles) + " times" : ""));
  if (shared.cut.load() > 0)
    context.Note("rounds",
                 "stopped after " + std::to_string(shared.cut.load()) + ": 30 s had passed");
  if (shared.bad.load() > 0)
    context.Fail(std::to_string(shared.bad.load()) +
                 " blocks with bad output while another thread " +
                 "automated; the first: " + shared.first);
}

const bool registered =
    Register(PluginFormat::Vst2,
             {"threads.automation", Automation, {.strictness = 3, .timeoutSeconds = 120}});

} // namespace

} // namespace zhost::validate
