// realtime: what a plug-in must not do on a host's audio thread. No allocator call and no call
// that can wait while it processes or while parameters are set and read, and the caller's
// floating-point control state (MXCSR, the x87 control word) as it was after every call, the
// editor's too with --gui.
#include "AllocationCounter.h"
#include "AudioBlock.h"
#include "BlockingCounter.h"
#include "CallWalk.h"
#include "FloatingPointState.h"
#include "Validation.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace zhost::validate {

namespace {

// What the calls of one kind did on the calling thread, over all of them.
struct CountedCalls {
  explicit CountedCalls(const char* name) : what(name) {}
  const char* what;
  uint64_t calls = 0;
  uint64_t allocations = 0;
  BlockingTally blocking;
};

struct AudioThreadCalls {
  CountedCalls first{"the first block after effMainsChanged"};
  CountedCalls process{"processReplacing"};
  CountedCalls set{"setParameter"};
  CountedCalls get{"getParameter"};
};

// Blocks of 512 frames and shorter, with a parameter set and read between them, as a host's audio
// thread makes them; what each kind of call did is counted. `counting` names what is counted.
AudioThreadCalls CountAudioThreadCalls(Context& context, const char* counting) {
  auto plugin = context.LoadProcessing(44100.0f, 512);
  const bool replacing = Replaces(*plugin);
  const int32_t params = plugin->NumParams();
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), 512);

  AudioThreadCalls found;
  if (!replacing)
    found.process.what = "process";
  const auto counted = [](CountedCalls& calls, const auto& call) {
    AllocationCounter allocations;
    BlockingCounter blocking;
    call();
    blocking.Stop();
    allocations.Stop();
    ++calls.calls;
    calls.allocations += allocations.Calls();
    calls.blocking.Add(blocking);
  };
  const auto processBlock = [&](CountedCalls& calls, int32_t frames) {
    block.Noise(context.Random(), 0.5f, frames);
    block.ClearOutputs(frames);
    context.Step("%s of %d frames, %s counted", calls.what, frames, counting);
    counted(calls, [&] { block.Process(*plugin, frames, replacing); });
  };

  processBlock(found.first, 512);
  const int rounds = context.Strictness() >= 8 ? 2000 : 400;
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < rounds; ++round) {
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) {
      context.Note("rounds", "stopped after " + std::to_string(round) + " of " +
                                 std::to_string(rounds) + ": 20 s had passed");
      break;
    }
    processBlock(found.process,
                 round % 7 == 0 ? static_cast<int32_t>(context.Between(0, 511)) : 512);
    if (params <= 0)
      continue;
    const auto index = static_cast<int32_t>(context.Between(0, params - 1));
    const auto value = static_cast<float>(context.Uniform(0.0, 1.0));
    context.Step("setParameter(%d, %g), %s counted", index, static_cast<double>(value), counting);
    counted(found.set, [&] { plugin->SetParameter(index, value); });
    context.Step("getParameter(%d), %s counted", index, counting);
    counted(found.get, [&] { plugin->GetParameter(index); });
  }
  return found;
}

void Allocation(Context& context) {
  if (!AllocationCounter::Available())
    context.Skip("this build's sanitizer owns the allocator: nothing can be counted");
  AudioThreadCalls found = CountAudioThreadCalls(context, "allocations");
  for (const CountedCalls* calls : {&found.first, &found.process, &found.set, &found.get})
    if (calls->allocations > 0) {
      char text[160];
      std::snprintf(text, sizeof text, "%llu allocator calls in %llu calls of %s",
                    static_cast<unsigned long long>(calls->allocations),
                    static_cast<unsigned long long>(calls->calls), calls->what);
      context.Fail(text);
    }
}

void Blocking(Context& context) {
  if (!BlockingCounter::Available())
    context.Skip("this build's sanitizer intercepts these calls: nothing can be counted");
  AudioThreadCalls found = CountAudioThreadCalls(context, "blocking calls");
  // The steady state first: a wait in every block says more than one in the first.
  for (const CountedCalls* calls : {&found.process, &found.set, &found.get, &found.first})
    if (calls->blocking.Total() > 0)
      context.Fail(std::string(calls->what) + " made calls that can wait: " +
                   calls->blocking.Describe() + " in " + std::to_string(calls->calls) + " calls");
}

// The caller states a host may run with: the default, and flush-to-zero with denormals-are-zero
// set and the x87 unit at double precision, as several hosts set them.
constexpr FloatingPointState kCallerStates[] = {{0x1F80u, 0x037Fu}, {0x9FC0u, 0x027Fu}};

std::string StateText(const FloatingPointState& state) {
  char text[64];
  std::snprintf(text, sizeof text, "MXCSR %04X, x87 control word %04X", state.mxcsr, state.x87);
  return text;
}

void FloatingPoint(Context& context) {
  if (!kHasFloatingPointState)
    context.Skip("no x86 floating-point state on this machine");
  const FloatingPointState host = FloatingPointState::Read();
  int reported = 0;
  for (const FloatingPointState& caller : kCallerStates)
    WalkEveryKindOfCall(context, [&](const std::string& what, const std::function<void()>& call) {
      context.Step("%s with the caller's %s", what.c_str(), StateText(caller).c_str());
      caller.Write();
      call();
      const FloatingPointState after = FloatingPointState::Read();
      host.Write();
      if (after != caller && reported++ < 10)
        context.Fail(what + " left " + StateText(after) + " where the caller had " +
                     StateText(caller));
    });
}

const bool registered =
    Register({"realtime.allocation", Allocation, {.strictness = 2, .timeoutSeconds = 60}}) &&
    Register({"realtime.blocking", Blocking, {.strictness = 2, .timeoutSeconds = 60}}) &&
    Register({"realtime.fp-state", FloatingPoint, {.strictness = 1}});

} // namespace

} // namespace zhost::validate
