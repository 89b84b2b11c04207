#include "hosting/Vst2Host.h"

#include <cstring>
#include <initializer_list>

namespace zhost {

namespace {

constexpr VstIntPtr kHostVersion = 2400;
constexpr int32_t kTempoTimes10000 = 120 * 10000;
constexpr VstIntPtr kLanguageEnglish = 1;
constexpr VstIntPtr kProcessLevelUser = 1;
constexpr VstIntPtr kProcessLevelOffline = 4;
constexpr VstIntPtr kAutomationOff = 1;
constexpr VstIntPtr kReplaces = 1;

// Host identity texts go into the plug-in's 64-byte buffers.
VstIntPtr CopyText(void* ptr, const char* text) {
  if (ptr == nullptr)
    return 0;
  char* out = static_cast<char*>(ptr);
  std::strncpy(out, text, 63);
  out[63] = '\0';
  return 1;
}

VstIntPtr CanDo(const void* ptr) {
  if (ptr == nullptr)
    return 0;
  const char* text = static_cast<const char*>(ptr);
  for (const char* yes : {"startStopProcess"})
    if (std::strcmp(text, yes) == 0)
      return 1;
  for (const char* no : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents",
                         "receiveVstMidiEvent", "sizeWindow", "openFileSelector", "offline",
                         "editFile", "shellCategory"})
    if (std::strcmp(text, no) == 0)
      return -1;
  return 0;
}

} // namespace

HostState& Host() {
  static HostState state;
  return state;
}

VstIntPtr HostCallback(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr, void* ptr,
                       float opt) {
  HostState& host = Host();
  switch (opcode) {
  case audioMasterVersion:
    return kHostVersion;
  case audioMasterAutomate:
    ++host.automations;
    if (host.onAutomate)
      host.onAutomate(effect, index, opt);
    return 0;
  case audioMasterGetSampleRate:
    return static_cast<VstIntPtr>(host.sampleRate);
  case audioMasterGetBlockSize:
    return host.blockSize;
  case audioMasterTempoAt:
    return kTempoTimes10000;
  case audioMasterGetCurrentProcessLevel:
    return host.processing ? kProcessLevelOffline : kProcessLevelUser;
  case audioMasterGetAutomationState:
    return kAutomationOff;
  case audioMasterWillReplaceOrAccumulate:
    return kReplaces;
  case audioMasterGetLanguage:
    return kLanguageEnglish;
  case audioMasterGetVendorString:
    return CopyText(ptr, "Zintrax");
  case audioMasterGetProductString:
    return CopyText(ptr, "zintrax-host");
  case audioMasterGetVendorVersion:
    return 1;
  case audioMasterCanDo:
    return CanDo(ptr);
  // Everything else (time info, MIDI, windows, offline passes, latencies, idle requests) is
  // something this command-line host does not offer: "not supported" is 0.
  default:
    return 0;
  }
}

} // namespace zhost
