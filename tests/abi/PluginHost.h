// A small VST 2.x host for tests: it loads a plug-in library with dlopen, builds instances
// through the exported entry with a host callback that records every request, and talks to
// each instance only through its effect record, as a real host does.
#pragma once

#include "EffectRecordHandle.h"
#include "framework/DAEffectX.h"

#include <dlfcn.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace testhost {

// One request of the plug-in to the host.
struct HostCall {
  AEffect* effect;
  int32_t opcode;
  int32_t index;
  VstIntPtr value;
  void* ptr;
  float opt;
};

// Every request since the last Clear, and how the host answers them.
struct HostLog {
  std::vector<HostCall> calls;
  // Answers each request; unset, the host answers 2400 to audioMasterVersion and 0 otherwise.
  std::function<VstIntPtr(const HostCall&)> answer;

  void Clear() {
    calls.clear();
    answer = nullptr;
  }
  std::vector<HostCall> Of(int32_t opcode) const {
    std::vector<HostCall> found;
    for (const HostCall& call : calls)
      if (call.opcode == opcode)
        found.push_back(call);
    return found;
  }
};

inline HostLog& Log() {
  static HostLog log;
  return log;
}

inline VstIntPtr HostCallback(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                              void* ptr, float opt) {
  const HostCall call{effect, opcode, index, value, ptr, opt};
  Log().calls.push_back(call);
  if (Log().answer)
    return Log().answer(call);
  return opcode == audioMasterVersion ? 2400 : 0;
}

using EntryProc = AEffect* (*)(audioMasterCallback);

// The loaded library; unloaded when destroyed.
class Library {
public:
  explicit Library(const char* path = ZINTRAX_PLUGIN_PATH)
      : FHandle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
    if (!FHandle)
      throw std::runtime_error(std::string("dlopen failed: ") + dlerror());
  }
  ~Library() { dlclose(FHandle); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  EntryProc Entry(const char* name = "main") const {
    return reinterpret_cast<EntryProc>(dlsym(FHandle, name));
  }
  AEffect* Instantiate(audioMasterCallback host = HostCallback) const {
    EntryProc entry = Entry();
    return entry ? entry(host) : nullptr;
  }

private:
  void* FHandle;
};

// One instance, reached only through its record; closed with effClose when destroyed unless
// the test closed it itself.
class Instance : public EffectRecordHandle {
public:
  explicit Instance(const Library& library, audioMasterCallback host = HostCallback)
      : EffectRecordHandle(library.Instantiate(host)) {
    if (!FEffect)
      throw std::runtime_error("main answered null");
  }
  // A text opcode's answer in a generous buffer.
  std::string Text(int32_t opcode, int32_t index = 0) const {
    char buffer[512] = {};
    Dispatch(opcode, index, 0, buffer);
    return buffer;
  }
  void SetParameter(int32_t index, float value) const {
    FEffect->setParameter(FEffect, index, value);
  }
  float GetParameter(int32_t index) const { return FEffect->getParameter(FEffect, index); }

  // The usual host start: open, rate, block size, mains on.
  void Start(float sampleRate = 44100.0f, int32_t blockSize = 512) const {
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    Dispatch(effSetBlockSize, 0, blockSize);
    Dispatch(effMainsChanged, 0, 1);
  }
};

// Channel buffers for the audio callbacks: channels x frames, filled with a value.
struct AudioBuffers {
  AudioBuffers(int channels, int frames, float fill = 0.0f)
      : data(static_cast<std::size_t>(channels), std::vector<float>(frames, fill)) {
    for (auto& channel : data) {
      channel.reserve(1); // a real address even for zero frames
      pointers.push_back(channel.data());
    }
  }
  float** Pointers() { return pointers.data(); }

  std::vector<std::vector<float>> data;
  std::vector<float*> pointers;
};

} // namespace testhost
