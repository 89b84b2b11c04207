// A periodic call on the thread that starts it, delivered by that thread's message loop: for an
// editor on Windows whose host sends it no idle calls of its own. Windows only.
#pragma once

#include <cstdint>
#include <functional>

class TIdleTimer {
public:
  // Starts calling tick every intervalMs; Running() is false when the system had no timer left.
  TIdleTimer(uint32_t intervalMs, std::function<void()> tick);
  ~TIdleTimer(); // on the thread that started it
  TIdleTimer(const TIdleTimer&) = delete;
  TIdleTimer& operator=(const TIdleTimer&) = delete;

  bool Running() const { return FId != 0; }

private:
  uintptr_t FId = 0;
  std::function<void()> FTick;
  friend struct TIdleTimers;
};
