#include "formats/common/ModuleAdapter.h"

#include "skin/DisplayScale.h"

#include "effect/Zintrax.h"
#include "framework/DFloatingPoint.h"
#include "framework/DVstUtils.h"
#include "platform/EditorWindowHeadless.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {

bool Overlap(const float* a, const float* b, int32_t frames) {
  return a && b && a < b + frames && b < a + frames;
}

// Every call into the module runs with the floating-point state the module expects, and no
// exception of the module's leaves the adapter: the module's operations leave it consistent.
template <class TCall> void Guarded(TCall&& call) {
  const TMaskedFloatingPoint masked;
  try {
    call();
  } catch (...) {
  }
}

} // namespace

// What the module's editor did, turned into the notices of the format.
class TModuleAdapter::TListener final : public TEditorListener {
public:
  explicit TListener(TModuleNotices& notices) : FNotices(notices) {}
  void EditorChangedParameter(int32_t index, float value) override {
    if (FNotices.ParameterChanged)
      FNotices.ParameterChanged(index, value);
  }
  void EditorBeganGesture(int32_t index) override {
    if (FNotices.EditBegun)
      FNotices.EditBegun(index);
  }
  void EditorEndedGesture(int32_t index) override {
    if (FNotices.EditEnded)
      FNotices.EditEnded(index);
  }

private:
  TModuleNotices& FNotices;
};

void TModuleAdapter::TModuleRelease::operator()(TZintraxModule* module) const {
  module->PrepareDestruction();
  delete module;
}

TModuleAdapter::TModuleAdapter() : FListener(std::make_unique<TListener>(Notices)) {
  const TMaskedFloatingPoint masked;
  try {
    std::unique_ptr<TVST2Module> built =
        BuildVSTModule([] { return std::unique_ptr<TVST2Module>(new TZintraxModule); });
    FModule.reset(static_cast<TZintraxModule*>(built.release()));
  } catch (...) {
    throw std::runtime_error("the plug-in module could not be built");
  }
  FModule->SetEditorListener(FListener.get());
}

TModuleAdapter::~TModuleAdapter() {
  Close();
}

bool TModuleAdapter::ValidIndex(int32_t index) const {
  return index >= 0 && index < FModule->numParams();
}

TModuleDescription TModuleAdapter::Describe() {
  TModuleAdapter adapter;
  TZintraxModule& module = *adapter.FModule;
  TModuleDescription d;
  d.Name = module.EffectName;
  d.Vendor = module.VendorName;
  d.Product = module.ProductName;
  d.VendorVersion = module.VendorVersion;
  d.UniqueID = module.UniqueID();
  d.Inputs = module.numInputs();
  d.Outputs = module.numOutputs();
  for (int32_t p = 0; p < module.numPrograms(); ++p) {
    TProgramDescription program{module.Programs()[p].DisplayName(), {}};
    for (int32_t i = 0; i < module.numParams(); ++i)
      program.Values.push_back(module.Programs()[p].Parameter(i));
    d.Programs.push_back(std::move(program));
  }
  for (int32_t i = 0; i < module.numParams(); ++i) {
    const TCustomVstParameterProperty& property = module.ParameterProperties()[i];
    d.Parameters.push_back({property.DisplayName(), property.Units(), property.Min, property.Max,
                            d.Programs.empty() ? property.Min : d.Programs[0].Values[i],
                            property.CanBeAutomated});
  }
  d.HasEditor = adapter.HasEditor();
  if (d.HasEditor) {
    // Measured in a window in memory, so that no window system is needed.
    TEditorWindowFactory previous = SetEditorWindowFactory(HeadlessEditorWindowFactory());
    static int parent;
    if (adapter.OpenEditor(&parent)) {
      d.EditorWidth = adapter.EditorWidth();
      d.EditorHeight = adapter.EditorHeight();
      adapter.CloseEditor();
    }
    SetEditorWindowFactory(std::move(previous));
  }
  return d;
}

void TModuleAdapter::Open(float sampleRate, int32_t blockSize) {
  if (FOpen || !FModule || blockSize <= 0)
    return;
  FBlockSize = blockSize;
  const auto inputs = static_cast<size_t>(std::max(InputCount(), 0));
  const auto outputs = static_cast<size_t>(std::max(OutputCount(), 0));
  // One extra buffer: silence for a missing input, and a sink for a missing output.
  FInputCopies.assign(inputs + 2, std::vector<float>(static_cast<size_t>(blockSize), 0.0f));
  FInputPointers.assign(inputs, nullptr);
  FOutputPointers.assign(outputs, nullptr);
  TZintraxModule& module = *FModule;
  Guarded([&] { module.Open(); });
  Guarded([&] { module.SetSampleRate(sampleRate); });
  Guarded([&] { module.SetBlockSize(blockSize); });
  Guarded([&] { module.Resume(); });
  FBypass.SetSampleRate(sampleRate);
  FOpen = true;
}

void TModuleAdapter::Close() {
  if (!FModule)
    return;
  CloseEditor();
  TZintraxModule& module = *FModule;
  if (FOpen)
    Guarded([&] { module.Suspend(); });
  Guarded([&] { module.Close(); });
  const TMaskedFloatingPoint masked;
  FModule.reset();
  FOpen = false;
}

int32_t TModuleAdapter::ParameterCount() const {
  return FModule->numParams();
}

void TModuleAdapter::SetParameter(int32_t index, float value) {
  if (ValidIndex(index) && std::isfinite(value))
    Guarded([&] { FModule->SetParameterValue(index, value); });
}

float TModuleAdapter::Parameter(int32_t index) const {
  return FModule->GetParameterValue(index);
}

std::string TModuleAdapter::ParameterDisplayFor(int32_t index, float value) const {
  return ValidIndex(index) ? FModule->ParamDisplayFor(index, value) : std::string();
}

std::optional<float> TModuleAdapter::ParseParameter(int32_t index, std::string_view text) const {
  if (!ValidIndex(index))
    return std::nullopt;
  const std::optional<double> number = ParseDecimalText(text);
  if (!number || !std::isfinite(static_cast<float>(*number)))
    return std::nullopt;
  return static_cast<float>(*number);
}

double TModuleAdapter::ToNormalized(int32_t index, float value) const {
  return ValidIndex(index) ? FModule->RealToNormalizedPrecise(index, value) : 0.0;
}

float TModuleAdapter::FromNormalized(int32_t index, double normalized) const {
  return ValidIndex(index) ? FModule->MappedReal(index, normalized) : 0.0f;
}

int32_t TModuleAdapter::ProgramCount() const {
  return FModule->numPrograms();
}

int32_t TModuleAdapter::CurrentProgram() const {
  return FModule->CurrentProgram();
}

void TModuleAdapter::SelectProgram(int32_t index) {
  if (index >= 0 && index < ProgramCount() && index != CurrentProgram())
    Guarded([&] { FModule->SetCurrentProgram(index); });
}

std::string TModuleAdapter::ProgramName(int32_t index) const {
  return index >= 0 && index < ProgramCount() ? FModule->Programs()[index].DisplayName()
                                              : std::string();
}

float TModuleAdapter::ProgramValue(int32_t program, int32_t index) const {
  if (program < 0 || program >= ProgramCount() || !ValidIndex(index))
    return 0.0f;
  return FModule->Programs()[program].Parameter(index);
}

int32_t TModuleAdapter::InputCount() const {
  return FModule->numInputs();
}

int32_t TModuleAdapter::OutputCount() const {
  return FModule->numOutputs();
}

void TModuleAdapter::Process(const float* const* inputs, float* const* outputs, int32_t frames,
                             int32_t first) {
  if (frames <= 0 || first < 0 || !outputs)
    return;
  if (!FOpen) {
    for (int32_t c = 0; c < OutputCount(); ++c)
      if (outputs[c])
        std::fill_n(outputs[c] + first, frames, 0.0f);
    return;
  }
  for (int32_t done = 0; done < frames;) {
    const int32_t n = std::min(FBlockSize, frames - done);
    ProcessChunk(inputs, outputs, first + done, n);
    done += n;
  }
}

void TModuleAdapter::ProcessChunk(const float* const* inputs, float* const* outputs, int32_t offset,
                                  int32_t frames) {
  const size_t inputCount = FInputPointers.size();
  const size_t outputCount = FOutputPointers.size();
  float* silence = FInputCopies[inputCount].data();
  float* sink = FInputCopies[inputCount + 1].data();
  for (size_t o = 0; o < outputCount; ++o)
    FOutputPointers[o] = outputs[o] ? outputs[o] + offset : sink;
  for (size_t c = 0; c < inputCount; ++c) {
    const float* source = inputs && inputs[c] ? inputs[c] + offset : nullptr;
    bool shared = false;
    for (size_t o = 0; o < outputCount; ++o)
      shared = shared || Overlap(source, FOutputPointers[o], frames);
    if (!source) {
      FInputPointers[c] = silence;
    } else if (shared) {
      std::memcpy(FInputCopies[c].data(), source, sizeof(float) * static_cast<size_t>(frames));
      FInputPointers[c] = FInputCopies[c].data();
    } else {
      FInputPointers[c] = source;
    }
  }
  Guarded(
      [&] { FModule->ProcessReplacing(FInputPointers.data(), FOutputPointers.data(), frames); });
  FBypass.Apply(FInputPointers.data(), FOutputPointers.data(),
                int32_t(std::min(inputCount, outputCount)), frames);
}

bool TModuleAdapter::HasEditor() const {
  return FModule && FModule->Flags().Contains(pfHasEditor);
}

bool TModuleAdapter::OpenEditor(void* parent) {
  if (!HasEditor() || !parent || FEditorOpen)
    return false;
  Guarded([&] { FEditorOpen = FModule->EditOpen(parent, 0); });
  return FEditorOpen;
}

void TModuleAdapter::IdleEditor() {
  if (FEditorOpen)
    Guarded([&] { FModule->EditIdle(); });
}

void TModuleAdapter::CloseEditor() {
  if (!FEditorOpen)
    return;
  Guarded([&] { FModule->EditClose(); });
  FEditorOpen = false;
}

void* TModuleAdapter::EditorWindow() const {
  const TCustomEditorForm* form = FEditorOpen ? FModule->EditorForm() : nullptr;
  return form ? form->WindowHandle() : nullptr;
}

int TModuleAdapter::EditorEventDescriptor() const {
  const TCustomEditorForm* form = FEditorOpen ? FModule->EditorForm() : nullptr;
  return form ? form->EventDescriptor() : -1;
}

bool TModuleAdapter::SetEditorScale(double scale) {
  bool resized = false;
  Guarded([&] { resized = FModule->SetEditorScale(scale); });
  return resized && FEditorOpen;
}

double TModuleAdapter::EditorScale() const {
  const double scale = FModule->EditorScale();
  return NearestDisplayScale(scale > 0 ? scale : 1.0);
}

int32_t TModuleAdapter::EditorWidth() const {
  const TCustomEditorForm* form = FEditorOpen ? FModule->EditorForm() : nullptr;
  return form ? std::clamp(form->ClientWidth(), 0, int(INT16_MAX)) : 0;
}

int32_t TModuleAdapter::EditorHeight() const {
  const TCustomEditorForm* form = FEditorOpen ? FModule->EditorForm() : nullptr;
  return form ? std::clamp(form->ClientHeight(), 0, int(INT16_MAX)) : 0;
}
