// Our own declarations of the VST3 interfaces that describe and edit parameters: the edit
// controller, the host's component handler and application, and the program lists.
#pragma once

#include "formats/vst3/Vst3Audio.h"

namespace vst3 {

struct IPlugView; // formats/vst3/Vst3Gui.h

using TChar = char16;
using UnitID = int32;
using ProgramListID = int32;

enum ParameterFlags : int32 {
  kParameterNoFlags = 0,
  kCanAutomate = 1 << 0,
  kIsReadOnly = 1 << 1,
  kIsWrapAround = 1 << 2,
  kIsList = 1 << 3,
  kIsHidden = 1 << 4,
  kIsProgramChange = 1 << 15,
  kIsBypass = 1 << 16,
};

enum RestartFlags : int32 {
  kReloadComponent = 1 << 0,
  kIoChanged = 1 << 1,
  kParamValuesChanged = 1 << 2,
  kLatencyChanged = 1 << 3,
  kParamTitlesChanged = 1 << 4,
};

inline constexpr UnitID kRootUnitId = 0;
inline constexpr UnitID kNoParentUnitId = -1;
inline constexpr ProgramListID kNoProgramListId = -1;
inline constexpr const char* kEditorViewType = "editor";

struct ParameterInfo {
  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32 stepCount; // 0 continuous, n: n + 1 values
  ParamValue defaultNormalizedValue;
  UnitID unitId;
  int32 flags;
};

struct UnitInfo {
  UnitID id;
  UnitID parentUnitId;
  String128 name;
  ProgramListID programListId;
};

struct ProgramListInfo {
  ProgramListID id;
  String128 name;
  int32 programCount;
};

// The host's side of parameter edits; called on the user-interface thread only.
struct IComponentHandler : FUnknown {
  static constexpr Uid iid = MakeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
  virtual tresult VST3_CALL beginEdit(ParamID id) = 0;
  virtual tresult VST3_CALL performEdit(ParamID id, ParamValue valueNormalized) = 0;
  virtual tresult VST3_CALL endEdit(ParamID id) = 0;
  virtual tresult VST3_CALL restartComponent(int32 flags) = 0;
};

struct IEditController : IPluginBase {
  static constexpr Uid iid = MakeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
  virtual tresult VST3_CALL setComponentState(IBStream* state) = 0;
  virtual tresult VST3_CALL setState(IBStream* state) = 0;
  virtual tresult VST3_CALL getState(IBStream* state) = 0;
  virtual int32 VST3_CALL getParameterCount() = 0;
  virtual tresult VST3_CALL getParameterInfo(int32 paramIndex, ParameterInfo* info) = 0;
  virtual tresult VST3_CALL getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                  String128 string) = 0;
  virtual tresult VST3_CALL getParamValueByString(ParamID id, TChar* string,
                                                  ParamValue* valueNormalized) = 0;
  virtual ParamValue VST3_CALL normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue VST3_CALL plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue VST3_CALL getParamNormalized(ParamID id) = 0;
  virtual tresult VST3_CALL setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult VST3_CALL setComponentHandler(IComponentHandler* handler) = 0;
  virtual IPlugView* VST3_CALL createView(FIDString name) = 0;
};

struct IUnitInfo : FUnknown {
  static constexpr Uid iid = MakeUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
  virtual int32 VST3_CALL getUnitCount() = 0;
  virtual tresult VST3_CALL getUnitInfo(int32 unitIndex, UnitInfo* info) = 0;
  virtual int32 VST3_CALL getProgramListCount() = 0;
  virtual tresult VST3_CALL getProgramListInfo(int32 listIndex, ProgramListInfo* info) = 0;
  virtual tresult VST3_CALL getProgramName(ProgramListID listId, int32 programIndex,
                                           String128 name) = 0;
  virtual tresult VST3_CALL getProgramInfo(ProgramListID listId, int32 programIndex,
                                           const char8* attributeId, String128 value) = 0;
  virtual tresult VST3_CALL hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
  virtual tresult VST3_CALL getProgramPitchName(ProgramListID listId, int32 programIndex,
                                                int16 midiPitch, String128 name) = 0;
  virtual UnitID VST3_CALL getSelectedUnit() = 0;
  virtual tresult VST3_CALL selectUnit(UnitID unitId) = 0;
  virtual tresult VST3_CALL getUnitByBus(int32 type, int32 dir, int32 busIndex, int32 channel,
                                         UnitID* unitId) = 0;
  virtual tresult VST3_CALL setUnitProgramData(int32 listOrUnitId, int32 programIndex,
                                               IBStream* data) = 0;
};

// What a host offers through the context it initialises a plug-in with.
struct IHostApplication : FUnknown {
  static constexpr Uid iid = MakeUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
  virtual tresult VST3_CALL getName(String128 name) = 0;
  virtual tresult VST3_CALL createInstance(uint8 cid[16], uint8 iid[16], void** obj) = 0;
};

static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, title) == 4 &&
              offsetof(ParameterInfo, shortTitle) == 260 && offsetof(ParameterInfo, units) == 516 &&
              offsetof(ParameterInfo, stepCount) == 772 &&
              offsetof(ParameterInfo, defaultNormalizedValue) == 776 &&
              offsetof(ParameterInfo, unitId) == 784 && offsetof(ParameterInfo, flags) == 788);
static_assert(sizeof(UnitInfo) == 268 && offsetof(UnitInfo, programListId) == 264);
static_assert(sizeof(ProgramListInfo) == 264 && offsetof(ProgramListInfo, programCount) == 260);

} // namespace vst3
