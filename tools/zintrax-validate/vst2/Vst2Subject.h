// The VST 2.x plug-in under test as the validator hosts it: fresh instances through the entry
// point with the host callback, set up as a host sets one up, and blocks of audio through its
// record.
#pragma once

#include "checks/AudioBlock.h"
#include "checks/CallWalk.h"
#include "core/Validation.h"
#include "hosting/Vst2Effect.h"

#include <memory>

namespace zhost::validate {

// A fresh instance, not yet opened (call Open()). Throws HostError when the plug-in does not
// load; the test then fails.
std::unique_ptr<Vst2Effect> Load(const Context& context);
// The same, opened, with the host's sample rate and block size told, as a host sets one up.
std::unique_ptr<Vst2Effect> LoadOpened(const Context& context, float sampleRate = 44100.0f,
                                       int32_t blockSize = 512);
// The same, resumed and started, ready for audio; skips the test when the plug-in has neither
// processReplacing nor process.
std::unique_ptr<Vst2Effect> LoadProcessing(Context& context, float sampleRate, int32_t blockSize);

// Whether the plug-in offers processReplacing (as it says in its flags).
bool Replaces(const Vst2Effect& plugin);
// Calls processReplacing (or process when replacing is false) on the block's buffers.
void ProcessBlock(AudioBlock& block, const Vst2Effect& plugin, int32_t frames, bool replacing);
// The block made ready, processed and checked in one.
BlockFindings RunBlock(AudioBlock& block, const Vst2Effect& plugin, int32_t frames, bool replacing);

void WalkEveryKindOfVst2Call(Context& context, const CheckedCall& checked);

} // namespace zhost::validate
