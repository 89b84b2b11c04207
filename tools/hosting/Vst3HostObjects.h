// The objects a VST3 host hands to a plug-in: the application context, a byte stream in memory,
// the parameter changes of a block, the component handler and the editor's frame with, on Linux,
// a run loop of this host's own that the plug-in registers its timers and descriptors with.
#pragma once

#include "formats/vst3/Vst3Controller.h"
#include "formats/vst3/Vst3Gui.h"
#include "formats/vst3/Vst3Object.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace zhost {

class Vst3HostApplication final : public vst3::TObject<vst3::IHostApplication> {
public:
  vst3::tresult VST3_CALL queryInterface(const char* iid, void** obj) override;
  vst3::tresult VST3_CALL getName(vst3::String128 name) override;
  vst3::tresult VST3_CALL createInstance(vst3::uint8*, vst3::uint8*, void** obj) override;
};

// A stream over bytes in memory; reads stop at the end.
class Vst3MemoryStream final : public vst3::TObject<vst3::IBStream> {
public:
  Vst3MemoryStream() = default;
  explicit Vst3MemoryStream(std::vector<uint8_t> bytes) : FBytes(std::move(bytes)) {}

  vst3::tresult VST3_CALL queryInterface(const char* iid, void** obj) override;
  vst3::tresult VST3_CALL read(void* buffer, vst3::int32 numBytes,
                               vst3::int32* numBytesRead) override;
  vst3::tresult VST3_CALL write(void* buffer, vst3::int32 numBytes,
                                vst3::int32* numBytesWritten) override;
  vst3::tresult VST3_CALL seek(vst3::int64 pos, vst3::int32 mode, vst3::int64* result) override;
  vst3::tresult VST3_CALL tell(vst3::int64* pos) override;

  const std::vector<uint8_t>& Bytes() const { return FBytes; }
  void Rewind() { FPosition = 0; }

private:
  std::vector<uint8_t> FBytes;
  std::size_t FPosition = 0;
};

class Vst3ValueQueue final : public vst3::TObject<vst3::IParamValueQueue> {
public:
  explicit Vst3ValueQueue(vst3::ParamID id) : FId(id) {}
  vst3::tresult VST3_CALL queryInterface(const char* iid, void** obj) override;
  vst3::ParamID VST3_CALL getParameterId() override { return FId; }
  vst3::int32 VST3_CALL getPointCount() override { return vst3::int32(FPoints.size()); }
  vst3::tresult VST3_CALL getPoint(vst3::int32 index, vst3::int32* sampleOffset,
                                   vst3::ParamValue* value) override;
  vst3::tresult VST3_CALL addPoint(vst3::int32 sampleOffset, vst3::ParamValue value,
                                   vst3::int32* index) override;
  // No points, with room kept for those it had.
  void Reset() { FPoints.clear(); }

private:
  vst3::ParamID FId;
  std::vector<std::pair<vst3::int32, vst3::ParamValue>> FPoints;
};

// The changes of one block: a queue per parameter, points in the order added.
class Vst3ParameterChanges final : public vst3::TObject<vst3::IParameterChanges> {
public:
  ~Vst3ParameterChanges() override;
  vst3::tresult VST3_CALL queryInterface(const char* iid, void** obj) override;
  vst3::int32 VST3_CALL getParameterCount() override { return vst3::int32(FQueues.size()); }
  vst3::IParamValueQueue* VST3_CALL getParameterData(vst3::int32 index) override;
  vst3::IParamValueQueue* VST3_CALL addParameterData(const vst3::ParamID* id,
                                                     vst3::int32* index) override;

  void Add(vst3::ParamID id, vst3::int32 offset, vst3::ParamValue value);
  void Clear();
  // Keeps a queue for each of these parameters from now on, so that Add (of a point or two) and
  // Clear neither allocate nor free for them, as a host's audio thread needs.
  void Reserve(const std::vector<vst3::ParamID>& ids);

private:
  std::vector<Vst3ValueQueue*> FQueues; // this block's; each not kept holds a reference of ours
  std::vector<Vst3ValueQueue*> FKept;   // each holds a reference of ours
};

// Edits the plug-in reports, as they arrive.
class Vst3ComponentHandler final : public vst3::TObject<vst3::IComponentHandler> {
public:
  vst3::tresult VST3_CALL queryInterface(const char* iid, void** obj) override;
  vst3::tresult VST3_CALL beginEdit(vst3::ParamID id) override;
  vst3::tresult VST3_CALL performEdit(vst3::ParamID id, vst3::ParamValue value) override;
  vst3::tresult VST3_CALL endEdit(vst3::ParamID id) override;
  vst3::tresult VST3_CALL restartComponent(vst3::int32 flags) override;

  std::function<void(vst3::ParamID)> onBegin, onEnd;
  std::function<void(vst3::ParamID, vst3::ParamValue)> onPerform;
  std::function<void(vst3::int32)> onRestart;
};

// The editor's frame. On Linux it is also the run loop: RunOnce waits up to a time for the
// registered descriptors and calls the handlers of those that are readable and of the timers
// that are due. A frame made without a run loop answers none, as some hosts do.
class Vst3Frame final : public vst3::TObject<vst3::IPlugFrame, vst3::IRunLoop> {
public:
  explicit Vst3Frame(bool withRunLoop = true) : FWithRunLoop(withRunLoop) {}
  ~Vst3Frame() override;
  vst3::tresult VST3_CALL queryInterface(const char* iid, void** obj) override;
  // Takes the size the view asks for and tells the view, as a host's frame does.
  vst3::tresult VST3_CALL resizeView(vst3::IPlugView* view, vst3::ViewRect* size) override {
    if (!view || !size)
      return vst3::kInvalidArgument;
    Resizes.push_back(*size);
    return view->onSize(size);
  }
  // Every size a view asked for, in order.
  std::vector<vst3::ViewRect> Resizes;
  vst3::tresult VST3_CALL registerEventHandler(vst3::IEventHandler* handler, int fd) override;
  vst3::tresult VST3_CALL unregisterEventHandler(vst3::IEventHandler* handler) override;
  vst3::tresult VST3_CALL registerTimer(vst3::ITimerHandler* handler,
                                        vst3::uint64 milliseconds) override;
  vst3::tresult VST3_CALL unregisterTimer(vst3::ITimerHandler* handler) override;

  void RunOnce(int timeoutMs);
  // Handlers and timers still registered (each holds a reference of the run loop's).
  std::size_t Registered() const { return FHandlers.size() + FTimers.size(); }

private:
  struct Timer {
    vst3::ITimerHandler* handler;
    uint64_t interval, due;
  };
  bool FWithRunLoop;
  std::vector<std::pair<vst3::IEventHandler*, int>> FHandlers;
  std::vector<Timer> FTimers;
};

} // namespace zhost
