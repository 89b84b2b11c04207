#include "platform/WindowTimers.h"

#include <algorithm>

bool TWindowTimers::Start(uint32_t id, uint32_t intervalMs, uint64_t now) {
  const uint32_t interval = std::max<uint32_t>(intervalMs, 1);
  for (TTimer& t : FTimers)
    if (t.Id == id) {
      t.Interval = interval;
      t.Due = now + interval;
      return true;
    }
  if (FTimers.size() >= kMaxTimers)
    return false;
  FTimers.push_back({id, interval, now + interval});
  return true;
}

void TWindowTimers::Stop(uint32_t id) {
  std::erase_if(FTimers, [id](const TTimer& t) { return t.Id == id; });
}

bool TWindowTimers::Running(uint32_t id) const {
  return std::any_of(FTimers.begin(), FTimers.end(), [id](const TTimer& t) { return t.Id == id; });
}

std::vector<uint32_t> TWindowTimers::TakeDue(uint64_t now) {
  std::vector<uint32_t> due;
  for (TTimer& t : FTimers)
    if (now >= t.Due) {
      due.push_back(t.Id);
      t.Due = now >= t.Due + t.Interval ? now + t.Interval : t.Due + t.Interval;
    }
  return due;
}
