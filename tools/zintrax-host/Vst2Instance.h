// A VST 2.x plug-in behind the instance seam: the library's effect record, through Vst2Effect.
#pragma once

#include "Instance.h"

#include "hosting/Vst2Effect.h"

namespace zhost {

class Vst2Instance final : public Instance {
public:
  explicit Vst2Instance(const std::string& path);
  ~Vst2Instance() override;

  const std::string& Location() const override { return FEffect.Path(); }
  std::string Format() const override { return "VST 2.x"; }
  std::string Name() const override { return FEffect.Text(effGetEffectName); }
  void PrintDetails(std::ostream& out) const override;

  void Open(float sampleRate, int32_t blockSize) override;
  void Start() override;
  void Process(float** inputs, float** outputs, int32_t frames) override;
  int32_t NumInputs() const override { return FEffect.NumInputs(); }
  int32_t NumOutputs() const override { return FEffect.NumOutputs(); }

  int32_t NumParams() const override { return FEffect.NumParams(); }
  std::string ParameterName(int32_t index) const override { return FEffect.ParameterName(index); }
  std::string ParameterLabel(int32_t index) const override { return FEffect.ParameterLabel(index); }
  std::string ParameterDisplay(int32_t index) const override {
    return FEffect.ParameterDisplay(index);
  }
  std::string DisplayAtEnd(int32_t index, bool high) override;
  std::optional<ValueRange> Range(int32_t index) override;
  bool Automatable(int32_t index) const override;
  void SetParameterText(int32_t index, const std::string& value) override;

  int32_t NumPrograms() const override { return FEffect.NumPrograms(); }
  int32_t CurrentProgram() const override;
  std::string ProgramName(int32_t index) const override { return FEffect.ProgramName(index); }
  void SelectProgram(int32_t index) override;

  bool HasEditor() const override;
  std::pair<int, int> EditorSize() const override;
  bool OpenEditor(void* display, unsigned long window) override;
  void IdleEditor() override;
  void CloseEditor() override;

private:
  Vst2Effect FEffect;
  bool FEditorOpen = false;
};

} // namespace zhost
