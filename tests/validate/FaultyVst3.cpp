// A small, well-behaved VST3 effect for the validator's VST3 tests: a stereo gain of one
// parameter, one object that is its component, processor and controller, and an X11 view that the
// host's run loop drives. Built once as it is (it must pass every test) and once per fault, each
// compile definition FAULT_xxx breaking one thing that a test of the process, realtime, lifecycle
// or editor group must catch (Faults.h; FAULT_BLOCKS takes a lock in every block, FAULT_SLOW_VIEW
// makes every timer call of the view take 20 ms).
#include "Faults.h"
#include "formats/vst3/Texts.h"
#include "formats/vst3/Vst3Controller.h"
#include "formats/vst3/Vst3Gui.h"
#include "formats/vst3/Vst3Object.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

using namespace vst3;

namespace {

constexpr Uid kClassId = MakeUid(0x5A1E0000, 0x7E570001, 0x8BADF00D, 0x00000003);
constexpr ParamID kGain = 0;

class View final : public TObject<IPlugView, ITimerHandler> {
public:
  tresult VST3_CALL queryInterface(const char* iid, void** obj) override {
    return Answer(iid, obj,
                  {{&FUnknown::iid, static_cast<IPlugView*>(this)},
                   {&IPlugView::iid, static_cast<IPlugView*>(this)},
                   {&ITimerHandler::iid, static_cast<ITimerHandler*>(this)}});
  }
  tresult VST3_CALL isPlatformTypeSupported(FIDString type) override {
    return type && std::strcmp(type, kPlatformTypeX11EmbedWindowID) == 0 ? kResultTrue
                                                                         : kResultFalse;
  }
  tresult VST3_CALL attached(void* parent, FIDString type) override {
    if (!parent || isPlatformTypeSupported(type) != kResultTrue || FDisplay)
      return kInvalidArgument;
    FLoop = Query<IRunLoop>(FFrame.get());
    if (!FLoop || !(FDisplay = XOpenDisplay(nullptr)))
      return kResultFalse;
#ifdef FAULT_TOP_LEVEL
    parent = reinterpret_cast<void*>(DefaultRootWindow(FDisplay)); // a window of its own
#endif
    FWindow = XCreateSimpleWindow(FDisplay, reinterpret_cast<Window>(parent), 0, 0, 200, 120, 0, 0,
                                  0x336699);
    XMapWindow(FDisplay, FWindow);
    XFlush(FDisplay);
    FLoop->registerTimer(this, 30);
    return kResultOk;
  }
  tresult VST3_CALL removed() override {
    if (!FDisplay)
      return kResultFalse;
    FLoop->unregisterTimer(this);
    FLoop.reset();
    XDestroyWindow(FDisplay, FWindow);
    XCloseDisplay(FDisplay);
    FDisplay = nullptr;
    return kResultOk;
  }
  void VST3_CALL onTimer() override {
    while (FDisplay && XPending(FDisplay) > 0) {
      XEvent event;
      XNextEvent(FDisplay, &event);
    }
#ifdef FAULT_SLOW_VIEW
    usleep(20000);
#endif
  }
  tresult VST3_CALL onWheel(float) override {
    return kResultFalse;
  }
  tresult VST3_CALL onKeyDown(char16, int16, int16) override {
    return kResultFalse;
  }
  tresult VST3_CALL onKeyUp(char16, int16, int16) override {
    return kResultFalse;
  }
  tresult VST3_CALL getSize(ViewRect* size) override {
    if (!size)
      return kInvalidArgument;
    *size = {0, 0, 200, 120};
    return kResultOk;
  }
  tresult VST3_CALL onSize(ViewRect*) override {
    return kResultFalse;
  }
  tresult VST3_CALL onFocus(TBool) override {
    return kResultOk;
  }
  tresult VST3_CALL setFrame(IPlugFrame* frame) override {
    FFrame = TRef<IPlugFrame>::Borrow(frame);
    return kResultOk;
  }
  tresult VST3_CALL canResize() override {
    return kResultFalse;
  }
  tresult VST3_CALL checkSizeConstraint(ViewRect*) override {
    return kResultFalse;
  }

private:
  ~View() override {
    removed();
  }

  TRef<IPlugFrame> FFrame;
  TRef<IRunLoop> FLoop;
  Display* FDisplay = nullptr;
  Window FWindow = 0;
};

// One override stands for both IComponent's and IEditController's initialize, terminate,
// setState and getState: the state is the gain alone.
class Effect final : public TObject<IComponent, IAudioProcessor, IEditController> {
public:
  tresult VST3_CALL queryInterface(const char* iid, void** obj) override {
    return Answer(iid, obj,
                  {{&FUnknown::iid, static_cast<IComponent*>(this)},
                   {&IPluginBase::iid, static_cast<IComponent*>(this)},
                   {&IComponent::iid, static_cast<IComponent*>(this)},
                   {&IAudioProcessor::iid, static_cast<IAudioProcessor*>(this)},
                   {&IEditController::iid, static_cast<IEditController*>(this)}});
  }
  tresult VST3_CALL initialize(FUnknown*) override {
    faults::OnInstanceMade();
    return kResultOk;
  }
  tresult VST3_CALL terminate() override { return kResultOk; }

  tresult VST3_CALL getControllerClassId(uint8*) override { return kResultFalse; }
  tresult VST3_CALL setIoMode(int32) override { return kResultOk; }
  int32 VST3_CALL getBusCount(int32 type, int32) override { return type == kAudio ? 1 : 0; }
  tresult VST3_CALL getBusInfo(int32 type, int32 dir, int32 index, BusInfo* bus) override {
    if (type != kAudio || index != 0 || !bus)
      return kInvalidArgument;
    *bus = {kAudio, dir, 2, {}, kMain, kBusDefaultActive};
    CopyText16(bus->name, dir == kInput ? "In" : "Out");
    return kResultOk;
  }
  tresult VST3_CALL getRoutingInfo(RoutingInfo*, RoutingInfo*) override { return kResultFalse; }
  tresult VST3_CALL activateBus(int32, int32, int32, TBool) override { return kResultOk; }
  tresult VST3_CALL setActive(TBool) override { return kResultOk; }
  tresult VST3_CALL setState(IBStream* state) override {
    double gain = 0.0;
    int32 read = 0;
    if (!state || state->read(&gain, sizeof gain, &read) != kResultOk || read != sizeof gain ||
        !(gain >= 0.0 && gain <= 1.0))
      return kResultFalse;
    FGain.store(gain);
    return kResultOk;
  }
  tresult VST3_CALL getState(IBStream* state) override {
    double gain = FGain.load();
    return state ? state->write(&gain, sizeof gain, nullptr) : kInvalidArgument;
  }

  tresult VST3_CALL setBusArrangements(SpeakerArrangement*, int32, SpeakerArrangement*,
                                       int32) override {
    return kResultFalse;
  }
  tresult VST3_CALL getBusArrangement(int32, int32 index, SpeakerArrangement* arr) override {
    if (index != 0 || !arr)
      return kInvalidArgument;
    *arr = kSpeakerArrStereo;
    return kResultOk;
  }
  tresult VST3_CALL canProcessSampleSize(int32 size) override {
    return size == kSample32 ? kResultTrue : kResultFalse;
  }
  uint32 VST3_CALL getLatencySamples() override { return 0; }
  tresult VST3_CALL setupProcessing(ProcessSetup*) override { return kResultOk; }
  tresult VST3_CALL setProcessing(TBool) override { return kResultOk; }
  tresult VST3_CALL process(ProcessData* data) override {
#ifdef FAULT_ALLOCATES
    faults::Allocate(size_t(data->numSamples));
#endif
#ifdef FAULT_MXCSR
    faults::SetFlushToZero();
#endif
#ifdef FAULT_BLOCKS
    static std::mutex lock;
    const std::lock_guard<std::mutex> guard(lock);
#endif
    if (IParameterChanges* changes = data->inputParameterChanges)
      for (int32 i = 0; i < changes->getParameterCount(); ++i) {
        IParamValueQueue* queue = changes->getParameterData(i);
        int32 offset = 0;
        ParamValue value = 0.0;
        if (queue && queue->getParameterId() == kGain &&
            queue->getPoint(queue->getPointCount() - 1, &offset, &value) == kResultOk)
          FGain.store(std::clamp(value, 0.0, 1.0));
      }
    if (data->numSamples <= 0 || data->numInputs < 1 || data->numOutputs < 1)
      return kResultOk;
    const auto gain = static_cast<float>(FGain.load());
#ifdef FAULT_STACK_HOG
    faults::UseMegabyteOfStack();
#endif
    for (int c = 0; c < 2; ++c) {
      const float* in = data->inputs[0].channelBuffers32[c];
      float* out = data->outputs[0].channelBuffers32[c];
#ifdef FAULT_READS_PAST_END
      faults::ReadRoundedUp(in, data->numSamples);
#endif
      for (int32 n = 0; n < data->numSamples; ++n)
        out[n] = in[n] * gain;
    }
    return kResultOk;
  }
  uint32 VST3_CALL getTailSamples() override {
    return 0;
  }

  tresult VST3_CALL setComponentState(IBStream* state) override {
    return setState(state);
  }
  int32 VST3_CALL getParameterCount() override {
    return 1;
  }
  tresult VST3_CALL getParameterInfo(int32 index, ParameterInfo* info) override {
    if (index != 0 || !info)
      return kInvalidArgument;
    *info = {kGain, {}, {}, {}, 0, 1.0, kRootUnitId, kCanAutomate};
    CopyText16(info->title, "Gain");
    CopyText16(info->shortTitle, "Gain");
    return kResultOk;
  }
  tresult VST3_CALL getParamStringByValue(ParamID id, ParamValue value, String128 text) override {
    if (id != kGain || !text)
      return kInvalidArgument;
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.0f %%", std::clamp(value, 0.0, 1.0) * 100.0);
    CopyText16(text, digits);
    return kResultOk;
  }
  tresult VST3_CALL getParamValueByString(ParamID, TChar*, ParamValue*) override {
    return kResultFalse;
  }
  ParamValue VST3_CALL normalizedParamToPlain(ParamID, ParamValue value) override {
    return value;
  }
  ParamValue VST3_CALL plainParamToNormalized(ParamID, ParamValue value) override {
    return value;
  }
  ParamValue VST3_CALL getParamNormalized(ParamID id) override {
    return id == kGain ? FGain.load() : 0.0;
  }
  tresult VST3_CALL setParamNormalized(ParamID id, ParamValue value) override {
    if (id != kGain || std::isnan(value))
      return kInvalidArgument;
    FGain.store(std::clamp(value, 0.0, 1.0));
    return kResultOk;
  }
  tresult VST3_CALL setComponentHandler(IComponentHandler*) override {
    return kResultOk;
  }
  IPlugView* VST3_CALL createView(FIDString name) override {
    return name && std::strcmp(name, kEditorViewType) == 0 ? new View : nullptr;
  }

private:
#ifdef FAULT_SHARED_STATE
  static inline std::atomic<double> FGain{1.0}; // one for every instance
#else
  std::atomic<double> FGain{1.0};
#endif
};

// One factory for the library's life: its counts are not kept.
struct Factory final : IPluginFactory {
  tresult VST3_CALL queryInterface(const char* iid, void** obj) override {
    if (!obj)
      return kInvalidArgument;
    const bool known = SameUid(iid, FUnknown::iid) || SameUid(iid, IPluginFactory::iid);
    *obj = known ? this : nullptr;
    return known ? kResultOk : kNoInterface;
  }
  uint32 VST3_CALL addRef() override { return 1; }
  uint32 VST3_CALL release() override { return 1; }
  tresult VST3_CALL getFactoryInfo(PFactoryInfo* info) override {
    *info = {};
    CopyText8(info->vendor, sizeof info->vendor, "Zintrax validator");
    return kResultOk;
  }
  int32 VST3_CALL countClasses() override { return 1; }
  tresult VST3_CALL getClassInfo(int32 index, PClassInfo* info) override {
    if (index != 0 || !info)
      return kInvalidArgument;
    *info = {};
    std::memcpy(info->cid, kClassId.data(), 16);
    info->cardinality = kManyInstances;
    CopyText8(info->category, sizeof info->category, kAudioModuleClass);
    CopyText8(info->name, sizeof info->name, "Faulty");
    return kResultOk;
  }
  tresult VST3_CALL createInstance(FIDString cid, FIDString iid, void** obj) override {
    *obj = nullptr;
    if (!SameUid(cid, kClassId))
      return kNoInterface;
    auto* effect = new Effect;
    const tresult result = effect->queryInterface(iid, obj);
    effect->release();
    return result;
  }
} gFactory;

std::atomic<int> gEntries{0};

} // namespace

extern "C" {
__attribute__((visibility("default"))) IPluginFactory* GetPluginFactory() {
  return &gFactory;
}
__attribute__((visibility("default"))) bool ModuleEntry(void*) {
  gEntries.fetch_add(1);
  return true;
}
__attribute__((visibility("default"))) bool ModuleExit() {
  int entries = gEntries.load();
  while (entries > 0 && !gEntries.compare_exchange_weak(entries, entries - 1)) {
  }
  return entries > 0;
}
}
