#include "Lv2Instance.h"

#include "Errors.h"
#include "InfoCommand.h"
#include "Lv2Editor.h"
#include "Lv2Plugin.h"
#include "Settings.h"

#include <lv2/atom/atom.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace zhost {

namespace {

// Room for the events of one block on an atom port; nothing is sent, a plug-in may write.
constexpr uint32_t kAtomCapacity = 8192;

struct Control {
  uint32_t port = 0;
  std::string symbol, name, unit;
  float min = 0.0f, max = 1.0f, value = 0.0f;
  bool sampleRate = false; // the range and default are fractions of the sample rate
};

class Lv2Instance final : public Instance {
public:
  explicit Lv2Instance(const std::string& location);
  ~Lv2Instance() override;

  const std::string& Location() const override { return FPlugin.Location(); }
  std::string Format() const override { return "LV2"; }
  std::string Name() const override { return FPlugin.Name(); }
  void PrintDetails(std::ostream& out) const override;

  void Open(float sampleRate, int32_t blockSize) override;
  void Start() override;
  void Process(float** inputs, float** outputs, int32_t frames) override;
  int32_t NumInputs() const override { return static_cast<int32_t>(FAudioIn.size()); }
  int32_t NumOutputs() const override { return static_cast<int32_t>(FAudioOut.size()); }

  int32_t NumParams() const override { return static_cast<int32_t>(FControls.size()); }
  std::string ParameterName(int32_t index) const override { return FControls[index].name; }
  std::string ParameterLabel(int32_t index) const override { return FControls[index].unit; }
  std::string ParameterDisplay(int32_t index) const override {
    return FormatNumber(FControls[index].value);
  }
  std::string DisplayAtEnd(int32_t index, bool high) override;
  bool Automatable(int32_t) const override { return true; }
  void SetParameterText(int32_t index, const std::string& value) override;

  int32_t NumPrograms() const override { return static_cast<int32_t>(FPlugin.Presets().size()); }
  int32_t CurrentProgram() const override { return FCurrentPreset; }
  std::string ProgramName(int32_t index) const override { return FPlugin.Presets()[index].label; }
  void SelectProgram(int32_t index) override;

  bool HasEditor() const override { return FPlugin.X11Ui().has_value(); }
  std::pair<int, int> EditorSize() const override { return FEditorSize; }
  bool OpenEditor(void* display, unsigned long window) override;
  void IdleEditor() override;
  void CloseEditor() override;

private:
  void SetControl(size_t index, float value);

  Lv2Plugin FPlugin;
  UridMap FUrids;
  std::unique_ptr<Lv2Library> FLibrary;
  const LV2_Descriptor* FDescriptor = nullptr;
  LV2_Handle FHandle = nullptr;
  std::unique_ptr<Lv2InstanceFeatures> FFeatures;
  float FSampleRate = 44100.0f;
  bool FActive = false;

  std::vector<uint32_t> FAudioIn, FAudioOut;
  std::vector<Control> FControls;
  std::vector<uint32_t> FOtherControls, FAtomPorts;
  std::vector<float> FOtherValues;
  std::vector<std::vector<uint64_t>> FAtomBuffers;
  std::vector<bool> FAtomInput;
  int32_t FCurrentPreset = 0;

  std::unique_ptr<Lv2Editor> FEditor;
  std::pair<int, int> FEditorSize{0, 0};
};

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

bool IsLv2Location(const std::string& location) {
  std::string trimmed = location;
  while (trimmed.size() > 1 && trimmed.back() == '/')
    trimmed.pop_back();
  return EndsWith(trimmed, ".lv2") || location.find("://") != std::string::npos ||
         location.rfind("urn:", 0) == 0;
}

std::unique_ptr<Instance> LoadLv2Instance(const std::string& location) {
  return std::make_unique<Lv2Instance>(location);
}

namespace {

Lv2Instance::Lv2Instance(const std::string& location) : FPlugin(location) {
  for (const Lv2Port& port : FPlugin.Ports()) {
    if (port.kind == Lv2Port::Kind::Audio) {
      (port.input ? FAudioIn : FAudioOut).push_back(port.index);
    } else if (port.kind == Lv2Port::Kind::Control && port.input) {
      FControls.push_back({port.index, port.symbol, port.name, port.unit, port.min, port.max,
                           port.def, port.sampleRate});
    } else if (port.kind == Lv2Port::Kind::Control) {
      FOtherControls.push_back(port.index);
    } else if (port.kind == Lv2Port::Kind::Atom) {
      FAtomPorts.push_back(port.index);
      FAtomInput.push_back(port.input);
    } else if (!port.optional) {
      throw HostError(location + ": port " + std::to_string(port.index) +
                      " is of a kind zintrax-host cannot connect");
    }
  }
}

Lv2Instance::~Lv2Instance() {
  CloseEditor();
  if (FHandle) {
    if (FActive && FDescriptor->deactivate)
      FDescriptor->deactivate(FHandle);
    if (FDescriptor->cleanup)
      FDescriptor->cleanup(FHandle);
  }
}

void Lv2Instance::PrintDetails(std::ostream& out) const {
  InfoLine(out, "URI", FPlugin.Uri());
  InfoLine(out, "Effect name", Name());
  InfoLine(out, "Vendor", FPlugin.Author());
  InfoLine(out, "Binary", FPlugin.BinaryPath());
  InfoLine(out, "Class", FPlugin.ClassLabel());
  InfoLine(out, "Inputs", std::to_string(FAudioIn.size()) + " audio");
  InfoLine(out, "Outputs", std::to_string(FAudioOut.size()) + " audio");
  InfoLine(out, "Requires", InfoList(FPlugin.RequiredFeatures()));
  InfoLine(out, "Editor", FPlugin.X11Ui() ? FPlugin.X11Ui()->uri : "(none)");
}

void Lv2Instance::Open(float sampleRate, int32_t blockSize) {
  if (FHandle)
    return;
  const std::string missing = UnhonouredFeatures(FPlugin.RequiredFeatures());
  if (!missing.empty())
    throw HostError(FPlugin.Location() + ": the plug-in requires " + missing +
                    ", which zintrax-host lacks");
  FSampleRate = sampleRate;
  for (Control& c : FControls)
    if (c.sampleRate) {
      c.min *= sampleRate;
      c.max *= sampleRate;
      c.value *= sampleRate;
    }
  FLibrary = std::make_unique<Lv2Library>(FPlugin.BinaryPath());
  FDescriptor = FLibrary->PluginDescriptor(FPlugin.Uri());
  FFeatures = std::make_unique<Lv2InstanceFeatures>(FUrids, blockSize, blockSize, sampleRate);
  FHandle = FDescriptor->instantiate(FDescriptor, sampleRate, FPlugin.BundlePath().c_str(),
                                     FFeatures->List());
  if (!FHandle)
    throw HostError(FPlugin.Location() + ": the plug-in refused to create an instance");
  for (Control& c : FControls)
    FDescriptor->connect_port(FHandle, c.port, &c.value);
  FOtherValues.assign(FOtherControls.size(), 0.0f);
  for (size_t i = 0; i < FOtherControls.size(); ++i)
    FDescriptor->connect_port(FHandle, FOtherControls[i], &FOtherValues[i]);
  const LV2_URID sequence = FUrids.Map(LV2_ATOM__Sequence);
  for (size_t a = 0; a < FAtomPorts.size(); ++a) {
    FAtomBuffers.emplace_back(kAtomCapacity / sizeof(uint64_t), 0);
    auto* atom = reinterpret_cast<LV2_Atom_Sequence*>(FAtomBuffers.back().data());
    // An empty sequence to read.
    atom->atom.type = sequence;
    atom->atom.size = sizeof(LV2_Atom_Sequence_Body);
    FDescriptor->connect_port(FHandle, FAtomPorts[a], atom);
  }
}

void Lv2Instance::Start() {
  if (!FHandle || FActive)
    return;
  if (FDescriptor->activate)
    FDescriptor->activate(FHandle);
  FActive = true;
}

void Lv2Instance::Process(float** inputs, float** outputs, int32_t frames) {
  for (size_t c = 0; c < FAudioIn.size(); ++c)
    FDescriptor->connect_port(FHandle, FAudioIn[c], inputs[c]);
  for (size_t c = 0; c < FAudioOut.size(); ++c)
    FDescriptor->connect_port(FHandle, FAudioOut[c], outputs[c]);
  // Each output sequence offers its whole buffer again.
  for (size_t a = 0; a < FAtomPorts.size(); ++a) {
    auto* atom = reinterpret_cast<LV2_Atom_Sequence*>(FAtomBuffers[a].data());
    if (!FAtomInput[a]) {
      atom->atom.type = FUrids.Map(LV2_ATOM__Chunk);
      atom->atom.size = kAtomCapacity - sizeof(LV2_Atom);
    }
  }
  FDescriptor->run(FHandle, static_cast<uint32_t>(frames));
}

std::string Lv2Instance::DisplayAtEnd(int32_t index, bool high) {
  const Control& c = FControls[index];
  const std::string display = FormatNumber(high ? c.max : c.min);
  return c.unit.empty() ? display : display + " " + c.unit;
}

void Lv2Instance::SetControl(size_t index, float value) {
  FControls[index].value = value;
  if (FEditor)
    FEditor->PortEvent(FControls[index].port, value);
}

void Lv2Instance::SetParameterText(int32_t index, const std::string& value) {
  const Control& c = FControls[index];
  const std::optional<double> number = ParseNumber(value);
  if (!number)
    throw UsageError(c.name + "=" + value + ": not a number");
  const double low = std::min(c.min, c.max);
  const double high = std::max(c.min, c.max);
  const double slack = 1e-6 * std::max(1.0, high - low);
  if (*number < low - slack || *number > high + slack)
    throw UsageError(c.name + "=" + value + " is outside its range " + FormatNumber(low) + " to " +
                     FormatNumber(high) + (c.unit.empty() ? "" : " " + c.unit));
  SetControl(static_cast<size_t>(index), static_cast<float>(*number));
}

void Lv2Instance::SelectProgram(int32_t index) {
  for (const auto& [symbol, value] : FPlugin.PresetValues(static_cast<size_t>(index), FUrids))
    for (size_t i = 0; i < FControls.size(); ++i)
      if (FControls[i].symbol == symbol)
        SetControl(i, value);
  FCurrentPreset = index;
}

bool Lv2Instance::OpenEditor(void* display, unsigned long window) {
  if (!FPlugin.X11Ui() || FEditor)
    return false;
  Lv2Editor::Host host;
  host.write = [this](uint32_t port, float value) {
    for (size_t i = 0; i < FControls.size(); ++i) {
      if (FControls[i].port != port)
        continue;
      FControls[i].value = value;
      if (onParameterEdited)
        onParameterEdited(static_cast<int32_t>(i));
    }
  };
  FEditor = std::make_unique<Lv2Editor>(FPlugin, FUrids, display, window, FSampleRate, FHandle,
                                        std::move(host));
  FEditorSize = FEditor->Size();
  // A host tells a new UI every control's value.
  for (const Control& c : FControls)
    FEditor->PortEvent(c.port, c.value);
  return true;
}

void Lv2Instance::IdleEditor() {
  if (FEditor)
    FEditor->Idle();
}

void Lv2Instance::CloseEditor() {
  FEditor.reset();
}

} // namespace

} // namespace zhost
