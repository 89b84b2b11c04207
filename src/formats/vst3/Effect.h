// The plug-in's VST3 object: one object that is the component, the audio processor and the edit
// controller of one module. Processing and editing share the module, so an edit reaches the sound
// and the saved state at once, whatever order a host delivers it in, and no message passes between
// two halves.
//
// Hosts reach the same object through IComponent and IEditController. Both derive from
// IPluginBase, so initialize and terminate arrive once per interface: the second of each is
// answered as success and changes nothing. Both also have a setState and a getState of the same
// signature; each interface gets its own through a side class of its own.
#pragma once

#include "formats/common/ModuleTurns.h"
#include "formats/vst3/Vst3Audio.h"
#include "formats/vst3/Vst3Controller.h"
#include "formats/vst3/Vst3Object.h"

#include <memory>

class TModuleAdapter;
class TEditorView;

namespace vst3side {

// IComponent with its state methods renamed.
struct TComponentSide : vst3::IComponent {
  vst3::tresult VST3_CALL setState(vst3::IBStream* state) final { return SetComponentState(state); }
  vst3::tresult VST3_CALL getState(vst3::IBStream* state) final { return GetComponentState(state); }
  virtual vst3::tresult SetComponentState(vst3::IBStream* state) = 0;
  virtual vst3::tresult GetComponentState(vst3::IBStream* state) = 0;
};

// IEditController with its state methods renamed.
struct TControllerSide : vst3::IEditController {
  vst3::tresult VST3_CALL setState(vst3::IBStream* state) final {
    return SetControllerState(state);
  }
  vst3::tresult VST3_CALL getState(vst3::IBStream* state) final {
    return GetControllerState(state);
  }
  virtual vst3::tresult SetControllerState(vst3::IBStream* state) = 0;
  virtual vst3::tresult GetControllerState(vst3::IBStream* state) = 0;
};

} // namespace vst3side

class TEffect final : public vst3::TObject<vst3side::TComponentSide, vst3::IAudioProcessor,
                                           vst3::IProcessContextRequirements,
                                           vst3side::TControllerSide, vst3::IUnitInfo> {
public:
  // The class identifier of the effect in the factory.
  static const vst3::Uid kClassId;
  // The parameter that selects a factory program: beside the module's parameters, whose
  // identifiers are their indexes.
  static constexpr vst3::ParamID kProgramParameter = 1000;
  static constexpr vst3::ProgramListID kProgramList = 1;
  // The bypass switch, after the program parameter.
  static constexpr vst3::ParamID kBypassParameter = 1001;

  TEffect();

  vst3::tresult VST3_CALL queryInterface(const char* iid, void** obj) override;

  // IPluginBase
  vst3::tresult VST3_CALL initialize(vst3::FUnknown* context) override;
  vst3::tresult VST3_CALL terminate() override;

  // IComponent
  vst3::tresult VST3_CALL getControllerClassId(vst3::uint8 classId[16]) override;
  vst3::tresult VST3_CALL setIoMode(vst3::int32 mode) override;
  vst3::int32 VST3_CALL getBusCount(vst3::int32 type, vst3::int32 dir) override;
  vst3::tresult VST3_CALL getBusInfo(vst3::int32 type, vst3::int32 dir, vst3::int32 index,
                                     vst3::BusInfo* bus) override;
  vst3::tresult VST3_CALL getRoutingInfo(vst3::RoutingInfo* inInfo,
                                         vst3::RoutingInfo* outInfo) override;
  vst3::tresult VST3_CALL activateBus(vst3::int32 type, vst3::int32 dir, vst3::int32 index,
                                      vst3::TBool state) override;
  vst3::tresult VST3_CALL setActive(vst3::TBool state) override;
  vst3::tresult SetComponentState(vst3::IBStream* state) override;
  vst3::tresult GetComponentState(vst3::IBStream* state) override;

  // IAudioProcessor
  vst3::tresult VST3_CALL setBusArrangements(vst3::SpeakerArrangement* inputs, vst3::int32 numIns,
                                             vst3::SpeakerArrangement* outputs,
                                             vst3::int32 numOuts) override;
  vst3::tresult VST3_CALL getBusArrangement(vst3::int32 dir, vst3::int32 index,
                                            vst3::SpeakerArrangement* arr) override;
  vst3::tresult VST3_CALL canProcessSampleSize(vst3::int32 symbolicSampleSize) override;
  vst3::uint32 VST3_CALL getLatencySamples() override { return 0; }
  vst3::tresult VST3_CALL setupProcessing(vst3::ProcessSetup* setup) override;
  vst3::tresult VST3_CALL setProcessing(vst3::TBool) override { return vst3::kResultOk; }
  vst3::tresult VST3_CALL process(vst3::ProcessData* data) override;
  vst3::uint32 VST3_CALL getTailSamples() override { return vst3::kNoTail; }

  // IProcessContextRequirements: the effect reads nothing of the transport.
  vst3::uint32 VST3_CALL getProcessContextRequirements() override { return 0; }

  // IEditController
  vst3::tresult VST3_CALL setComponentState(vst3::IBStream* state) override;
  vst3::tresult SetControllerState(vst3::IBStream* state) override;
  vst3::tresult GetControllerState(vst3::IBStream* state) override;
  vst3::int32 VST3_CALL getParameterCount() override;
  vst3::tresult VST3_CALL getParameterInfo(vst3::int32 paramIndex,
                                           vst3::ParameterInfo* info) override;
  vst3::tresult VST3_CALL getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                                vst3::String128 string) override;
  vst3::tresult VST3_CALL getParamValueByString(vst3::ParamID id, vst3::TChar* string,
                                                vst3::ParamValue* valueNormalized) override;
  vst3::ParamValue VST3_CALL normalizedParamToPlain(vst3::ParamID id,
                                                    vst3::ParamValue valueNormalized) override;
  vst3::ParamValue VST3_CALL plainParamToNormalized(vst3::ParamID id,
                                                    vst3::ParamValue plainValue) override;
  vst3::ParamValue VST3_CALL getParamNormalized(vst3::ParamID id) override;
  vst3::tresult VST3_CALL setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
  vst3::tresult VST3_CALL setComponentHandler(vst3::IComponentHandler* handler) override;
  vst3::IPlugView* VST3_CALL createView(vst3::FIDString name) override;

  // IUnitInfo: the root unit and its program list.
  vst3::int32 VST3_CALL getUnitCount() override { return 1; }
  vst3::tresult VST3_CALL getUnitInfo(vst3::int32 unitIndex, vst3::UnitInfo* info) override;
  vst3::int32 VST3_CALL getProgramListCount() override { return 1; }
  vst3::tresult VST3_CALL getProgramListInfo(vst3::int32 listIndex,
                                             vst3::ProgramListInfo* info) override;
  vst3::tresult VST3_CALL getProgramName(vst3::ProgramListID listId, vst3::int32 programIndex,
                                         vst3::String128 name) override;
  vst3::tresult VST3_CALL getProgramInfo(vst3::ProgramListID, vst3::int32, const vst3::char8*,
                                         vst3::String128) override {
    return vst3::kResultFalse;
  }
  vst3::tresult VST3_CALL hasProgramPitchNames(vst3::ProgramListID, vst3::int32) override {
    return vst3::kResultFalse;
  }
  vst3::tresult VST3_CALL getProgramPitchName(vst3::ProgramListID, vst3::int32, vst3::int16,
                                              vst3::String128) override {
    return vst3::kResultFalse;
  }
  vst3::UnitID VST3_CALL getSelectedUnit() override { return vst3::kRootUnitId; }
  vst3::tresult VST3_CALL selectUnit(vst3::UnitID unitId) override;
  vst3::tresult VST3_CALL getUnitByBus(vst3::int32 type, vst3::int32 dir, vst3::int32 busIndex,
                                       vst3::int32 channel, vst3::UnitID* unitId) override;
  vst3::tresult VST3_CALL setUnitProgramData(vst3::int32, vst3::int32, vst3::IBStream*) override {
    return vst3::kNotImplemented;
  }

  // For the editor view: the module, the host's handler, and which view shows the editor (one
  // at a time: Claim is false while another view has it).
  TModuleAdapter* Module() const { return FModule.get(); }
  vst3::IComponentHandler* Handler() const { return FHandler.get(); }
  bool ClaimView(TEditorView* view);
  void ViewClosed(TEditorView* view);

private:
  ~TEffect() override;

  // The parameter's index in the module, or -1 for the program parameter and unknown ones.
  int32_t ParameterIndex(vst3::ParamID id) const;
  bool IsProgramParameter(vst3::ParamID id) const { return FModule && id == kProgramParameter; }
  bool IsBypassParameter(vst3::ParamID id) const { return FModule && id == kBypassParameter; }
  double ProgramToNormalized(int32_t program) const;
  int32_t NormalizedToProgram(double normalized) const;
  // Selects a program from the user-interface thread and tells the host the values changed.
  void SelectProgramFromHost(int32_t program);
  // A change of a block's parameter queue, the value on the host's 0..1 scale.
  void ApplyChange(vst3::ParamID id, double value);
  bool ApplySettings(vst3::IBStream* state);

  std::unique_ptr<TModuleAdapter> FModule; // from initialize to terminate
  // Blocks on the audio thread; states and programs set and the state read on the main thread.
  TModuleTurns FTurns;
  vst3::TRef<vst3::IComponentHandler> FHandler;
  TEditorView* FView = nullptr; // the open view; it holds a reference to this object
  float FSampleRate = 44100.0f;
  int32_t FMaxBlock = 1024;
};
