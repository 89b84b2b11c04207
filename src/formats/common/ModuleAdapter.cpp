#include "formats/common/ModuleAdapter.h"

#include "effect/Zintrax.h"
#include "framework/DFloatingPoint.h"
#include "framework/DVstUtils.h"
#include "platform/EditorWindowHeadless.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace {
constexpr intptr_t kHostVersion = 2400;
constexpr intptr_t kProcessLevelRealtime = 2;
constexpr intptr_t kReplaces = 1;

bool Overlap(const float* a, const float* b, int32_t frames) {
  return a && b && a < b + frames && b < a + frames;
}
} // namespace

// Marks the calling thread as inside one of the adapter's own calls for the call's duration.
struct TModuleAdapter::TOwnCall {
  explicit TOwnCall(TModuleAdapter& adapter)
      : FAdapter(adapter), FPrevious(adapter.FOwnCallThread.exchange(std::this_thread::get_id())) {}
  ~TOwnCall() { FAdapter.FOwnCallThread.store(FPrevious); }
  TOwnCall(const TOwnCall&) = delete;
  TOwnCall& operator=(const TOwnCall&) = delete;

private:
  TModuleAdapter& FAdapter;
  std::thread::id FPrevious;
};

TModuleAdapter::TModuleAdapter() {
  AEffect* effect = CreateVSTModule(
      [this] {
        auto module = std::make_unique<TZintraxModule>();
        FModule = module.get();
        return std::unique_ptr<TVST2Module>(std::move(module));
      },
      nullptr);
  if (!effect)
    throw std::runtime_error("the plug-in module could not be built");
  FEffect = effect;
  // The record's user field is the host's: it leads the callback back to this adapter.
  FEffect->user = this;
  FModule->SetAudioMaster(&TModuleAdapter::HostCallback);
}

TModuleAdapter::~TModuleAdapter() {
  Close();
}

intptr_t TModuleAdapter::HostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t,
                                      void* ptr, float) {
  auto* adapter = effect ? static_cast<TModuleAdapter*>(effect->user) : nullptr;
  if (!adapter)
    return opcode == audioMasterVersion ? kHostVersion : 0;
  try {
    return adapter->Answer(opcode, index, ptr);
  } catch (...) {
    return 0;
  }
}

intptr_t TModuleAdapter::Answer(int32_t opcode, int32_t index, void* ptr) {
  const bool own = FOwnCallThread.load() == std::this_thread::get_id();
  switch (opcode) {
  case audioMasterVersion:
    return kHostVersion;
  case audioMasterAutomate:
    if (!own && Notices.ParameterChanged && ValidIndex(index))
      Notices.ParameterChanged(index, FModule->GetParameterValue(index));
    return 0;
  case audioMasterBeginEdit:
    if (own || !Notices.EditBegun || !ValidIndex(index))
      return 0;
    Notices.EditBegun(index);
    return 1;
  case audioMasterEndEdit:
    if (own || !Notices.EditEnded || !ValidIndex(index))
      return 0;
    Notices.EditEnded(index);
    return 1;
  case audioMasterGetSampleRate:
    return static_cast<intptr_t>(FSampleRate);
  case audioMasterGetBlockSize:
    return FBlockSize;
  case audioMasterGetCurrentProcessLevel:
    return kProcessLevelRealtime;
  case audioMasterWillReplaceOrAccumulate:
    return kReplaces;
  case audioMasterGetVendorString:
  case audioMasterGetProductString:
    if (!ptr)
      return 0;
    CopyHostText(static_cast<char*>(ptr), "Zintrax", THostText::VendorProduct);
    return 1;
  case audioMasterGetVendorVersion:
    return 1;
  // Time, MIDI, windows, offline passes and the rest: not offered, which is 0.
  default:
    return 0;
  }
}

intptr_t TModuleAdapter::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
  return FEffect->dispatcher(FEffect, opcode, index, value, ptr, opt);
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
  if (FOpen || FClosed || blockSize <= 0)
    return;
  const TOwnCall own(*this);
  FSampleRate = sampleRate;
  FBlockSize = blockSize;
  const auto inputs = static_cast<size_t>(std::max(InputCount(), 0));
  const auto outputs = static_cast<size_t>(std::max(OutputCount(), 0));
  // One extra buffer: silence for a missing input, and a sink for a missing output.
  FInputCopies.assign(inputs + 2, std::vector<float>(static_cast<size_t>(blockSize), 0.0f));
  FInputPointers.assign(inputs, nullptr);
  FOutputPointers.assign(outputs, nullptr);
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
  Dispatch(effSetBlockSize, 0, blockSize);
  Dispatch(effMainsChanged, 0, 1);
  FOpen = true;
}

void TModuleAdapter::Close() {
  if (FClosed)
    return;
  CloseEditor();
  if (FOpen)
    Dispatch(effMainsChanged, 0, 0);
  Dispatch(effClose); // the framework's list frees the module
  FModule = nullptr;
  FEffect = nullptr;
  FOpen = false;
  FClosed = true;
}

int32_t TModuleAdapter::ParameterCount() const {
  return FModule->numParams();
}

void TModuleAdapter::SetParameter(int32_t index, float value) {
  if (!ValidIndex(index) || !std::isfinite(value))
    return;
  const TOwnCall own(*this);
  const TMaskedFloatingPoint masked;
  try {
    FModule->SetParameterValue(index, value);
  } catch (...) {
    // The value operations leave the module consistent.
  }
}

float TModuleAdapter::Parameter(int32_t index) const {
  return FModule->GetParameterValue(index);
}

std::string TModuleAdapter::ParameterDisplay(int32_t index) const {
  return ValidIndex(index) ? FModule->ParamDisplay(index) : std::string();
}

std::optional<float> TModuleAdapter::ParseParameter(int32_t index, std::string_view text) const {
  if (!ValidIndex(index))
    return std::nullopt;
  const std::optional<double> number = ParseDecimalText(text);
  if (!number || !std::isfinite(static_cast<float>(*number)))
    return std::nullopt;
  return static_cast<float>(*number);
}

float TModuleAdapter::ToNormalized(int32_t index, float value) const {
  return ValidIndex(index) ? FModule->RealToNormalized(index, value) : 0.0f;
}

float TModuleAdapter::FromNormalized(int32_t index, float normalized) {
  return ValidIndex(index) ? FModule->NormalizedToReal(index, normalized) : 0.0f;
}

double TModuleAdapter::ToNormalizedPrecise(int32_t index, float value) const {
  return ValidIndex(index) ? FModule->RealToNormalizedPrecise(index, value) : 0.0;
}

float TModuleAdapter::FromNormalizedPrecise(int32_t index, double normalized) {
  return ValidIndex(index) ? FModule->NormalizedToRealPrecise(index, normalized) : 0.0f;
}

float TModuleAdapter::MappedValue(int32_t index, double normalized) const {
  return ValidIndex(index) ? FModule->MappedReal(index, normalized) : 0.0f;
}

std::string TModuleAdapter::ParameterDisplayFor(int32_t index, float value) const {
  return ValidIndex(index) ? FModule->ParamDisplayFor(index, value) : std::string();
}

int32_t TModuleAdapter::ProgramCount() const {
  return FModule->numPrograms();
}

int32_t TModuleAdapter::CurrentProgram() const {
  return FModule->CurrentProgram();
}

void TModuleAdapter::SelectProgram(int32_t index) {
  if (index < 0 || index >= ProgramCount())
    return;
  const TOwnCall own(*this);
  Dispatch(effBeginSetProgram);
  Dispatch(effSetProgram, 0, index);
  Dispatch(effEndSetProgram);
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

void TModuleAdapter::Process(const float* const* inputs, float* const* outputs, int32_t frames) {
  if (frames <= 0 || !outputs)
    return;
  if (!FOpen) {
    for (int32_t c = 0; c < OutputCount(); ++c)
      if (outputs[c])
        std::fill_n(outputs[c], frames, 0.0f);
    return;
  }
  for (int32_t done = 0; done < frames;) {
    const int32_t n = std::min(FBlockSize, frames - done);
    ProcessChunk(inputs, outputs, done, n);
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
      FInputPointers[c] = const_cast<float*>(source); // the record's type; read only
    }
  }
  FEffect->processReplacing(FEffect, FInputPointers.data(), FOutputPointers.data(), frames);
}

bool TModuleAdapter::HasEditor() const {
  return FModule && (FEffect->flags & effFlagsHasEditor) != 0;
}

bool TModuleAdapter::OpenEditor(void* parent, intptr_t hostData) {
  if (!HasEditor() || !parent)
    return false;
  FEditorOpen = Dispatch(effEditOpen, 0, hostData, parent) != 0;
  return FEditorOpen;
}

void TModuleAdapter::IdleEditor() {
  if (FEditorOpen)
    Dispatch(effEditIdle);
}

void TModuleAdapter::CloseEditor() {
  if (!FEditorOpen)
    return;
  Dispatch(effEditClose);
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

int32_t TModuleAdapter::EditorWidth() const {
  ERect* rect = nullptr;
  FEffect->dispatcher(FEffect, effEditGetRect, 0, 0, &rect, 0.0f);
  return rect ? rect->right - rect->left : 0;
}

int32_t TModuleAdapter::EditorHeight() const {
  ERect* rect = nullptr;
  FEffect->dispatcher(FEffect, effEditGetRect, 0, 0, &rect, 0.0f);
  return rect ? rect->bottom - rect->top : 0;
}
