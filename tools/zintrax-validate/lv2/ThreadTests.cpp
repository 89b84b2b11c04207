// threads, for LV2 plug-ins: two instances run on audio threads of their own at once, each with
// its controls automated between runs, while the main thread makes, runs and cleans up a third
// instance again and again, and, with --gui, idles the first instance's UI, tells it control
// values and passes values written by the user on to the instance, as a host's threads do at
// once within LV2's threading rules. Nothing may crash and the output must stay finite.
#include "lv2/Lv2Subject.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

namespace zhost::validate {

namespace {

constexpr int32_t kLongest = 64;

struct Shared {
  std::atomic<bool> stop{false};
  std::atomic<long> runs{0};
  std::atomic<long> bad{0};
  std::mutex firstLock;
  std::string first; // the first bad run, under firstLock
};

void Report(Shared& shared, const BlockFindings& findings, const char* where) {
  if (!findings.Clean() && shared.bad.fetch_add(1) == 0) {
    const std::lock_guard<std::mutex> guard(shared.firstLock);
    shared.first = findings.Describe() + where;
  }
}

// The subject's ports were connected to the block before the thread started: only run is called.
void AudioLoop(Lv2Effect& subject, AudioBlock& block, Shared& shared, uint32_t seed) {
  std::mt19937 random(seed);
  long count = 0;
  while (!shared.stop.load(std::memory_order_relaxed)) {
    const int32_t frames = ++count % 3 == 0 ? 16 : kLongest;
    if (subject.NumControls() > 0 && count % 4 == 0)
      SetRandomControl(subject, random);
    block.Noise(random, 0.5f, frames);
    block.Ready(frames, true);
    subject.RunConnected(frames);
    Report(shared, block.Check(frames, true), ", on an audio thread");
    shared.runs.fetch_add(1, std::memory_order_relaxed);
  }
}

// The two audio threads, stopped and joined however the main thread leaves.
class AudioThreads {
public:
  AudioThreads(Lv2Effect& first, AudioBlock& firstBlock, Lv2Effect& second, AudioBlock& secondBlock,
               Shared& shared, uint32_t seed)
      : FShared(shared),
        FFirst(AudioLoop, std::ref(first), std::ref(firstBlock), std::ref(shared), seed),
        FSecond(AudioLoop, std::ref(second), std::ref(secondBlock), std::ref(shared), seed + 1) {}
  ~AudioThreads() {
    FShared.stop.store(true);
    FFirst.join();
    FSecond.join();
  }
  AudioThreads(const AudioThreads&) = delete;
  AudioThreads& operator=(const AudioThreads&) = delete;

private:
  Shared& FShared;
  std::thread FFirst, FSecond;
};

// A third instance's whole life on the main thread, while the others run.
void PassingInstance(Context& context, Lv2Library& target, Shared& shared) {
  Lv2Effect subject(target, 44100.0f, kLongest);
  subject.Activate();
  AudioBlock block(subject.NumInputs(), subject.NumOutputs(), kLongest);
  for (int i = 0; i < 4; ++i) {
    block.Noise(context.Random(), 0.5f, kLongest);
    block.Ready(kLongest, true);
    subject.Run(block.Inputs(), block.Outputs(), kLongest);
    Report(shared, block.Check(kLongest, true), ", on an instance made while others ran");
  }
}

void Instances(Context& context) {
  Lv2Library target(context.Location());
  std::unique_ptr<Lv2Effect> subjects[2];
  std::unique_ptr<AudioBlock> blocks[2];
  for (int i = 0; i < 2; ++i) {
    subjects[i] = std::make_unique<Lv2Effect>(target, 44100.0f, kLongest);
    subjects[i]->Activate();
    blocks[i] =
        std::make_unique<AudioBlock>(subjects[i]->NumInputs(), subjects[i]->NumOutputs(), kLongest);
    subjects[i]->Connect(blocks[i]->Inputs(), blocks[i]->Outputs());
  }
  std::unique_ptr<Lv2UiHost> ui;
  if (context.Gui() && target.HasUi()) {
    context.Step("making the first instance's UI");
    ui = std::make_unique<Lv2UiHost>(*subjects[0]);
  }
  const auto length = std::chrono::milliseconds(context.Strictness() >= 8 ? 3000 : 1000);
  Shared shared;
  long passing = 0, idles = 0;
  {
    context.Step("two instances running on threads of their own, a third made and cleaned up");
    const AudioThreads threads(*subjects[0], *blocks[0], *subjects[1], *blocks[1], shared,
                               context.Seed());
    const auto until = std::chrono::steady_clock::now() + length;
    while (std::chrono::steady_clock::now() < until) {
      if (passing++ % 4 == 0)
        PassingInstance(context, target, shared);
      if (ui) {
        const size_t controls = subjects[0]->NumControls();
        if (controls > 0) {
          const size_t control = context.Random()() % controls;
          const float value =
              RandomControlValue(*target.Controls()[control], 44100.0f, context.Random());
          ui->PortEvent(control, value);
          subjects[0]->Request(target.Controls()[control]->index, value);
        }
        ui->Idle();
        ++idles;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  if (ui) {
    context.Step("closing the UI");
    ui.reset();
  }
  context.Note("runs", std::to_string(shared.runs.load()) + " on the audio threads, " +
                           std::to_string((passing + 3) / 4) + " instances made meanwhile" +
                           (idles ? ", the UI idled " + std::to_string(idles) + " times" : ""));
  if (shared.bad.load() > 0)
    context.Fail(std::to_string(shared.bad.load()) + " runs with bad output while instances ran " +
                 "at once; the first: " + shared.first);
}

const bool registered = Register(
    PluginFormat::Lv2, {"threads.instances", Instances, {.strictness = 3, .timeoutSeconds = 120}});

} // namespace

} // namespace zhost::validate
