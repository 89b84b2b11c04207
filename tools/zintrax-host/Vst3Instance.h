// A VST3 plug-in behind the instance seam: the bundle's first effect class through the hosts' own
// loader (hosting/Vst3Library.h, hosting/Vst3Effect.h).
//
// Parameter values reach the controller at once and the processor with the next block, as the
// first point of its parameter changes; the program-change parameter stands for the programs.
#pragma once

#include "Instance.h"

#include "hosting/Vst3Effect.h"
#include "hosting/Vst3HostObjects.h"
#include "hosting/Vst3Library.h"

#include <atomic>
#include <memory>
#include <vector>

namespace zhost {

class Vst3Instance final : public Instance {
public:
  explicit Vst3Instance(const std::string& bundle);
  ~Vst3Instance() override;

  const std::string& Location() const override { return FLocation; }
  std::string Format() const override { return "VST3"; }
  std::string Name() const override { return FClass.name; }
  void PrintDetails(std::ostream& out) const override;

  void Open(float sampleRate, int32_t blockSize) override;
  void Start() override;
  void Process(float** inputs, float** outputs, int32_t frames) override;
  int32_t NumInputs() const override { return FEffect->inputChannels; }
  int32_t NumOutputs() const override { return FEffect->outputChannels; }

  int32_t NumParams() const override { return int32_t(FParameters.size()); }
  std::string ParameterName(int32_t index) const override;
  std::string ParameterLabel(int32_t index) const override;
  std::string ParameterDisplay(int32_t index) const override;
  std::string DisplayAtEnd(int32_t index, bool high) override;
  std::optional<ValueRange> Range(int32_t index) override;
  bool Automatable(int32_t index) const override;
  void SetParameterText(int32_t index, const std::string& value) override;

  int32_t NumPrograms() const override { return int32_t(FProgramNames.size()); }
  int32_t CurrentProgram() const override;
  std::string ProgramName(int32_t index) const override;
  void SelectProgram(int32_t index) override;

  bool HasEditor() const override { return FHasEditor; }
  std::pair<int, int> EditorSize() const override;
  bool OpenEditor(void* display, unsigned long window) override;
  void IdleEditor() override;
  void CloseEditor() override;

private:
  std::string Display(vst3::ParamID id, vst3::ParamValue value) const;
  // The value set on the controller now and handed to the processor with the next block.
  void SetValue(vst3::ParamID id, vst3::ParamValue value);
  // The slot of a parameter's next value for the processor, or null.
  std::atomic<double>* Request(vst3::ParamID id);
  void ReadPrograms();

  std::string FLocation;
  Vst3Library FLibrary;
  Vst3Class FClass;
  std::unique_ptr<Vst3Effect> FEffect;
  vst3::IEditController* FController = nullptr; // the plug-in's
  vst3::TRef<Vst3ParameterChanges> FPending;    // the audio thread's
  // The values for the processor's next block, one slot a parameter (the program's first), NaN
  // where none is waiting: set on any thread, taken by Process.
  std::vector<vst3::ParamID> FRequestIds;
  std::unique_ptr<std::atomic<double>[]> FRequests;
  vst3::TRef<Vst3Frame> FFrame;
  vst3::TRef<vst3::IPlugView> FView;
  bool FHasEditor = false;
  double FSampleRate = 44100.0;
  int32_t FBlockSize = 512;
  std::vector<vst3::ParameterInfo> FParameters; // without the program-change parameter
  vst3::ParamID FProgramParameter = 0;
  int32_t FProgramSteps = -1; // the program parameter's step count; -1 without one
  std::vector<std::string> FProgramNames;
};

} // namespace zhost
