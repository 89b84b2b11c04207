// Parameter values, their texts and the programs of the module.
#include "framework/DVST1Module.h"

#include "framework/DVstUtils.h"

#include <cmath>

void TCustomVST1Module::ParameterCountChanged(int32_t count) {
  FEffect.numParams = count;
  for (int32_t p = 0; p < FPrograms.Count(); ++p)
    FPrograms[p].ResizeParameters(count);
  FParameterValues.Resize(static_cast<std::size_t>(count));
}

void TCustomVST1Module::ProgramCountChanged(int32_t count) {
  FEffect.numPrograms = count;
}

void TCustomVST1Module::SetParameterProperties(const TCustomVstParameterProperties& source) {
  FParameterProperties.Assign(source);
}

void TCustomVST1Module::SetPrograms(const TCustomVstPrograms& source) {
  FPrograms.Assign(source);
}

void TCustomVST1Module::SetParameterValue(int32_t index, float value) {
  ChangeParameter(index, value, nullptr);
}

void TCustomVST1Module::ChangeParameter(int32_t index, float value, TEditorListener* listener) {
  if (!FParameterProperties.ValidIndex(index) || !std::isfinite(value))
    return;
  if (FParameterBusy.exchange(true))
    return;
  struct TDone {
    TCustomVST1Module& module;
    ~TDone() {
      module.FParameterBusy.store(false);
      module.SetEditorNeedsUpdate();
    }
  } done{*this};

  if (!(FEffect.flags & effFlagsProgramChunks)) {
    FParameterValues.Set(static_cast<std::size_t>(index), value);
    if (OverwritePrograms && FPrograms.ValidIndex(FCurrentProgram))
      FPrograms[FCurrentProgram].SetParameter(index, value);
  }
  TCustomVstParameterProperty& description = FParameterProperties[index];
  if (description.CanBeAutomated && FAudioMaster)
    CallAudioMaster(audioMasterAutomate, index, 0, nullptr, RealToNormalized(index, value));
  if (listener)
    listener->EditorChangedParameter(index, GetParameterValue(index));
  if (description.OnParameterChange)
    description.OnParameterChange(this, index, value);
  if (OnParameterChange)
    OnParameterChange(this, index, value);
}

bool TCustomVST1Module::BeginEdit(int32_t index) {
  return CallAudioMaster(audioMasterBeginEdit, index) != 0;
}

bool TCustomVST1Module::EndEdit(int32_t index) {
  return CallAudioMaster(audioMasterEndEdit, index) != 0;
}

float TCustomVST1Module::TEditorSide::GetParameterValue(int32_t index) const {
  return FModule.GetParameterValue(index);
}

void TCustomVST1Module::TEditorSide::SetParameterValue(int32_t index, float value) {
  FModule.ChangeParameter(index, value, FModule.FEditorListener);
}

std::string TCustomVST1Module::TEditorSide::ParamDisplay(int32_t index) const {
  return FModule.ParamDisplay(index);
}

std::string TCustomVST1Module::TEditorSide::ParamLabel(int32_t index) const {
  return FModule.ParamLabel(index);
}

float TCustomVST1Module::TEditorSide::DefaultValue(int32_t index) const {
  return FModule.DefaultParameterValue(index);
}

float TCustomVST1Module::DefaultParameterValue(int32_t index) const {
  if (!FPrograms.ValidIndex(0) || index < 0 || index >= numParams())
    return GetParameterValue(index);
  return FPrograms[0].Parameter(index);
}

bool TCustomVST1Module::TEditorSide::BeginEdit(int32_t index) {
  const bool answered = FModule.BeginEdit(index);
  if (!FModule.FEditorListener)
    return answered;
  FModule.FEditorListener->EditorBeganGesture(index);
  return true;
}

bool TCustomVST1Module::TEditorSide::EndEdit(int32_t index) {
  const bool answered = FModule.EndEdit(index);
  if (!FModule.FEditorListener)
    return answered;
  FModule.FEditorListener->EditorEndedGesture(index);
  return true;
}

float TCustomVST1Module::GetParameterValue(int32_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= FParameterValues.Size())
    return 0.0f;
  return FParameterValues.Get(static_cast<std::size_t>(index));
}

float TCustomVST1Module::NormalizedToReal(int32_t index, float normalized) {
  return FParameterProperties[index].NormalizedToReal(normalized);
}

float TCustomVST1Module::RealToNormalized(int32_t index, float value) const {
  return FParameterProperties[index].RealToNormalized(value);
}

float TCustomVST1Module::NormalizedToRealPrecise(int32_t index, double normalized) {
  return FParameterProperties.ValidIndex(index)
             ? FParameterProperties[index].NormalizedToRealPrecise(normalized)
             : 0.0f;
}

double TCustomVST1Module::RealToNormalizedPrecise(int32_t index, float value) const {
  return FParameterProperties.ValidIndex(index)
             ? FParameterProperties[index].RealToNormalizedPrecise(value)
             : 0.0;
}

float TCustomVST1Module::MappedReal(int32_t index, double normalized) const {
  return FParameterProperties.ValidIndex(index) ? FParameterProperties[index].MappedReal(normalized)
                                                : 0.0f;
}

std::string TCustomVST1Module::ParamName(int32_t index) const {
  return FParameterProperties.ValidIndex(index) ? FParameterProperties[index].DisplayName()
                                                : "undefined";
}

std::string TCustomVST1Module::ParamLabel(int32_t index) const {
  if (!FParameterProperties.ValidIndex(index))
    return "undefined";
  const TCustomVstParameterProperty& description = FParameterProperties[index];
  std::string text = description.Units();
  if (description.OnCustomParameterLabel)
    description.OnCustomParameterLabel(const_cast<TCustomVST1Module*>(this), text);
  return text;
}

std::string TCustomVST1Module::ParamDisplay(int32_t index) const {
  return ParamDisplayFor(index, GetParameterValue(index));
}

std::string TCustomVST1Module::ParamDisplayFor(int32_t index, float value) const {
  if (!FParameterProperties.ValidIndex(index))
    return "undefined";
  const TCustomVstParameterProperty& description = FParameterProperties[index];
  std::string text = FloatToGeneralText(value);
  if (description.OnCustomParameterDisplay)
    description.OnCustomParameterDisplay(const_cast<TCustomVST1Module*>(this), text);
  return text;
}

void TCustomVST1Module::GetParamLabel(int32_t index, char* text) {
  if (text)
    CopyHostText(text, ParamLabel(index), THostText::Parameter);
}

void TCustomVST1Module::GetParamDisplay(int32_t index, char* text) {
  if (text)
    CopyHostText(text, ParamDisplay(index), THostText::Parameter);
}

void TCustomVST1Module::GetParamName(int32_t index, char* text) {
  if (text)
    CopyHostText(text, ParamName(index), THostText::Parameter);
}

void TCustomVST1Module::SetCurrentProgram(int32_t index) {
  if (!FPrograms.ValidIndex(index))
    return;
  FCurrentProgram = index;
  if (numParams() > 0) {
    const TCustomVstProgram& program = FPrograms[index];
    for (int32_t i = 0; i < numParams(); ++i)
      FParameterValues.Set(static_cast<std::size_t>(i), program.Parameter(i));
    for (int32_t i = 0; i < numParams(); ++i)
      SetParameterValue(i, GetParameterValue(i));
  }
  if (OnProgramChange)
    OnProgramChange(this);
  SetEditorNeedsUpdate();
}

std::string TCustomVST1Module::CurrentProgramName() const {
  return FPrograms.ValidIndex(FCurrentProgram) ? FPrograms[FCurrentProgram].DisplayName() : "";
}

void TCustomVST1Module::SetCurrentProgramName(std::string_view name) {
  if (!FPrograms.ValidIndex(FCurrentProgram))
    return;
  FPrograms[FCurrentProgram].SetDisplayName(name);
  SetEditorNeedsUpdate();
}

void TCustomVST1Module::SetCurrentProgramNameQuietly(const char* name) {
  if (FPrograms.ValidIndex(FCurrentProgram))
    FPrograms[FCurrentProgram].SetDisplayName(
        ReadHostText(name, TCustomVstProgram::kMaxDisplayName));
}

void TCustomVST1Module::FinishLoading() {
  if (OnInitialize)
    OnInitialize(this);
  for (int32_t p = 0; p < FPrograms.Count(); ++p)
    if (FPrograms[p].OnInitialize)
      FPrograms[p].OnInitialize(&FPrograms[p]);
  SetCurrentProgram(0);
}
