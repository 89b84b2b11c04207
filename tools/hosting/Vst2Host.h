// The host side of the VST 2.x interface: the callback handed to a plug-in's entry point, and the
// few facts about this host that it answers with.
#pragma once

#include "framework/DAEffect.h"

#include <functional>

namespace zhost {

// The hosts here run one instance at a time, so the facts live in one place for the process.
struct HostState {
  float sampleRate = 44100.0f;
  int32_t blockSize = 1024;
  bool processing = false; // inside the processing loop, which runs offline
  long automations = 0;    // audioMasterAutomate notices received
  // Called with every automation notice (instance, index, normalised value) as it arrives.
  std::function<void(AEffect*, int32_t, float)> onAutomate;
};

HostState& Host();

VstIntPtr HostCallback(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                       float opt);

} // namespace zhost
