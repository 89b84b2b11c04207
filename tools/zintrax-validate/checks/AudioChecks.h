// What the audio tests of every plug-in format share: the buffer layouts they try, automation every
// 32 frames, and the tail of an impulse.
#pragma once

#include "checks/AudioBlock.h"
#include "core/Validation.h"

#include <cstdint>
#include <functional>

namespace zhost::validate {

// The block length and sample rate the tail is made at: an instance is set up for them.
inline constexpr int32_t kTailBlock = 512;
inline constexpr float kTailRate = 44100.0f;

// The sample rates tried: all of them from strictness 5, else the common ones; and the block
// lengths.
inline constexpr float kAllRates[] = {22050.0f, 44100.0f,  48000.0f, 88200.0f,
                                      96000.0f, 176400.0f, 192000.0f};
inline constexpr float kCommonRates[] = {44100.0f, 48000.0f, 96000.0f};
inline constexpr int32_t kBlockSizes[] = {1, 2, 3, 17, 64, 128, 255, 512, 1024, 2048, 4096};

// The layouts of the block tried: in place (where allowed) and separate, each 0 to 3 floats past
// alignment; run is called for 512, 17, 1 and 511 frames in each, with the layout in words.
void ForEachLayout(AudioBlock& block, bool inPlaceAllowed,
                   const std::function<void(int32_t frames, const char* layout)>& run);

// A value set and 32 frames processed by step, over 2 s of audio at 44.1 kHz (10 s from
// strictness 8) or until step answers false; a plug-in may rebuild its whole state on a change (a
// convolution that reloads its response), so after 20 s the test goes on with a note.
void AutomateEvery32Frames(Context& context, const std::function<bool()>& step);

// An impulse, then silence with flush-to-zero and denormals-are-zero off on every entry: the
// output must die away to nothing (unless the plug-in is a generator, whose output need not follow
// its input) and each block must cost about what the first ones did.
// Feeds the block an impulse and then silence, calling process for each block of kTailBlock
// frames (replacing: every output sample must be written), and judges what came out.
void CheckTail(Context& context, AudioBlock& block, bool replacing,
               const std::function<void()>& process, bool generator = false);

} // namespace zhost::validate
