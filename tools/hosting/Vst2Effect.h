// One instance of a VST 2.x plug-in, loaded as a DAW loads it: the library is opened with dlopen,
// its entry point (VSTPluginMain, else main) is called with the host callback, and from then on
// the instance is reached only through the effect record it returned.
#pragma once

#include "framework/DAEffect.h"

#include <string>

namespace zhost {

// How an instance is created: through which entry point (empty: VSTPluginMain, else main), handed
// which host callback (null: this host's own).
struct EntryChoice {
  std::string name;
  audioMasterCallback callback = nullptr;
};

class Vst2Effect {
public:
  // Opens the library and creates one instance; throws HostError with the reason otherwise.
  explicit Vst2Effect(const std::string& path, const EntryChoice& entry = {});
  // Closes the instance (effClose) if it is still open, then the library.
  ~Vst2Effect();
  Vst2Effect(const Vst2Effect&) = delete;
  Vst2Effect& operator=(const Vst2Effect&) = delete;

  const std::string& Path() const { return FPath; }
  const AEffect& Effect() const { return *FEffect; }

  VstIntPtr Dispatch(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) const;
  // The text a text opcode writes, read from a zeroed buffer far larger than any bound.
  std::string Text(int32_t opcode, int32_t index = 0, VstIntPtr value = 0) const;

  int32_t NumParams() const { return FEffect->numParams; }
  int32_t NumPrograms() const { return FEffect->numPrograms; }
  int32_t NumInputs() const { return FEffect->numInputs; }
  int32_t NumOutputs() const { return FEffect->numOutputs; }

  std::string ParameterName(int32_t index) const { return Text(effGetParamName, index); }
  std::string ParameterLabel(int32_t index) const { return Text(effGetParamLabel, index); }
  std::string ParameterDisplay(int32_t index) const { return Text(effGetParamDisplay, index); }
  float GetParameter(int32_t index) const { return FEffect->getParameter(FEffect, index); }
  void SetParameter(int32_t index, float value) const {
    FEffect->setParameter(FEffect, index, value);
  }
  // The name of program index; plug-ins that do not answer effGetProgramNameIndexed are asked
  // for the current program's name after switching to it (and back).
  std::string ProgramName(int32_t index) const;

  // Lifecycle as a host drives it. Each step happens once; Close undoes whatever is still
  // active (effStopProcess, effMainsChanged 0) before effClose destroys the instance on the
  // plug-in's side, so an aborted run still leaves the plug-in the way a DAW would.
  void Open();
  void Resume();       // effMainsChanged 1
  void StartProcess(); // effStartProcess
  void StopProcess();
  void Suspend(); // effMainsChanged 0
  void Close();

  bool CanProcess() const;
  // One block into outputs cleared first: processReplacing where the plug-in offers it, else
  // the accumulating process.
  void Process(float** inputs, float** outputs, int32_t frames) const;

private:
  std::string FPath;
  void* FLibrary = nullptr;
  AEffect* FEffect = nullptr;
  bool FOpen = false;
  bool FResumed = false;
  bool FStarted = false;
  bool FClosed = false;
};

} // namespace zhost
