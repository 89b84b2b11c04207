#include "hosting/Vst3HostObjects.h"

#include "formats/vst3/Texts.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <thread>

#if !defined(_WIN32)
#include <poll.h>
#endif

using namespace vst3;

namespace zhost {

namespace {
uint64_t Now() {
  return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}
} // namespace

tresult VST3_CALL Vst3HostApplication::queryInterface(const char* iid, void** obj) {
  return Answer(iid, obj,
                {{&FUnknown::iid, static_cast<IHostApplication*>(this)},
                 {&IHostApplication::iid, static_cast<IHostApplication*>(this)}});
}

tresult VST3_CALL Vst3HostApplication::getName(String128 name) {
  if (!name)
    return kInvalidArgument;
  CopyText16(name, "zintrax-host");
  return kResultOk;
}

tresult VST3_CALL Vst3HostApplication::createInstance(uint8*, uint8*, void** obj) {
  if (obj)
    *obj = nullptr;
  return kNoInterface; // no messages or attribute lists: a plug-in of one piece needs none
}

tresult VST3_CALL Vst3MemoryStream::queryInterface(const char* iid, void** obj) {
  return Answer(iid, obj,
                {{&FUnknown::iid, static_cast<IBStream*>(this)},
                 {&IBStream::iid, static_cast<IBStream*>(this)}});
}

tresult VST3_CALL Vst3MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
  if (!buffer || numBytes < 0)
    return kInvalidArgument;
  const std::size_t n = std::min(std::size_t(numBytes), FBytes.size() - FPosition);
  if (n > 0)
    std::memcpy(buffer, FBytes.data() + FPosition, n);
  FPosition += n;
  if (numBytesRead)
    *numBytesRead = int32(n);
  return kResultOk;
}

tresult VST3_CALL Vst3MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
  if (!buffer || numBytes < 0)
    return kInvalidArgument;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  if (FPosition + std::size_t(numBytes) > FBytes.size())
    FBytes.resize(FPosition + std::size_t(numBytes));
  std::copy(bytes, bytes + numBytes, FBytes.begin() + std::ptrdiff_t(FPosition));
  FPosition += std::size_t(numBytes);
  if (numBytesWritten)
    *numBytesWritten = numBytes;
  return kResultOk;
}

tresult VST3_CALL Vst3MemoryStream::seek(int64 pos, int32 mode, int64* result) {
  const int64 base = mode == kIBSeekSet   ? 0
                     : mode == kIBSeekCur ? int64(FPosition)
                     : mode == kIBSeekEnd ? int64(FBytes.size())
                                          : -1;
  if (base < 0 || base + pos < 0 || base + pos > int64(FBytes.size()))
    return kInvalidArgument;
  FPosition = std::size_t(base + pos);
  if (result)
    *result = int64(FPosition);
  return kResultOk;
}

tresult VST3_CALL Vst3MemoryStream::tell(int64* pos) {
  if (!pos)
    return kInvalidArgument;
  *pos = int64(FPosition);
  return kResultOk;
}

tresult VST3_CALL Vst3ValueQueue::queryInterface(const char* iid, void** obj) {
  return Answer(iid, obj,
                {{&FUnknown::iid, static_cast<IParamValueQueue*>(this)},
                 {&IParamValueQueue::iid, static_cast<IParamValueQueue*>(this)}});
}

tresult VST3_CALL Vst3ValueQueue::getPoint(int32 index, int32* sampleOffset, ParamValue* value) {
  if (index < 0 || index >= getPointCount() || !sampleOffset || !value)
    return kInvalidArgument;
  *sampleOffset = FPoints[std::size_t(index)].first;
  *value = FPoints[std::size_t(index)].second;
  return kResultOk;
}

tresult VST3_CALL Vst3ValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32* index) {
  FPoints.emplace_back(sampleOffset, value);
  if (index)
    *index = int32(FPoints.size() - 1);
  return kResultOk;
}

Vst3ParameterChanges::~Vst3ParameterChanges() {
  Clear();
  for (Vst3ValueQueue* queue : FKept)
    queue->release();
}

tresult VST3_CALL Vst3ParameterChanges::queryInterface(const char* iid, void** obj) {
  return Answer(iid, obj,
                {{&FUnknown::iid, static_cast<IParameterChanges*>(this)},
                 {&IParameterChanges::iid, static_cast<IParameterChanges*>(this)}});
}

IParamValueQueue* VST3_CALL Vst3ParameterChanges::getParameterData(int32 index) {
  return index >= 0 && index < getParameterCount() ? FQueues[std::size_t(index)] : nullptr;
}

IParamValueQueue* VST3_CALL Vst3ParameterChanges::addParameterData(const ParamID* id,
                                                                   int32* index) {
  if (!id)
    return nullptr;
  for (std::size_t i = 0; i < FQueues.size(); ++i)
    if (FQueues[i]->getParameterId() == *id) {
      if (index)
        *index = int32(i);
      return FQueues[i];
    }
  const auto kept = std::find_if(FKept.begin(), FKept.end(), [&](Vst3ValueQueue* queue) {
    return queue->getParameterId() == *id;
  });
  FQueues.push_back(kept != FKept.end() ? *kept : new Vst3ValueQueue(*id));
  if (index)
    *index = int32(FQueues.size() - 1);
  return FQueues.back();
}

void Vst3ParameterChanges::Add(ParamID id, int32 offset, ParamValue value) {
  addParameterData(&id, nullptr)->addPoint(offset, value, nullptr);
}

void Vst3ParameterChanges::Clear() {
  for (Vst3ValueQueue* queue : FQueues)
    if (std::find(FKept.begin(), FKept.end(), queue) != FKept.end())
      queue->Reset();
    else
      queue->release();
  FQueues.clear();
}

void Vst3ParameterChanges::Reserve(const std::vector<ParamID>& ids) {
  for (ParamID id : ids) {
    auto* queue = new Vst3ValueQueue(id);
    queue->addPoint(0, 0.0, nullptr);
    queue->addPoint(0, 0.0, nullptr);
    queue->Reset();
    FKept.push_back(queue);
  }
  FQueues.reserve(FKept.size());
}

tresult VST3_CALL Vst3ComponentHandler::queryInterface(const char* iid, void** obj) {
  return Answer(iid, obj,
                {{&FUnknown::iid, static_cast<IComponentHandler*>(this)},
                 {&IComponentHandler::iid, static_cast<IComponentHandler*>(this)}});
}

tresult VST3_CALL Vst3ComponentHandler::beginEdit(ParamID id) {
  if (onBegin)
    onBegin(id);
  return kResultOk;
}

tresult VST3_CALL Vst3ComponentHandler::performEdit(ParamID id, ParamValue value) {
  if (onPerform)
    onPerform(id, value);
  return kResultOk;
}

tresult VST3_CALL Vst3ComponentHandler::endEdit(ParamID id) {
  if (onEnd)
    onEnd(id);
  return kResultOk;
}

tresult VST3_CALL Vst3ComponentHandler::restartComponent(int32 flags) {
  if (onRestart)
    onRestart(flags);
  return kResultOk;
}

Vst3Frame::~Vst3Frame() {
  for (auto& [handler, fd] : FHandlers)
    handler->release();
  for (Timer& timer : FTimers)
    timer.handler->release();
}

tresult VST3_CALL Vst3Frame::queryInterface(const char* iid, void** obj) {
  if (FWithRunLoop)
    return Answer(iid, obj,
                  {{&FUnknown::iid, static_cast<IPlugFrame*>(this)},
                   {&IPlugFrame::iid, static_cast<IPlugFrame*>(this)},
                   {&IRunLoop::iid, static_cast<IRunLoop*>(this)}});
  return Answer(iid, obj,
                {{&FUnknown::iid, static_cast<IPlugFrame*>(this)},
                 {&IPlugFrame::iid, static_cast<IPlugFrame*>(this)}});
}

tresult VST3_CALL Vst3Frame::registerEventHandler(IEventHandler* handler, int fd) {
  if (!handler || fd < 0)
    return kInvalidArgument;
  for (auto& [known, knownFd] : FHandlers)
    if (known == handler || knownFd == fd)
      return kInvalidArgument;
  handler->addRef();
  FHandlers.emplace_back(handler, fd);
  return kResultOk;
}

tresult VST3_CALL Vst3Frame::unregisterEventHandler(IEventHandler* handler) {
  const auto found = std::find_if(FHandlers.begin(), FHandlers.end(),
                                  [handler](const auto& entry) { return entry.first == handler; });
  if (found == FHandlers.end())
    return kInvalidArgument;
  FHandlers.erase(found);
  handler->release();
  return kResultOk;
}

tresult VST3_CALL Vst3Frame::registerTimer(ITimerHandler* handler, uint64 milliseconds) {
  if (!handler || milliseconds == 0)
    return kInvalidArgument;
  handler->addRef();
  FTimers.push_back({handler, milliseconds, Now() + milliseconds});
  return kResultOk;
}

tresult VST3_CALL Vst3Frame::unregisterTimer(ITimerHandler* handler) {
  const auto found = std::find_if(FTimers.begin(), FTimers.end(), [handler](const Timer& timer) {
    return timer.handler == handler;
  });
  if (found == FTimers.end())
    return kInvalidArgument;
  FTimers.erase(found);
  handler->release();
  return kResultOk;
}

void Vst3Frame::RunOnce(int timeoutMs) {
  // Handlers are called from copies with a reference held, so that one may unregister itself
  // or another from inside its call.
  uint64_t now = Now();
  int wait = timeoutMs;
  for (const Timer& timer : FTimers)
    wait = int(std::min<uint64_t>(uint64_t(wait), timer.due > now ? timer.due - now : 0));
#if defined(_WIN32)
  std::this_thread::sleep_for(std::chrono::milliseconds(wait));
#else
  std::vector<pollfd> fds;
  for (auto& [handler, fd] : FHandlers)
    fds.push_back({fd, POLLIN, 0});
  if (poll(fds.data(), fds.size(), wait) > 0) {
    const auto handlers = FHandlers;
    for (auto& [handler, fd] : handlers)
      handler->addRef();
    for (std::size_t i = 0; i < fds.size(); ++i) {
      const bool registered =
          std::find(FHandlers.begin(), FHandlers.end(), handlers[i]) != FHandlers.end();
      if (registered && (fds[i].revents & POLLIN))
        handlers[i].first->onFDIsSet(fds[i].fd);
    }
    for (auto& [handler, fd] : handlers)
      handler->release();
  }
#endif
  now = Now();
  std::vector<ITimerHandler*> due;
  for (Timer& timer : FTimers)
    if (timer.due <= now) {
      timer.due = now + timer.interval;
      timer.handler->addRef();
      due.push_back(timer.handler);
    }
  for (ITimerHandler* handler : due) {
    handler->onTimer();
    handler->release();
  }
}

} // namespace zhost
