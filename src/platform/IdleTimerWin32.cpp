#include "platform/IdleTimer.h"

#include <windows.h>

#include <map>

// Thread timers carry no data but their id: each thread's running timers by id. Only the thread
// that started a timer touches its entry, and its message loop delivers the timer's ticks.
struct TIdleTimers {
  static std::map<UINT_PTR, TIdleTimer*>& Running() {
    static thread_local std::map<UINT_PTR, TIdleTimer*> timers;
    return timers;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
    const auto found = Running().find(id);
    if (found != Running().end() && found->second->FTick)
      found->second->FTick();
  }
};

TIdleTimer::TIdleTimer(uint32_t intervalMs, std::function<void()> tick) : FTick(std::move(tick)) {
  FId = SetTimer(nullptr, 0, intervalMs, &TIdleTimers::Tick);
  if (FId)
    TIdleTimers::Running()[FId] = this;
}

TIdleTimer::~TIdleTimer() {
  if (!FId)
    return;
  KillTimer(nullptr, FId);
  TIdleTimers::Running().erase(FId);
}
