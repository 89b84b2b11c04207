#include "Lv2Instance.h"

#include "InfoLines.h"

#include "hosting/Errors.h"
#include "hosting/Lv2Editor.h"
#include "hosting/Lv2Effect.h"
#include "hosting/NumberText.h"

#include <vector>

namespace zhost {

namespace {

class Lv2Instance final : public Instance {
public:
  explicit Lv2Instance(const std::string& location) : FLibrary(location) {}
  ~Lv2Instance() override { CloseEditor(); }

  const std::string& Location() const override { return Description().Location(); }
  std::string Format() const override { return "LV2"; }
  std::string Name() const override { return Description().Name(); }
  void PrintDetails(std::ostream& out) const override;

  void Open(float sampleRate, int32_t blockSize) override;
  void Start() override { FEffect->Activate(); }
  void Process(float** inputs, float** outputs, int32_t frames) override {
    FEffect->Run(inputs, outputs, frames);
  }
  int32_t NumInputs() const override { return int32_t(FLibrary.AudioInputs().size()); }
  int32_t NumOutputs() const override { return int32_t(FLibrary.AudioOutputs().size()); }

  int32_t NumParams() const override { return int32_t(FLibrary.Controls().size()); }
  std::string ParameterName(int32_t index) const override { return Port(index).name; }
  std::string ParameterLabel(int32_t index) const override { return Port(index).unit; }
  std::string ParameterDisplay(int32_t index) const override {
    return FormatNumber(FEffect->Control(size_t(index)));
  }
  std::string DisplayAtEnd(int32_t index, bool high) override;
  std::optional<ValueRange> Range(int32_t index) override;
  bool Automatable(int32_t) const override { return true; }
  void SetParameterText(int32_t index, const std::string& value) override;

  int32_t NumPrograms() const override { return int32_t(Description().Presets().size()); }
  int32_t CurrentProgram() const override { return FCurrentPreset; }
  std::string ProgramName(int32_t index) const override {
    return Description().Presets()[size_t(index)].label;
  }
  void SelectProgram(int32_t index) override;

  bool HasEditor() const override { return FLibrary.HasUi(); }
  std::pair<int, int> EditorSize() const override { return FEditorSize; }
  bool OpenEditor(void* display, unsigned long window) override;
  void IdleEditor() override;
  void CloseEditor() override { FEditor.reset(); }

private:
  const Lv2Description& Description() const { return FLibrary.Description(); }
  const Lv2Port& Port(int32_t index) const { return *FLibrary.Controls()[size_t(index)]; }
  void SetControl(size_t control, float value);

  Lv2Library FLibrary;
  std::unique_ptr<Lv2Effect> FEffect; // from Open
  int32_t FCurrentPreset = 0;
  std::unique_ptr<Lv2Editor> FEditor;
  std::pair<int, int> FEditorSize{0, 0};
};

void Lv2Instance::PrintDetails(std::ostream& out) const {
  const Lv2Description& description = Description();
  InfoLine(out, "URI", description.Uri());
  InfoLine(out, "Effect name", Name());
  InfoLine(out, "Vendor", description.Author());
  InfoLine(out, "Binary", description.BinaryPath());
  InfoLine(out, "Class", description.ClassLabel());
  InfoLine(out, "Inputs", std::to_string(NumInputs()) + " audio");
  InfoLine(out, "Outputs", std::to_string(NumOutputs()) + " audio");
  InfoLine(out, "Requires", InfoList(description.RequiredFeatures()));
  InfoLine(out, "Editor", description.X11Ui() ? description.X11Ui()->uri : "(none)");
}

void Lv2Instance::Open(float sampleRate, int32_t blockSize) {
  if (FEffect)
    return;
  const std::string missing = UnhonouredFeatures(Description().RequiredFeatures());
  if (!missing.empty())
    throw HostError(Location() + ": the plug-in requires " + missing +
                    ", which zintrax-host lacks");
  FEffect = std::make_unique<Lv2Effect>(FLibrary, sampleRate, blockSize);
}

std::string Lv2Instance::DisplayAtEnd(int32_t index, bool high) {
  const ValueRange range = *Range(index);
  const std::string display = FormatNumber(high ? range.high : range.low);
  return Port(index).unit.empty() ? display : display + " " + Port(index).unit;
}

std::optional<ValueRange> Lv2Instance::Range(int32_t index) {
  const Lv2Port& port = Port(index);
  return ValueRange{AtRate(port, port.min, FEffect->Rate()),
                    AtRate(port, port.max, FEffect->Rate())};
}

void Lv2Instance::SetControl(size_t control, float value) {
  FEffect->SetControl(control, value);
  if (FEditor)
    FEditor->PortEvent(FLibrary.Controls()[control]->index, value);
}

void Lv2Instance::SetParameterText(int32_t index, const std::string& value) {
  const std::optional<double> number = ParseNumber(value);
  if (!number)
    throw UsageError(Port(index).name + "=" + value + ": not a number");
  SetControl(size_t(index), static_cast<float>(*number));
}

void Lv2Instance::SelectProgram(int32_t index) {
  for (const auto& [control, value] : FEffect->PresetControls(size_t(index)))
    SetControl(control, value);
  FCurrentPreset = index;
}

bool Lv2Instance::OpenEditor(void* display, unsigned long window) {
  if (!FLibrary.HasUi() || FEditor)
    return false;
  Lv2Editor::Host host;
  host.write = [this](uint32_t port, float value) {
    for (size_t i = 0; i < FLibrary.Controls().size(); ++i) {
      if (FLibrary.Controls()[i]->index != port)
        continue;
      FEffect->SetControl(i, value);
      if (onParameterEdited)
        onParameterEdited(int32_t(i));
    }
  };
  FEditor =
      std::make_unique<Lv2Editor>(Description(), FLibrary.Urids(), display, window, FEffect->Rate(),
                                  FEffect->Handle(), std::move(host), float(editorScale));
  FEditorSize = FEditor->Size();
  // A host tells a new UI every control's value.
  for (size_t c = 0; c < FLibrary.Controls().size(); ++c)
    FEditor->PortEvent(FLibrary.Controls()[c]->index, FEffect->Control(c));
  return true;
}

void Lv2Instance::IdleEditor() {
  if (FEditor)
    FEditor->Idle();
}

} // namespace

std::unique_ptr<Instance> LoadLv2Instance(const std::string& location) {
  return std::make_unique<Lv2Instance>(location);
}

} // namespace zhost
