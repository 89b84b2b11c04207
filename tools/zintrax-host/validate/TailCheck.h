// The tail of an impulse, for any plug-in format: an impulse, then silence with flush-to-zero and
// denormals-are-zero off on every entry. The output must die away to nothing (unless the plug-in
// is a generator, whose output need not follow its input) and each block must cost about what the
// first ones did.
#pragma once

#include "AudioBlock.h"
#include "Validation.h"

#include <functional>

namespace zhost::validate {

// The block length and sample rate the tail is made at: an instance is set up for them.
inline constexpr int32_t kTailBlock = 512;
inline constexpr float kTailRate = 44100.0f;

// Feeds the block an impulse and then silence, calling process for each block of kTailBlock
// frames (replacing: every output sample must be written), and judges what came out.
void CheckTail(Context& context, AudioBlock& block, bool replacing,
               const std::function<void()>& process, bool generator = false);

} // namespace zhost::validate
