// The edit-controller side of the effect: the parameters as the host sees them, their texts and
// scales, the program list, and the editor view.
#include "formats/vst3/Effect.h"

#include "formats/common/ModuleAdapter.h"
#include "formats/common/ProgramParameter.h"
#include "formats/vst3/EditorView.h"
#include "formats/vst3/Factory.h"
#include "formats/vst3/Texts.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace vst3;

namespace {
constexpr const char* kProgramParameterTitle = "Program";
constexpr const char* kProgramListName = "Factory Programs";
constexpr const char* kBypassTitle = "Bypass";
} // namespace

int32_t TEffect::ParameterIndex(ParamID id) const {
  return FModule && id < ParamID(FModule->ParameterCount()) ? int32_t(id) : -1;
}

double TEffect::ProgramToNormalized(int32_t program) const {
  return ::ProgramToNormalized(program, FModule->ProgramCount());
}

int32_t TEffect::NormalizedToProgram(double normalized) const {
  return ::NormalizedToProgram(normalized, FModule->ProgramCount());
}

int32 VST3_CALL TEffect::getParameterCount() {
  if (!FModule)
    return 0;
  return FModule->ParameterCount() + (FModule->ProgramCount() > 0 ? 1 : 0) + 1;
}

tresult VST3_CALL TEffect::getParameterInfo(int32 paramIndex, ParameterInfo* info) {
  return Guarded(kInternalError, [&] {
    if (!info || paramIndex < 0 || paramIndex >= getParameterCount())
      return kInvalidArgument;
    std::memset(info, 0, sizeof *info);
    info->unitId = kRootUnitId;
    if (paramIndex == getParameterCount() - 1) {
      info->id = kBypassParameter;
      CopyText16(info->title, kBypassTitle);
      CopyText16(info->shortTitle, kBypassTitle);
      info->stepCount = 1;
      info->defaultNormalizedValue = 0.0;
      info->flags = kCanAutomate | kIsBypass;
      return kResultOk;
    }
    if (paramIndex == FModule->ParameterCount()) {
      info->id = kProgramParameter;
      CopyText16(info->title, kProgramParameterTitle);
      CopyText16(info->shortTitle, kProgramParameterTitle);
      info->stepCount = FModule->ProgramCount() - 1;
      info->defaultNormalizedValue = 0.0;
      info->flags = kIsProgramChange | kIsList;
      return kResultOk;
    }
    const TParameterDescription& description =
        PluginDescription().Parameters.at(size_t(paramIndex));
    info->id = ParamID(paramIndex);
    CopyText16(info->title, description.Name);
    CopyText16(info->shortTitle, description.Name);
    CopyText16(info->units, description.Units);
    info->stepCount = 0; // every parameter of the module is continuous
    info->defaultNormalizedValue = FModule->ToNormalized(paramIndex, description.Default);
    info->flags = description.CanBeAutomated ? kCanAutomate : kParameterNoFlags;
    return kResultOk;
  });
}

tresult VST3_CALL TEffect::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                 String128 string) {
  return Guarded(kInternalError, [&] {
    if (!string || std::isnan(valueNormalized))
      return kInvalidArgument;
    const double value = std::clamp(valueNormalized, 0.0, 1.0);
    if (IsBypassParameter(id)) {
      CopyText16(string, value >= 0.5 ? "On" : "Off");
      return kResultOk;
    }
    if (IsProgramParameter(id)) {
      CopyText16(string, FModule->ProgramName(NormalizedToProgram(value)));
      return kResultOk;
    }
    const int32_t index = ParameterIndex(id);
    if (index < 0)
      return kInvalidArgument;
    CopyText16(string, FModule->ParameterDisplayFor(index, FModule->FromNormalized(index, value)));
    return kResultOk;
  });
}

tresult VST3_CALL TEffect::getParamValueByString(ParamID id, TChar* string,
                                                 ParamValue* valueNormalized) {
  return Guarded(kInternalError, [&] {
    if (!string || !valueNormalized)
      return kInvalidArgument;
    const std::string text = ReadText16(string);
    if (IsBypassParameter(id)) {
      if (text != "On" && text != "Off")
        return kResultFalse;
      *valueNormalized = text == "On" ? 1.0 : 0.0;
      return kResultOk;
    }
    if (IsProgramParameter(id)) {
      for (int32_t program = 0; program < FModule->ProgramCount(); ++program)
        if (FModule->ProgramName(program) == text) {
          *valueNormalized = ProgramToNormalized(program);
          return kResultOk;
        }
      return kResultFalse;
    }
    const int32_t index = ParameterIndex(id);
    if (index < 0)
      return kInvalidArgument;
    const std::optional<float> value = FModule->ParseParameter(index, text);
    if (!value)
      return kResultFalse;
    *valueNormalized = FModule->ToNormalized(index, *value);
    return kResultOk;
  });
}

ParamValue VST3_CALL TEffect::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
  const double value = std::isnan(valueNormalized) ? 0.0 : std::clamp(valueNormalized, 0.0, 1.0);
  if (IsBypassParameter(id))
    return value >= 0.5 ? 1.0 : 0.0;
  if (IsProgramParameter(id))
    return NormalizedToProgram(value);
  const int32_t index = ParameterIndex(id);
  return index >= 0 ? double(FModule->FromNormalized(index, value)) : value;
}

ParamValue VST3_CALL TEffect::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  if (std::isnan(plainValue))
    return 0.0;
  if (IsBypassParameter(id))
    return plainValue >= 0.5 ? 1.0 : 0.0;
  if (IsProgramParameter(id))
    return ProgramToNormalized(int32_t(std::lround(std::clamp(plainValue, -1e9, 1e9))));
  const int32_t index = ParameterIndex(id);
  return index >= 0 ? FModule->ToNormalized(index, float(plainValue)) : 0.0;
}

ParamValue VST3_CALL TEffect::getParamNormalized(ParamID id) {
  if (IsBypassParameter(id))
    return FModule->Bypassed() ? 1.0 : 0.0;
  if (IsProgramParameter(id))
    return ProgramToNormalized(FModule->CurrentProgram());
  const int32_t index = ParameterIndex(id);
  return index >= 0 ? FModule->ToNormalized(index, FModule->Parameter(index)) : 0.0;
}

tresult VST3_CALL TEffect::setParamNormalized(ParamID id, ParamValue value) {
  if (std::isnan(value))
    return kInvalidArgument;
  value = std::clamp(value, 0.0, 1.0);
  if (IsBypassParameter(id)) {
    FModule->SetBypassed(value >= 0.5);
    return kResultOk;
  }
  if (IsProgramParameter(id)) {
    SelectProgramFromHost(NormalizedToProgram(value));
    return kResultOk;
  }
  const int32_t index = ParameterIndex(id);
  if (index < 0)
    return kInvalidArgument;
  FModule->SetParameter(index, FModule->FromNormalized(index, value));
  return kResultOk;
}

void TEffect::SelectProgramFromHost(int32_t program) {
  if (program == FModule->CurrentProgram())
    return;
  {
    const TModuleTurns::TMainTurn turn(FTurns);
    FModule->SelectProgram(program);
  }
  if (FHandler)
    FHandler->restartComponent(kParamValuesChanged);
}

tresult VST3_CALL TEffect::setComponentHandler(IComponentHandler* handler) {
  FHandler = TRef<IComponentHandler>::Borrow(handler);
  return kResultOk;
}

IPlugView* VST3_CALL TEffect::createView(FIDString name) {
  return Guarded(static_cast<IPlugView*>(nullptr), [&]() -> IPlugView* {
    if (!FModule || !FModule->HasEditor() || !name || std::strcmp(name, kEditorViewType) != 0)
      return nullptr;
    return new TEditorView(this);
  });
}

bool TEffect::ClaimView(TEditorView* view) {
  if (FView && FView != view)
    return false;
  FView = view;
  return true;
}

void TEffect::ViewClosed(TEditorView* view) {
  if (FView == view)
    FView = nullptr;
}

tresult VST3_CALL TEffect::getUnitInfo(int32 unitIndex, UnitInfo* info) {
  if (!info || unitIndex != 0)
    return kInvalidArgument;
  info->id = kRootUnitId;
  info->parentUnitId = kNoParentUnitId;
  CopyText16(info->name, "Root");
  info->programListId = FModule && FModule->ProgramCount() > 0 ? kProgramList : kNoProgramListId;
  return kResultOk;
}

tresult VST3_CALL TEffect::getProgramListInfo(int32 listIndex, ProgramListInfo* info) {
  if (!info || listIndex != 0 || !FModule)
    return kInvalidArgument;
  info->id = kProgramList;
  CopyText16(info->name, kProgramListName);
  info->programCount = FModule->ProgramCount();
  return kResultOk;
}

tresult VST3_CALL TEffect::getProgramName(ProgramListID listId, int32 programIndex,
                                          String128 name) {
  return Guarded(kInternalError, [&] {
    if (!name || !FModule || listId != kProgramList || programIndex < 0 ||
        programIndex >= FModule->ProgramCount())
      return kInvalidArgument;
    CopyText16(name, FModule->ProgramName(programIndex));
    return kResultOk;
  });
}

tresult VST3_CALL TEffect::selectUnit(UnitID unitId) {
  return unitId == kRootUnitId ? kResultOk : kInvalidArgument;
}

tresult VST3_CALL TEffect::getUnitByBus(int32 type, int32 dir, int32 busIndex, int32,
                                        UnitID* unitId) {
  if (!unitId || type != kAudio || (dir != kInput && dir != kOutput) || busIndex != 0)
    return kInvalidArgument;
  *unitId = kRootUnitId;
  return kResultOk;
}
