// Our own declarations of the VST3 interfaces that carry audio: the component with its buses, the
// audio processor, the processing records and the parameter changes that arrive with a block.
#pragma once

#include "formats/vst3/Vst3Base.h"

namespace vst3 {

using ParamID = uint32;
using ParamValue = double;
using SpeakerArrangement = uint64;
using Sample32 = float;
using Sample64 = double;

enum MediaTypes : int32 { kAudio = 0, kEvent = 1 };
enum BusDirections : int32 { kInput = 0, kOutput = 1 };
enum BusTypes : int32 { kMain = 0, kAux = 1 };
inline constexpr uint32 kBusDefaultActive = 1 << 0;
enum SymbolicSampleSizes : int32 { kSample32 = 0, kSample64 = 1 };
enum ProcessModes : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
inline constexpr SpeakerArrangement kSpeakerArrStereo = 0x3; // left | right
inline constexpr SpeakerArrangement kSpeakerArrMono = 1 << 19;
inline constexpr uint32 kNoTail = 0;

struct BusInfo {
  int32 mediaType;
  int32 direction;
  int32 channelCount;
  String128 name;
  int32 busType;
  uint32 flags;
};

struct RoutingInfo {
  int32 mediaType;
  int32 busIndex;
  int32 channel;
};

struct ProcessSetup {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers {
  int32 numChannels;
  uint64 silenceFlags; // bit n: channel n is all zeros
  union {
    Sample32** channelBuffers32;
    Sample64** channelBuffers64;
  };
};

struct IParamValueQueue : FUnknown {
  static constexpr Uid iid = MakeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
  virtual ParamID VST3_CALL getParameterId() = 0;
  virtual int32 VST3_CALL getPointCount() = 0;
  virtual tresult VST3_CALL getPoint(int32 index, int32* sampleOffset, ParamValue* value) = 0;
  virtual tresult VST3_CALL addPoint(int32 sampleOffset, ParamValue value, int32* index) = 0;
};

// The queues a block brings; the queues are the host's, borrowed for the call.
struct IParameterChanges : FUnknown {
  static constexpr Uid iid = MakeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
  virtual int32 VST3_CALL getParameterCount() = 0;
  virtual IParamValueQueue* VST3_CALL getParameterData(int32 index) = 0;
  virtual IParamValueQueue* VST3_CALL addParameterData(const ParamID* id, int32* index) = 0;
};

struct IEventList;     // an effect without event buses never looks into it
struct ProcessContext; // the transport; this effect needs none of it

struct ProcessData {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 numSamples;
  int32 numInputs;
  int32 numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  IEventList* inputEvents;
  IEventList* outputEvents;
  ProcessContext* processContext;
};

struct IComponent : IPluginBase {
  static constexpr Uid iid = MakeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
  virtual tresult VST3_CALL getControllerClassId(uint8 classId[16]) = 0;
  virtual tresult VST3_CALL setIoMode(int32 mode) = 0;
  virtual int32 VST3_CALL getBusCount(int32 type, int32 dir) = 0;
  virtual tresult VST3_CALL getBusInfo(int32 type, int32 dir, int32 index, BusInfo* bus) = 0;
  virtual tresult VST3_CALL getRoutingInfo(RoutingInfo* inInfo, RoutingInfo* outInfo) = 0;
  virtual tresult VST3_CALL activateBus(int32 type, int32 dir, int32 index, TBool state) = 0;
  virtual tresult VST3_CALL setActive(TBool state) = 0;
  virtual tresult VST3_CALL setState(IBStream* state) = 0;
  virtual tresult VST3_CALL getState(IBStream* state) = 0;
};

struct IAudioProcessor : FUnknown {
  static constexpr Uid iid = MakeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
  virtual tresult VST3_CALL setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                               SpeakerArrangement* outputs, int32 numOuts) = 0;
  virtual tresult VST3_CALL getBusArrangement(int32 dir, int32 index, SpeakerArrangement* arr) = 0;
  virtual tresult VST3_CALL canProcessSampleSize(int32 symbolicSampleSize) = 0;
  virtual uint32 VST3_CALL getLatencySamples() = 0;
  virtual tresult VST3_CALL setupProcessing(ProcessSetup* setup) = 0;
  virtual tresult VST3_CALL setProcessing(TBool state) = 0;
  virtual tresult VST3_CALL process(ProcessData* data) = 0;
  virtual uint32 VST3_CALL getTailSamples() = 0;
};

struct IProcessContextRequirements : FUnknown {
  static constexpr Uid iid = MakeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
  virtual uint32 VST3_CALL getProcessContextRequirements() = 0;
};

static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, name) == 12 &&
              offsetof(BusInfo, busType) == 268 && offsetof(BusInfo, flags) == 272);
static_assert(sizeof(RoutingInfo) == 12);
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16);
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, silenceFlags) == 8 &&
              offsetof(AudioBusBuffers, channelBuffers32) == 16);
static_assert(sizeof(void*) == 8
                  ? (sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
                     offsetof(ProcessData, processContext) == 72)
                  : (sizeof(ProcessData) == 48 && offsetof(ProcessData, inputs) == 20 &&
                     offsetof(ProcessData, processContext) == 44));

} // namespace vst3
