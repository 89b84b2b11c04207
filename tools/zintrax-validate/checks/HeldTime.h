// How long a call held the calling thread: the wall-clock time, less the time the thread spent
// waiting for a processor meanwhile, which is the machine's being busy with other work rather
// than the call's doing. Sleeping and waiting on others (a lock, an X server's reply) count.
#pragma once

#include <chrono>

namespace zhost::validate {

class HeldTime {
public:
  HeldTime() : FStart(std::chrono::steady_clock::now()), FWaitStart(RunQueueWait()) {}
  double Seconds() const;

  // The calling thread's time spent runnable but not running so far (0 where the kernel does
  // not tell it).
  static std::chrono::nanoseconds RunQueueWait();

private:
  std::chrono::steady_clock::time_point FStart;
  std::chrono::nanoseconds FWaitStart;
};

} // namespace zhost::validate
