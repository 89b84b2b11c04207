// A VST 2.x plug-in behind the instance seam: the library's effect record, through Plugin.
#pragma once

#include "Instance.h"
#include "Plugin.h"

namespace zhost {

class Vst2Instance final : public Instance {
public:
  explicit Vst2Instance(const std::string& path);
  ~Vst2Instance() override;

  const std::string& Location() const override { return FPlugin.Path(); }
  std::string Format() const override { return "VST 2.x"; }
  std::string Name() const override { return FPlugin.Text(effGetEffectName); }
  void PrintDetails(std::ostream& out) const override;

  void Open(float sampleRate, int32_t blockSize) override;
  void Start() override;
  void Process(float** inputs, float** outputs, int32_t frames) override;
  int32_t NumInputs() const override { return FPlugin.NumInputs(); }
  int32_t NumOutputs() const override { return FPlugin.NumOutputs(); }

  int32_t NumParams() const override { return FPlugin.NumParams(); }
  std::string ParameterName(int32_t index) const override { return FPlugin.ParameterName(index); }
  std::string ParameterLabel(int32_t index) const override { return FPlugin.ParameterLabel(index); }
  std::string ParameterDisplay(int32_t index) const override {
    return FPlugin.ParameterDisplay(index);
  }
  std::string DisplayAtEnd(int32_t index, bool high) override;
  bool Automatable(int32_t index) const override;
  void SetParameterText(int32_t index, const std::string& value) override;

  int32_t NumPrograms() const override { return FPlugin.NumPrograms(); }
  int32_t CurrentProgram() const override;
  std::string ProgramName(int32_t index) const override { return FPlugin.ProgramName(index); }
  void SelectProgram(int32_t index) override;

  bool HasEditor() const override;
  std::pair<int, int> EditorSize() const override;
  bool OpenEditor(void* display, unsigned long window) override;
  void IdleEditor() override;
  void CloseEditor() override;

private:
  Plugin FPlugin;
  bool FEditorOpen = false;
};

} // namespace zhost
