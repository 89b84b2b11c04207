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

TCustomVstPrograms::TCustomVstPrograms(TCustomVST1Module* module)
    : TOwnedCollection([module](int32_t) { return std::make_unique<TCustomVstProgram>(module); },
                       [module](int32_t count) {
                         if (module)
                           module->ProgramCountChanged(count);
                       }) {}
