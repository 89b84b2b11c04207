#include "framework/DProgram.h"

#include "framework/DVST1Module.h"

TCustomVstProgram::TCustomVstProgram(TCustomVST1Module* module) : FModule(module) {
  FParameter.Resize(module ? static_cast<std::size_t>(module->numParams()) : 0);
}

void TCustomVstProgram::SetDisplayName(std::string_view name) {
  FDisplayName = name.substr(0, kMaxDisplayName);
}

void TCustomVstProgram::CheckIndex(int32_t index) const {
  const int32_t limit = FModule ? FModule->numParams() : ParameterCount();
  if (index < 0 || index >= limit || index >= ParameterCount())
    throw EVstModuleError("Index >= numParams!");
}

float TCustomVstProgram::Parameter(int32_t index) const {
  CheckIndex(index);
  return FParameter.Get(static_cast<std::size_t>(index));
}

void TCustomVstProgram::SetParameter(int32_t index, float value) {
  CheckIndex(index);
  FParameter.Set(static_cast<std::size_t>(index), value);
}

void TCustomVstProgram::ResizeParameters(int32_t count) {
  FParameter.Resize(count > 0 ? static_cast<std::size_t>(count) : 0);
}

void TCustomVstProgram::Assign(const TCustomVstProgram& source) {
  if (&source == this)
    return;
  if (source.ParameterCount() > 0) {
    ResizeParameters(source.ParameterCount());
    for (int32_t i = 0; i < source.ParameterCount(); ++i)
      SetParameter(i, source.FParameter.Get(static_cast<std::size_t>(i)));
  }
  SetDisplayName(source.DisplayName());
}

TCustomVstProgram& TCustomVstPrograms::operator[](int32_t index) {
  if (!ValidIndex(index))
    throw EVstModuleError("List index out of bounds (" + std::to_string(index) + ")");
  return *FItems[static_cast<std::size_t>(index)];
}

const TCustomVstProgram& TCustomVstPrograms::operator[](int32_t index) const {
  return const_cast<TCustomVstPrograms&>(*this)[index];
}

TCustomVstProgram& TCustomVstPrograms::Add() {
  FItems.push_back(std::make_unique<TCustomVstProgram>(FModule));
  if (FModule)
    FModule->ProgramCountChanged(Count());
  return *FItems.back();
}

void TCustomVstPrograms::Clear() {
  FItems.clear();
  if (FModule)
    FModule->ProgramCountChanged(0);
}

void TCustomVstPrograms::Assign(const TCustomVstPrograms& source) {
  if (&source == this)
    return;
  Clear();
  for (const auto& item : source.FItems)
    Add().Assign(*item);
}
