#include "checks/HeldTime.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace zhost::validate {

std::chrono::nanoseconds HeldTime::RunQueueWait() {
  // "<time on a processor> <time waiting for one> <time slices>", in nanoseconds.
  const int file = open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
  if (file < 0)
    return std::chrono::nanoseconds(0);
  char text[96] = {};
  const ssize_t length = read(file, text, sizeof text - 1);
  close(file);
  unsigned long long running = 0, waiting = 0;
  if (length <= 0 || std::sscanf(text, "%llu %llu", &running, &waiting) != 2)
    return std::chrono::nanoseconds(0);
  return std::chrono::nanoseconds(waiting);
}

double HeldTime::Seconds() const {
  const auto wall = std::chrono::steady_clock::now() - FStart;
  const auto waited = RunQueueWait() - FWaitStart;
  return std::chrono::duration<double>(
             std::max<std::chrono::nanoseconds>(std::chrono::nanoseconds(0), wall - waited))
      .count();
}

} // namespace zhost::validate
