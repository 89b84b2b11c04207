// A module built the way the exported entry builds one, with a description the test supplies,
// and a host callback that records every request.
#pragma once

#include "EffectRecordHandle.h"
#include "framework/DVSTModule.h"

#include <functional>
#include <vector>

namespace fwtest {

struct Request {
  int32_t opcode;
  int32_t index;
  VstIntPtr value;
  void* ptr;
  float opt;
};

inline std::vector<Request>& Requests() {
  static std::vector<Request> requests;
  return requests;
}

inline std::function<VstIntPtr(const Request&)>& HostAnswer() {
  static std::function<VstIntPtr(const Request&)> answer;
  return answer;
}

inline VstIntPtr RecordingHost(AEffect*, int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                               float opt) {
  const Request request{opcode, index, value, ptr, opt};
  Requests().push_back(request);
  return HostAnswer() ? HostAnswer()(request) : 0;
}

inline std::vector<Request> RequestsOf(int32_t opcode) {
  std::vector<Request> found;
  for (const Request& r : Requests())
    if (r.opcode == opcode)
      found.push_back(r);
  return found;
}

class TTestModule : public TVST2Module {
public:
  std::function<void(TTestModule&)> Describe;
  void ReadStoredProperties() override {
    if (Describe)
      Describe(*this);
  }
};

// Two parameters (0..10 and 100..200, "Level" in "dB" and "Pitch") and two programs.
inline void StandardDescription(TTestModule& m) {
  m.OverwritePrograms = true;
  m.Programs().Add().SetDisplayName("first");
  m.Programs().Add().SetDisplayName("second");
  TCustomVstParameterProperty& level = m.ParameterProperties().Add();
  level.Max = 10.0f;
  level.SetDisplayName("Level");
  level.SetUnits("dB");
  TCustomVstParameterProperty& pitch = m.ParameterProperties().Add();
  pitch.Min = 100.0f;
  pitch.Max = 200.0f;
  pitch.SetDisplayName("Pitch");
}

// Builds a module through CreateVSTModule; closes it through the record when destroyed.
class Built : public EffectRecordHandle {
public:
  explicit Built(std::function<void(TTestModule&)> describe = StandardDescription,
                 audioMasterCallback host = RecordingHost) {
    Requests().clear();
    HostAnswer() = nullptr;
    FEffect = CreateVSTModule(
        [&] {
          auto module = std::make_unique<TTestModule>();
          module->Describe = describe;
          return std::unique_ptr<TVST2Module>(std::move(module));
        },
        host);
  }
  TTestModule& Module() const { return *static_cast<TTestModule*>(FEffect->object); }
};

} // namespace fwtest
