// The component and audio-processor side of the effect: lifecycle, buses, activation and state.
#include "formats/vst3/Effect.h"

#include "formats/common/ModuleAdapter.h"
#include "formats/vst3/EditorView.h"
#include "formats/vst3/StateStream.h"
#include "formats/vst3/Texts.h"

#include <algorithm>
#include <optional>

using namespace vst3;

const Uid TEffect::kClassId = MakeUid(0x5A6E7478, 0x56535433, 0x4D657272, 0x6F776C6B);

TEffect::TEffect() = default;

TEffect::~TEffect() {
  terminate();
}

tresult VST3_CALL TEffect::queryInterface(const char* iid, void** obj) {
  auto* component = static_cast<vst3side::TComponentSide*>(this);
  auto* controller = static_cast<vst3side::TControllerSide*>(this);
  return Answer(
      iid, obj,
      {{&FUnknown::iid, static_cast<FUnknown*>(component)},
       {&IPluginBase::iid, static_cast<IPluginBase*>(component)},
       {&IComponent::iid, static_cast<IComponent*>(component)},
       {&IAudioProcessor::iid, static_cast<IAudioProcessor*>(this)},
       {&IProcessContextRequirements::iid, static_cast<IProcessContextRequirements*>(this)},
       {&IEditController::iid, static_cast<IEditController*>(controller)},
       {&IUnitInfo::iid, static_cast<IUnitInfo*>(this)}});
}

tresult VST3_CALL TEffect::initialize(FUnknown*) {
  if (FModule)
    return kResultOk; // the same object, reached through its other interface
  try {
    auto module = std::make_unique<TModuleAdapter>();
    module->Notices.ParameterChanged = [this](int32_t index, float value) {
      if (FHandler && FModule)
        FHandler->performEdit(ParamID(index), FModule->ToNormalized(index, value));
    };
    module->Notices.EditBegun = [this](int32_t index) {
      if (FHandler)
        FHandler->beginEdit(ParamID(index));
    };
    module->Notices.EditEnded = [this](int32_t index) {
      if (FHandler)
        FHandler->endEdit(ParamID(index));
    };
    FModule = std::move(module);
    return kResultOk;
  } catch (...) {
    return kInternalError;
  }
}

tresult VST3_CALL TEffect::terminate() {
  if (FView)
    FView->Detach();
  FHandler.reset();
  if (FModule) {
    FModule->Close();
    FModule.reset();
  }
  return kResultOk;
}

tresult VST3_CALL TEffect::getControllerClassId(uint8 classId[16]) {
  // The controller is this object: there is no class of its own to create.
  if (classId)
    std::fill(classId, classId + 16, uint8(0));
  return kResultFalse;
}

tresult VST3_CALL TEffect::setIoMode(int32) {
  return kResultOk;
}

int32 VST3_CALL TEffect::getBusCount(int32 type, int32 dir) {
  return type == kAudio && (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult VST3_CALL TEffect::getBusInfo(int32 type, int32 dir, int32 index, BusInfo* bus) {
  if (!bus || type != kAudio || (dir != kInput && dir != kOutput) || index != 0)
    return kInvalidArgument;
  bus->mediaType = kAudio;
  bus->direction = dir;
  bus->channelCount = 2;
  CopyText16(bus->name, dir == kInput ? "Stereo In" : "Stereo Out");
  bus->busType = kMain;
  bus->flags = kBusDefaultActive;
  return kResultOk;
}

tresult VST3_CALL TEffect::getRoutingInfo(RoutingInfo*, RoutingInfo*) {
  return kNotImplemented;
}

// The buses are processed whether a host activates them or not: a host that leaves them
// inactive hands no buffers, and a missing buffer reads as silence and takes nothing.
tresult VST3_CALL TEffect::activateBus(int32 type, int32 dir, int32 index, TBool) {
  if (type != kAudio || (dir != kInput && dir != kOutput) || index != 0)
    return kInvalidArgument;
  return kResultOk;
}

tresult VST3_CALL TEffect::setActive(TBool state) {
  if (!FModule)
    return kNotInitialized;
  if (state && !FModule->IsOpen()) {
    try {
      FModule->Open(FSampleRate, FMaxBlock);
    } catch (...) {
      return kInternalError;
    }
    // Opening starts the signal path afresh; it takes up the parameters' values again.
    for (int32_t index = 0; index < FModule->ParameterCount(); ++index)
      FModule->SetParameter(index, FModule->Parameter(index));
  }
  return kResultOk;
}

tresult VST3_CALL TEffect::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                              SpeakerArrangement* outputs, int32 numOuts) {
  // The buses are fixed: one stereo input, one stereo output.
  if (numIns == 1 && numOuts == 1 && inputs && outputs && inputs[0] == kSpeakerArrStereo &&
      outputs[0] == kSpeakerArrStereo)
    return kResultTrue;
  return kResultFalse;
}

tresult VST3_CALL TEffect::getBusArrangement(int32 dir, int32 index, SpeakerArrangement* arr) {
  if (!arr || (dir != kInput && dir != kOutput) || index != 0)
    return kInvalidArgument;
  *arr = kSpeakerArrStereo;
  return kResultOk;
}

tresult VST3_CALL TEffect::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

tresult VST3_CALL TEffect::setupProcessing(ProcessSetup* setup) {
  if (!setup || setup->symbolicSampleSize != kSample32 || setup->maxSamplesPerBlock <= 0 ||
      !(setup->sampleRate > 0.0))
    return kInvalidArgument;
  FSampleRate = float(setup->sampleRate);
  FMaxBlock = setup->maxSamplesPerBlock;
  return kResultOk;
}

tresult TEffect::GetComponentState(IBStream* state) {
  return Guarded(kInternalError, [&] {
    if (!FModule)
      return kNotInitialized;
    std::vector<uint8_t> record;
    {
      const TModuleTurns::TMainTurn turn(FTurns);
      record = SettingsRecord(CaptureSettings(*FModule));
    }
    return WriteRecord(state, record) ? kResultOk : kResultFalse;
  });
}

tresult TEffect::SetComponentState(IBStream* state) {
  return Guarded(kInternalError, [&] { return ApplySettings(state) ? kResultOk : kResultFalse; });
}

tresult VST3_CALL TEffect::setComponentState(IBStream* state) {
  // The controller shares the component's module: the settings are applied once more, which
  // changes nothing when the component has just been given the same bytes.
  return Guarded(kInternalError, [&] { return ApplySettings(state) ? kResultOk : kResultFalse; });
}

bool TEffect::ApplySettings(IBStream* state) {
  if (!FModule)
    return false;
  const std::optional<TSavedSettings> settings =
      ReadSettingsRecord(StreamReader(state), FModule->ParameterCount(), FModule->ProgramCount());
  if (!settings)
    return false;
  const TModuleTurns::TMainTurn turn(FTurns);
  ::ApplySettings(*FModule, *settings);
  return true;
}

tresult TEffect::GetControllerState(IBStream* state) {
  return Guarded(kInternalError, [&] {
    return WriteRecord(state, BareRecord(kControllerRecordKind)) ? kResultOk : kResultFalse;
  });
}

tresult TEffect::SetControllerState(IBStream* state) {
  return ReadBareRecord(StreamReader(state), kControllerRecordKind) ? kResultOk : kResultFalse;
}
