// realtime, for LV2 plug-ins: no allocator call and no call that can wait in run or connect_port
// (the functions of LV2's audio class), controls changed between runs; the caller's
// floating-point control state as it was after every call, the UI's too with --gui; and the
// longest single run of 64 frames at 48 kHz.
#include "checks/AudioThreadChecks.h"
#include "checks/SmallStack.h"
#include "checks/WorstBlock.h"
#include "lv2/Lv2Subject.h"

#include <string>

namespace zhost::validate {

namespace {

// Runs of 512 frames and shorter with a control changed between them, and the audio ports
// connected anew now and then, as a host's audio thread makes them; what each kind of call did is
// counted: the first run after activate, run, and connect_port.
std::vector<CountedCalls> CountAudioThreadCalls(Context& context, const char* counting) {
  Lv2Library target(context.Location());
  Lv2Effect subject(target, 44100.0f, 512);
  subject.Activate();
  AudioBlock block(subject.NumInputs(), subject.NumOutputs(), 512);
  std::vector<CountedCalls> found{CountedCalls("the first run after activate"), CountedCalls("run"),
                                  CountedCalls("connect_port of the audio ports")};
  CountedCalls &first = found[0], &run = found[1], &connect = found[2];
  const auto runBlock = [&](CountedCalls& calls, int32_t frames) {
    block.Noise(context.Random(), 0.5f, frames);
    block.PrepareOutputs(frames);
    context.Step("%s of %d frames, %s counted", calls.what, frames, counting);
    Counted(calls, [&] { subject.RunConnected(frames); });
  };

  context.Step("connect_port, %s counted", counting);
  Counted(connect, [&] { subject.Connect(block.Inputs(), block.Outputs()); });
  runBlock(first, 512);
  ForRounds(context, [&](int round) {
    if (subject.NumControls() > 0)
      SetRandomControl(subject, context.Random());
    if (round % 5 == 0) {
      context.Step("connect_port, %s counted", counting);
      Counted(connect, [&] { subject.Connect(block.Inputs(), block.Outputs()); });
    }
    runBlock(run, round % 7 == 0 ? static_cast<int32_t>(context.Between(0, 511)) : 512);
  });
  return found;
}

// One run on a fresh instance: the same input, the same control changes in every run.
WorstBlockRun OneRun(Context& context, int blocks) {
  Lv2Library target(context.Location());
  Lv2Effect subject(target, kWorstBlockRate, kWorstBlockFrames);
  subject.Activate();
  AudioBlock block(subject.NumInputs(), subject.NumOutputs(), kWorstBlockFrames);
  const auto prepare = [&](int i, std::mt19937& random) {
    return subject.NumControls() > 0 && i % kChangeEvery == 0
               ? static_cast<int32_t>(SetRandomControl(subject, random))
               : -1;
  };
  const auto process = [&] { subject.Run(block.Inputs(), block.Outputs(), kWorstBlockFrames); };
  return TimeBlocks(context, block, true, blocks, {prepare, process});
}

std::string ControlChange(int32_t control) {
  return "a change of control " + std::to_string(control);
}

void WorstBlock(Context& context) {
  CheckWorstBlock(context, OneRun, {ControlChange, "activate"});
}

void Stack(Context& context) {
  Lv2Library target(context.Location());
  Lv2Effect subject(target, 44100.0f, 512);
  subject.Activate();
  AudioBlock block(subject.NumInputs(), subject.NumOutputs(), 512);
  context.Step("run on a thread with a stack of 512 KiB");
  CheckSmallStack(context, [&] {
    std::mt19937 random(context.Seed());
    for (int i = 0; i < 64; ++i) {
      block.Noise(random, 0.5f, 512);
      block.Ready(512, true);
      if (subject.NumControls() > 0)
        SetRandomControl(subject, random);
      subject.Run(block.Inputs(), block.Outputs(), 512);
    }
  });
}

const bool registered =
    Register(PluginFormat::Lv2, {"realtime.stack", Stack, {.strictness = 1}}) &&
    Register(PluginFormat::Lv2, {"realtime.allocation",
                                 [](Context& c) { CheckAllocations(c, CountAudioThreadCalls); },
                                 {.strictness = 2, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Lv2, {"realtime.blocking",
                                 [](Context& c) { CheckBlocking(c, CountAudioThreadCalls); },
                                 {.strictness = 2, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Lv2,
             {"realtime.fp-state",
              [](Context& c) { CheckFloatingPointState(c, WalkEveryKindOfLv2Call); },
              {.strictness = 1}}) &&
    Register(PluginFormat::Lv2,
             {"realtime.worst-block", WorstBlock, {.strictness = 2, .timeoutSeconds = 90}});

} // namespace

} // namespace zhost::validate
