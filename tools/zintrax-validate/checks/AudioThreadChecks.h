// What a plug-in must not do on a host's audio thread, judged the same for every format: the
// calls of each kind counted (allocator calls, calls that can wait) and the caller's
// floating-point control state after every kind of call. Each format's tests make the calls.
#pragma once

#include "checks/AllocationCounter.h"
#include "checks/BlockingCounter.h"
#include "checks/CallWalk.h"
#include "core/Validation.h"

#include <functional>
#include <vector>

namespace zhost::validate {

// What the calls of one kind did on the calling thread, over all of them.
struct CountedCalls {
  explicit CountedCalls(const char* name) : what(name) {}
  const char* what;
  uint64_t calls = 0;
  uint64_t allocations = 0;
  BlockingTally blocking;
};

// Makes one call, counting what it does into calls.
template <typename Call> void Counted(CountedCalls& calls, const Call& call) {
  AllocationCounter allocations;
  BlockingCounter blocking;
  call();
  blocking.Stop();
  allocations.Stop();
  ++calls.calls;
  calls.allocations += allocations.Calls();
  calls.blocking.Add(blocking);
}

// Calls round for 400 rounds (2000 from strictness 8), or fewer with a note once 20 s have passed.
void ForRounds(Context& context, const std::function<void(int round)>& round);

// The kinds of call a format's audio thread makes, counted over a run of blocks; the first kind
// is the first block after the plug-in was readied, the others its steady state. `counting`
// names what is counted, for the test's steps.
using AudioThreadCount = std::function<std::vector<CountedCalls>(Context&, const char* counting)>;

// Fails the test for every kind of call that called the allocator (skips it where nothing can be
// counted); then for every kind that made calls that can wait, the steady state first.
void CheckAllocations(Context& context, const AudioThreadCount& count);
void CheckBlocking(Context& context, const AudioThreadCount& count);

// Walks every kind of call with the caller's floating-point state set to what hosts run with,
// and fails for each call that left it changed.
void CheckFloatingPointState(Context& context, const CallWalk& walk);

} // namespace zhost::validate
