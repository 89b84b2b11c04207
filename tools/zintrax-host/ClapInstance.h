// A CLAP plug-in behind the instance seam: the file's first plug-in through the hosts' own loader
// (hosting/ClapLibrary.h, hosting/ClapEffect.h). Its programs are the presets it keeps inside its
// file (hosting/ClapPresets.h), selected through its preset-load extension.
//
// Before activation a value reaches the plug-in through a flush at once; after, through a slot
// a parameter that the next block takes as an event at its first frame. The editor is turned by
// the host loop of ClapEffect; the values it sets come back as the plug-in's events, from a
// flush while inactive, from Process while playing.
#pragma once

#include "Instance.h"

#include "hosting/ClapEffect.h"
#include "hosting/ClapLibrary.h"
#include "hosting/ClapPresets.h"

#include <atomic>
#include <memory>
#include <vector>

namespace zhost {

class ClapInstance final : public Instance {
public:
  explicit ClapInstance(const std::string& path);
  ~ClapInstance() override;

  const std::string& Location() const override { return FLocation; }
  std::string Format() const override { return "CLAP"; }
  std::string Name() const override;
  void PrintDetails(std::ostream& out) const override;

  void Open(float sampleRate, int32_t blockSize) override;
  void Start() override;
  void Process(float** inputs, float** outputs, int32_t frames) override;
  int32_t NumInputs() const override { return int32_t(FEffect->InputChannels()); }
  int32_t NumOutputs() const override { return int32_t(FEffect->OutputChannels()); }

  int32_t NumParams() const override { return int32_t(FEffect->Parameters().size()); }
  std::string ParameterName(int32_t index) const override;
  std::string ParameterLabel(int32_t) const override { return {}; }
  std::string ParameterDisplay(int32_t index) const override;
  std::string DisplayAtEnd(int32_t index, bool high) override;
  std::optional<ValueRange> Range(int32_t index) override;
  bool Automatable(int32_t index) const override;
  void SetParameterText(int32_t index, const std::string& value) override;

  int32_t NumPrograms() const override { return int32_t(FPresets.size()); }
  int32_t CurrentProgram() const override { return FProgram; }
  std::string ProgramName(int32_t index) const override;
  void SelectProgram(int32_t index) override;

  bool HasEditor() const override { return FHasEditor; }
  std::pair<int, int> EditorSize() const override;
  bool OpenEditor(void* display, unsigned long window) override;
  void IdleEditor() override;
  void CloseEditor() override;

private:
  const clap_param_info& Info(int32_t index) const {
    return FEffect->Parameters().at(std::size_t(index));
  }

  std::string FLocation;
  ClapLibrary FLibrary;
  std::unique_ptr<ClapEffect> FEffect;
  const clap_plugin_preset_load* FPresetLoad = nullptr;
  std::vector<ClapPreset> FPresets; // the plug-in's own
  int32_t FProgram = 0;
  double FSampleRate = 44100.0;
  int32_t FBlockSize = 512;
  // The values for the next block, one slot a parameter, NaN where none is waiting: set on any
  // thread, taken by Process.
  std::unique_ptr<std::atomic<double>[]> FRequests;
  ClapEventList FEvents; // the audio thread's
  bool FHasEditor = false;
  // Which parameters the plug-in's own events changed since the editor was last idled.
  std::unique_ptr<std::atomic<bool>[]> FEdited;
  clap_output_events FEdits;
  int FFlushesServed = 0;
};

} // namespace zhost
