// The timers of one editor window, run from the clock of its event pump.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TWindowTimers {
public:
  // At most this many timers run at once per window; a further one is refused.
  static constexpr size_t kMaxTimers = 64;

  // Starts or restarts timer id; false when the window has no timer left.
  bool Start(uint32_t id, uint32_t intervalMs, uint64_t now);
  void Stop(uint32_t id);
  bool Running(uint32_t id) const;
  // The timers due at now, in the order they were started; each is scheduled anew. A timer
  // that is late by more than its interval starts its next interval at now.
  std::vector<uint32_t> TakeDue(uint64_t now);

private:
  struct TTimer {
    uint32_t Id;
    uint32_t Interval;
    uint64_t Due;
  };
  std::vector<TTimer> FTimers;
};
