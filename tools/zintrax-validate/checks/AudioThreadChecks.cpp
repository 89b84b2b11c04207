#include "checks/AudioThreadChecks.h"

#include "checks/FloatingPointState.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace zhost::validate {

namespace {

// The caller states a host may run with: the default, and flush-to-zero with denormals-are-zero
// set and the x87 unit at double precision, as several hosts set them.
constexpr FloatingPointState kCallerStates[] = {{0x1F80u, 0x037Fu}, {0x9FC0u, 0x027Fu}};

std::string StateText(const FloatingPointState& state) {
  char text[64];
  std::snprintf(text, sizeof text, "MXCSR %04X, x87 control word %04X", state.mxcsr, state.x87);
  return text;
}

} // namespace

void ForRounds(Context& context, const std::function<void(int round)>& round) {
  const int rounds = context.Strictness() >= 8 ? 2000 : 400;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) {
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) {
      context.Note("rounds", "stopped after " + std::to_string(i) + " of " +
                                 std::to_string(rounds) + ": 20 s had passed");
      return;
    }
    round(i);
  }
}

void CheckAllocations(Context& context, const AudioThreadCount& count) {
  if (!AllocationCounter::Available())
    context.Skip("this build's sanitizer owns the allocator: nothing can be counted");
  for (const CountedCalls& calls : count(context, "allocations"))
    if (calls.allocations > 0) {
      char text[160];
      std::snprintf(text, sizeof text, "%llu allocator calls in %llu calls of %s",
                    static_cast<unsigned long long>(calls.allocations),
                    static_cast<unsigned long long>(calls.calls), calls.what);
      context.Fail(text);
    }
}

void CheckBlocking(Context& context, const AudioThreadCount& count) {
  if (!BlockingCounter::Available())
    context.Skip("this build's sanitizer intercepts these calls: nothing can be counted");
  const std::vector<CountedCalls> found = count(context, "blocking calls");
  // The steady state first: a wait in every block says more than one in the first.
  for (size_t i = 1; i <= found.size(); ++i) {
    const CountedCalls& calls = found[i % found.size()];
    if (calls.blocking.Total() > 0)
      context.Fail(std::string(calls.what) + " made calls that can wait: " +
                   calls.blocking.Describe() + " in " + std::to_string(calls.calls) + " calls");
  }
}

void CheckFloatingPointState(Context& context, const CallWalk& walk) {
  if (!kHasFloatingPointState)
    context.Skip("no x86 floating-point state on this machine");
  const FloatingPointState host = FloatingPointState::Read();
  int reported = 0;
  for (const FloatingPointState& caller : kCallerStates)
    walk(context, [&](const std::string& what, const std::function<void()>& call) {
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

} // namespace zhost::validate
