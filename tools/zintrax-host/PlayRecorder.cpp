#include "PlayRecorder.h"

#include <algorithm>
#include <cmath>

namespace zhost {

PlayRecorder::PlayRecorder(const std::string& path, float rate, double seconds)
    : FWriter(path, kChannels, static_cast<int>(std::lround(rate))),
      FFrames(static_cast<size_t>(std::max(1.0, seconds * double(rate)))) {
  FRing.assign(FFrames * kChannels, 0.0f);
}

void PlayRecorder::Push(const float* const channels[kChannels], uint32_t frames) {
  const uint64_t head = FHead.load(std::memory_order_relaxed);
  const uint64_t tail = FTail.load(std::memory_order_acquire);
  if (head - tail + frames > FFrames) {
    FLost.fetch_add(frames, std::memory_order_relaxed);
    return;
  }
  for (uint32_t i = 0; i < frames; ++i) {
    float* frame = &FRing[((head + i) % FFrames) * kChannels];
    for (int c = 0; c < kChannels; ++c)
      frame[c] = channels[c][i];
  }
  FHead.store(head + frames, std::memory_order_release);
}

void PlayRecorder::Drain() {
  const uint64_t head = FHead.load(std::memory_order_acquire);
  uint64_t tail = FTail.load(std::memory_order_relaxed);
  while (tail < head) {
    const size_t at = size_t(tail % FFrames);
    const size_t run = std::min<size_t>(size_t(head - tail), FFrames - at);
    FWriter.Write(&FRing[at * kChannels], int64_t(run));
    tail += run;
    FWritten += run;
    FTail.store(tail, std::memory_order_release);
  }
}

void PlayRecorder::Finish() {
  Drain();
  FWriter.Commit();
}

} // namespace zhost
