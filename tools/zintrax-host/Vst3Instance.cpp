#include "Vst3Instance.h"

#include "InfoLines.h"
#include "Selection.h"

#include "formats/vst3/Texts.h"
#include "hosting/Errors.h"
#include "hosting/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

using namespace vst3;

namespace zhost {

namespace {

std::string UidText(const Uid& uid) {
  std::string text;
  char byte[3];
  for (uint8_t b : uid) {
    std::snprintf(byte, sizeof byte, "%02X", b);
    text += byte;
  }
  return text;
}

std::string Buses(IComponent& component, int32 direction) {
  const int32 count = component.getBusCount(kAudio, direction);
  std::string text = std::to_string(count);
  for (int32 i = 0; i < count; ++i) {
    BusInfo bus{};
    if (component.getBusInfo(kAudio, direction, i, &bus) != kResultOk)
      continue;
    text += (i ? ", \"" : ": \"") + ReadText16(bus.name) + "\" (" +
            std::to_string(bus.channelCount) + " channels" +
            (bus.busType == kMain ? ", main" : ", aux") + ")";
  }
  return text;
}

} // namespace

Vst3Instance::Vst3Instance(const std::string& bundle)
    : FLocation(bundle), FLibrary(bundle),
      FPending(TRef<Vst3ParameterChanges>::Adopt(new Vst3ParameterChanges)) {
  if (FLibrary.Effects().empty())
    throw HostError(bundle + ": the factory offers no audio effect");
  FClass = FLibrary.Effects().front();
  FEffect = std::make_unique<Vst3Effect>(FLibrary, FClass.cid);
  FController = FEffect->controller.get();
  FEffect->handler->onPerform = [this](ParamID id, ParamValue value) {
    if (std::atomic<double>* slot = Request(id))
      slot->store(value);
    for (std::size_t i = 0; i < FParameters.size(); ++i)
      if (FParameters[i].id == id && onParameterEdited)
        onParameterEdited(int32_t(i));
  };
  for (int32 i = 0; i < FController->getParameterCount(); ++i) {
    ParameterInfo info{};
    if (FController->getParameterInfo(i, &info) != kResultOk)
      continue;
    if (info.flags & kIsProgramChange) {
      FProgramParameter = info.id;
      FProgramSteps = info.stepCount;
    } else {
      FParameters.push_back(info);
    }
  }
  if (FProgramSteps >= 0)
    FRequestIds.push_back(FProgramParameter);
  for (const ParameterInfo& info : FParameters)
    FRequestIds.push_back(info.id);
  FRequests = std::make_unique<std::atomic<double>[]>(FRequestIds.size());
  for (std::size_t i = 0; i < FRequestIds.size(); ++i)
    FRequests[i].store(std::numeric_limits<double>::quiet_NaN());
  FPending->Reserve(FRequestIds);
  ReadPrograms();
  TRef<IPlugView> view = TRef<IPlugView>::Adopt(FController->createView(kEditorViewType));
  FHasEditor = view && view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID) == kResultTrue;
}

Vst3Instance::~Vst3Instance() {
  CloseEditor();
}

void Vst3Instance::ReadPrograms() {
  if (FProgramSteps < 0)
    return;
  TRef<IUnitInfo> units = Query<IUnitInfo>(FController);
  if (!units)
    units = Query<IUnitInfo>(FEffect->component.get());
  for (int32 list = 0; units && list < units->getProgramListCount(); ++list) {
    ProgramListInfo info{};
    if (units->getProgramListInfo(list, &info) != kResultOk ||
        info.programCount != FProgramSteps + 1)
      continue;
    for (int32 p = 0; p < info.programCount; ++p) {
      String128 name{};
      units->getProgramName(info.id, p, name);
      FProgramNames.push_back(ReadText16(name));
    }
    return;
  }
  for (int32 p = 0; p <= FProgramSteps; ++p)
    FProgramNames.push_back(
        Display(FProgramParameter, FProgramSteps ? double(p) / FProgramSteps : 0));
}

void Vst3Instance::PrintDetails(std::ostream& out) const {
  PFactoryInfo factory{};
  FLibrary.Factory()->getFactoryInfo(&factory);
  InfoLine(out, "Effect name", FClass.name);
  InfoLine(out, "Vendor", FClass.vendor.empty() ? FLibrary.Vendor() : FClass.vendor);
  InfoLine(out, "Version", FClass.version);
  InfoLine(out, "SDK version", FClass.sdkVersion);
  InfoLine(out, "Sub-categories", FClass.subCategories);
  InfoLine(out, "Class ID", UidText(FClass.cid));
  InfoLine(out, "Library", FLibrary.Binary());
  InfoLine(out, "Controller",
           FEffect->separateController ? "a class of its own" : "the component itself");
  InfoLine(out, "Inputs", Buses(*FEffect->component, kInput));
  InfoLine(out, "Outputs", Buses(*FEffect->component, kOutput));
  InfoLine(out, "Latency", std::to_string(FEffect->processor->getLatencySamples()) + " samples");
  InfoLine(out, "64-bit samples",
           FEffect->processor->canProcessSampleSize(kSample64) == kResultTrue ? "yes" : "no");
}

void Vst3Instance::Open(float sampleRate, int32_t blockSize) {
  SpeakerArrangement in = kSpeakerArrStereo, out = kSpeakerArrStereo;
  if (NumInputs() == 2 && NumOutputs() == 2)
    FEffect->processor->setBusArrangements(&in, 1, &out, 1);
  FSampleRate = sampleRate;
  FBlockSize = blockSize;
}

void Vst3Instance::Start() {
  FEffect->Start(FSampleRate, FBlockSize);
}

std::atomic<double>* Vst3Instance::Request(ParamID id) {
  for (std::size_t i = 0; i < FRequestIds.size(); ++i)
    if (FRequestIds[i] == id)
      return &FRequests[i];
  return nullptr;
}

void Vst3Instance::Process(float** inputs, float** outputs, int32_t frames) {
  for (std::size_t i = 0; i < FRequestIds.size(); ++i)
    if (const double value = FRequests[i].exchange(std::numeric_limits<double>::quiet_NaN());
        !std::isnan(value))
      FPending->Add(FRequestIds[i], 0, value);
  const tresult result = FEffect->Process(inputs, outputs, frames, FPending.get());
  FPending->Clear();
  if (result != kResultOk)
    throw HostError(FLocation + ": the plug-in failed to process a block (result " +
                    std::to_string(result) + ")");
}

std::string Vst3Instance::ParameterName(int32_t index) const {
  return ReadText16(FParameters.at(std::size_t(index)).title);
}

std::string Vst3Instance::ParameterLabel(int32_t index) const {
  return ReadText16(FParameters.at(std::size_t(index)).units);
}

std::string Vst3Instance::Display(ParamID id, ParamValue value) const {
  String128 text{};
  return FController->getParamStringByValue(id, value, text) == kResultOk ? ReadText16(text)
                                                                          : std::string();
}

std::string Vst3Instance::ParameterDisplay(int32_t index) const {
  const ParamID id = FParameters.at(std::size_t(index)).id;
  return Display(id, FController->getParamNormalized(id));
}

std::string Vst3Instance::DisplayAtEnd(int32_t index, bool high) {
  const std::string label = ParameterLabel(index);
  return Display(FParameters.at(std::size_t(index)).id, high ? 1.0 : 0.0) +
         (label.empty() ? "" : " " + label);
}

bool Vst3Instance::Automatable(int32_t index) const {
  return (FParameters.at(std::size_t(index)).flags & kCanAutomate) != 0;
}

void Vst3Instance::SetValue(ParamID id, ParamValue value) {
  FController->setParamNormalized(id, value);
  if (std::atomic<double>* slot = Request(id))
    slot->store(value);
}

std::optional<ValueRange> Vst3Instance::Range(int32_t index) {
  const ParamID id = FParameters.at(std::size_t(index)).id;
  return ValueRange{FController->normalizedParamToPlain(id, 0.0),
                    FController->normalizedParamToPlain(id, 1.0)};
}

void Vst3Instance::SetParameterText(int32_t index, const std::string& value) {
  const ParamID id = FParameters.at(std::size_t(index)).id;
  std::u16string text(128, u'\0');
  CopyText16(text.data(), text.size(), Trim(value));
  ParamValue normalized = 0.0;
  if (FController->getParamValueByString(id, text.data(), &normalized) != kResultOk)
    throw UsageError(ParameterName(index) + "=" + value +
                     ": the plug-in does not accept this text");
  SetValue(id, normalized);
}

int32_t Vst3Instance::CurrentProgram() const {
  if (FProgramSteps <= 0)
    return 0;
  return int32_t(std::lround(FController->getParamNormalized(FProgramParameter) * FProgramSteps));
}

std::string Vst3Instance::ProgramName(int32_t index) const {
  return index >= 0 && index < NumPrograms() ? FProgramNames[std::size_t(index)] : std::string();
}

void Vst3Instance::SelectProgram(int32_t index) {
  if (index >= 0 && index < NumPrograms())
    SetValue(FProgramParameter, FProgramSteps > 0 ? double(index) / FProgramSteps : 0.0);
}

std::pair<int, int> Vst3Instance::EditorSize() const {
  TRef<IPlugView> view = FView ? TRef<IPlugView>::Borrow(FView.get())
                               : TRef<IPlugView>::Adopt(FController->createView(kEditorViewType));
  ViewRect rect{};
  if (!view || view->getSize(&rect) != kResultOk)
    return {0, 0};
  return {std::max(rect.right - rect.left, 0), std::max(rect.bottom - rect.top, 0)};
}

bool Vst3Instance::OpenEditor(void*, unsigned long window) {
  CloseEditor();
  FView = TRef<IPlugView>::Adopt(FController->createView(kEditorViewType));
  if (!FView)
    return false;
  FFrame = TRef<Vst3Frame>::Adopt(new Vst3Frame);
  FView->setFrame(FFrame.get());
  if (editorScale > 0)
    if (const auto scaling = Query<IPlugViewContentScaleSupport>(FView.get()))
      scaling->setContentScaleFactor(float(editorScale));
  if (FView->attached(reinterpret_cast<void*>(uintptr_t(window)), kPlatformTypeX11EmbedWindowID) !=
      kResultOk) {
    FView->setFrame(nullptr);
    FView.reset();
    FFrame.reset();
    return false;
  }
  return true;
}

void Vst3Instance::IdleEditor() {
  if (FFrame)
    FFrame->RunOnce(0);
}

void Vst3Instance::CloseEditor() {
  if (!FView)
    return;
  FView->removed();
  FView->setFrame(nullptr);
  FView.reset();
  FFrame.reset();
}

} // namespace zhost
