// lifecycle, for LV2 plug-ins: many instances made, activated, run, deactivated and cleaned up,
// and in the other orders LV2 allows (never activated, activated again after deactivate, a run
// of 0 frames first, unusual sample rates). Afterwards the heap, the open file descriptors and the
// threads must be back where they were, and every thread an instance started must be gone once it
// is cleaned up.
#include "checks/LifecycleChecks.h"
#include "hosting/Errors.h"
#include "lv2/Lv2Subject.h"

#include <functional>
#include <memory>

namespace zhost::validate {

namespace {

void RunBlocks(Context& context, Lv2Effect& subject, int32_t frames, int blocks,
               const char* where) {
  AudioBlock block(subject.NumInputs(), subject.NumOutputs(), std::max(frames, 1));
  for (int i = 0; i < blocks; ++i) {
    block.Noise(context.Random(), 0.5f, frames);
    block.Ready(frames, true);
    subject.Run(block.Inputs(), block.Outputs(), frames);
    const BlockFindings findings = block.Check(frames, true);
    if (!findings.Clean())
      context.Abort(findings.Describe() + ", " + where);
  }
}

Life Usual(Lv2Library& target) {
  return [&target](Context& context) {
    context.Step("an instance made, activated, run, deactivated and cleaned up");
    Lv2Effect subject(target, 44100.0f, 512);
    subject.Activate();
    RunBlocks(context, subject, 512, 2, "in a usual lifecycle");
  };
}

void UsualLives(Context& context) {
  Lv2Library target(context.Location());
  CheckLives(context, {{"usual", Usual(target)}}, LifeCount(context), "cleanup");
}

// An instance at an unusual rate; the plug-in may refuse one.
void AtRate(Context& context, Lv2Library& target, float rate) {
  std::unique_ptr<Lv2Effect> subject;
  try {
    subject = std::make_unique<Lv2Effect>(target, rate, 256);
  } catch (const HostError&) {
    return;
  }
  subject->Activate();
  RunBlocks(context, *subject, 256, 2, rate < 10000.0f ? "at 8000 Hz" : "at 384000 Hz");
}

void OddLives(Context& context) {
  Lv2Library target(context.Location());
  Lv2Library* t = &target;
  const std::vector<std::pair<const char*, Life>> lives = {
      {"never activated", [t](Context&) { Lv2Effect subject(*t, 48000.0f, 256); }},
      {"activated and deactivated without a run",
       [t](Context&) {
         Lv2Effect subject(*t, 48000.0f, 256);
         subject.Activate();
       }},
      {"activated again after deactivate",
       [t](Context& c) {
         Lv2Effect subject(*t, 96000.0f, 64);
         for (int round = 0; round < 2; ++round) {
           subject.Activate();
           RunBlocks(c, subject, 64, 2, "after deactivate and activate");
           subject.Deactivate();
         }
       }},
      {"a run of 0 frames first",
       [t](Context& c) {
         Lv2Effect subject(*t, 44100.0f, 128);
         subject.Activate();
         RunBlocks(c, subject, 0, 1, "in a run of 0 frames right after activate");
         RunBlocks(c, subject, 128, 2, "after a run of 0 frames");
       }},
      {"at 8000 Hz and 384000 Hz",
       [t](Context& c) {
         AtRate(c, *t, 8000.0f);
         AtRate(c, *t, 384000.0f);
       }},
  };
  CheckLives(context, lives, LifeCount(context) / 2, "cleanup");
}

void ThreadsAfterCleanup(Context& context) {
  const std::string binary = Lv2Description(context.Location()).BinaryPath();
  const auto life = [](Context& c, int number, const std::function<void()>& seen) {
    Lv2Library target(c.Location());
    c.Step("instance %d: activated and running", number);
    Lv2Effect subject(target, 44100.0f, 512);
    subject.Activate();
    RunBlocks(c, subject, 512, 8, "before cleanup");
    if (c.Gui() && target.HasUi()) {
      c.Step("instance %d: the UI made and idled", number);
      Lv2UiHost ui(subject);
      for (int i = 0; i < 5; ++i)
        ui.Idle();
      seen();
      ui.Close();
    }
    seen();
    c.Step("instance %d: deactivate and cleanup", number);
  };
  CheckThreadsAfterClose(context, Dlopened(binary), life, "cleanup");
}

const bool registered =
    Register(PluginFormat::Lv2,
             {"lifecycle.instances", UsualLives, {.strictness = 1, .timeoutSeconds = 120}}) &&
    Register(PluginFormat::Lv2,
             {"lifecycle.odd-orders", OddLives, {.strictness = 3, .timeoutSeconds = 120}}) &&
    Register(PluginFormat::Lv2,
             {"lifecycle.threads", ThreadsAfterCleanup, {.strictness = 1, .timeoutSeconds = 60}});

} // namespace

} // namespace zhost::validate
