// A block of audio whose parameter changes come with sample offsets, as hosts of most formats
// deliver automation: the block is processed in pieces between the offsets and each change is
// applied at its own, which gives exactly the samples of the same changes made between blocks of
// those lengths. A format reads its host's changes through a source of its own.
#pragma once

#include <cstdint>
#include <limits>

class TModuleAdapter;

class TTimedChanges {
public:
  static constexpr int32_t kNone = std::numeric_limits<int32_t>::max();

  // The offset of the earliest change not yet applied, kNone when none is left. A source keeps
  // its offsets within the block (0 to its frame count): a change the host placed past the end
  // takes effect after the block's last frame.
  virtual int32_t NextOffset() = 0;
  // Applies, in the host's order, every change not yet applied whose offset is at or before at;
  // answers whether there was one.
  virtual bool ApplyUntil(int32_t at) = 0;

protected:
  ~TTimedChanges() = default;
};

// Processes frames of inputs into outputs with the changes at their offsets: no allocation, lock
// or system call. A change whose offset lies before frames already processed (a host's points out
// of order) takes effect at once.
void ProcessWithChanges(TModuleAdapter& module, const float* const* inputs, float* const* outputs,
                        int32_t frames, TTimedChanges& changes);
