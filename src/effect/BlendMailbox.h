// Hands the blended impulse response from the threads that change the pad parameters to the
// audio thread without a lock. A writer builds the new blend aside in a slot of its own and
// publishes it whole; the audio thread takes the latest complete blend when it starts a block.
// Writers on several threads never wait for each other: a writer that finds another one
// publishing leaves its request behind, and the one publishing builds it before it leaves.
#pragma once

#include "effect/ImpulseTable.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

class TBlendMailbox {
public:
  using TCabinets = std::span<const TImpulseResponse, kImpulseBlocks>;

  // Any thread: publishes the blend of the cabinets at pad position (x, y). The cabinets must
  // not change while requests are being made.
  void Request(TCabinets cabinets, float x, float y);

  // Audio thread: copies the latest published blend into blend and answers true, or answers
  // false when nothing was published since the last call.
  bool Take(TImpulseResponse& blend);

  // While the audio thread is not running: forgets what was published and not yet taken.
  void Discard();

private:
  static constexpr uint8_t kIndex = 3, kFresh = 4;

  std::array<TImpulseResponse, 3> FSlots{};
  uint8_t FBack = 0;  // the writers' slot, owned by whoever holds FWriting
  uint8_t FFront = 1; // the audio thread's slot
  std::atomic<uint8_t> FMiddle{2};
  std::atomic<bool> FWriting{false};
  std::atomic<uint64_t> FRequest{0};
  std::atomic<uint32_t> FRequestCount{0};
};
