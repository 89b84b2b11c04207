#include "effect/BlendMailbox.h"

#include "effect/ParameterMapping.h"

#include <bit>

void TBlendMailbox::Request(TCabinets cabinets, float x, float y) {
  FRequest.store(uint64_t(std::bit_cast<uint32_t>(x)) | uint64_t(std::bit_cast<uint32_t>(y)) << 32);
  FRequestCount.fetch_add(1);
  // Sequentially consistent throughout: a writer that gives up because FWriting is set must
  // be seen by the holder's final look at FRequestCount.
  while (!FWriting.exchange(true)) {
    const uint32_t seen = FRequestCount.load();
    const uint64_t request = FRequest.load();
    BlendImpulses(cabinets, std::bit_cast<float>(uint32_t(request)),
                  std::bit_cast<float>(uint32_t(request >> 32)), FSlots[FBack]);
    FBack = FMiddle.exchange(FBack | kFresh) & kIndex;
    FWriting.store(false);
    if (FRequestCount.load() == seen)
      break;
  }
}

bool TBlendMailbox::Take(TImpulseResponse& blend) {
  if (!(FMiddle.load(std::memory_order_relaxed) & kFresh))
    return false;
  FFront = FMiddle.exchange(FFront, std::memory_order_acq_rel) & kIndex;
  blend = FSlots[FFront];
  return true;
}

void TBlendMailbox::Discard() {
  FMiddle.fetch_and(kIndex);
}
