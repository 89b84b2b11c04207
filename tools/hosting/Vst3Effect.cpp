#include "hosting/Vst3Effect.h"

#include "hosting/Errors.h"

#include <algorithm>

using namespace vst3;

namespace zhost {

namespace {
int32 MainChannels(IComponent& component, int32 direction) {
  BusInfo bus{};
  return component.getBusCount(kAudio, direction) > 0 &&
                 component.getBusInfo(kAudio, direction, 0, &bus) == kResultOk
             ? std::max(bus.channelCount, 0)
             : 0;
}
} // namespace

Vst3Effect::Vst3Effect(const Vst3Library& library, const Uid& cid, const Vst3Step& step)
    : context(TRef<Vst3HostApplication>::Adopt(new Vst3HostApplication)),
      handler(TRef<Vst3ComponentHandler>::Adopt(new Vst3ComponentHandler)) {
  RunStep(step, "createInstance", [&] { component = library.Create<IComponent>(cid); });
  tresult initialized = kResultFalse;
  RunStep(step, "initialize", [&] { initialized = component->initialize(context.get()); });
  if (initialized != kResultOk)
    throw HostError(library.Binary() + ": the component refused to initialize");
  RunStep(step, "queryInterface", [&] {
    processor = Query<IAudioProcessor>(component.get());
    controller = Query<IEditController>(component.get());
  });
  if (!controller)
    RunStep(step, "the controller's createInstance, initialize and setComponentState",
            [&] { MakeController(library); });
  if (!processor)
    throw HostError(library.Binary() + ": the component is no audio processor");
  RunStep(step, "setComponentHandler", [&] { controller->setComponentHandler(handler.get()); });
  RunStep(step, "getBusCount and getBusInfo", [&] {
    inputChannels = MainChannels(*component, kInput);
    outputChannels = MainChannels(*component, kOutput);
  });
}

void Vst3Effect::MakeController(const Vst3Library& library) {
  Uid controllerId{};
  if (component->getControllerClassId(controllerId.data()) != kResultOk)
    throw HostError(library.Binary() + ": the plug-in has no edit controller");
  controller = library.Create<IEditController>(controllerId);
  separateController = true;
  if (controller->initialize(context.get()) != kResultOk)
    throw HostError(library.Binary() + ": the edit controller refused to initialize");
  auto state = TRef<Vst3MemoryStream>::Adopt(new Vst3MemoryStream(ComponentState()));
  controller->setComponentState(state.get());
}

Vst3Effect::~Vst3Effect() {
  Stop();
  if (controller) {
    controller->setComponentHandler(nullptr);
    if (separateController)
      controller->terminate();
  }
  component->terminate();
}

void Vst3Effect::Start(double sampleRate, int32_t maxBlock, const Vst3Step& step) {
  tresult result = kResultFalse;
  RunStep(step, "activateBus, canProcessSampleSize and setupProcessing", [&] {
    component->activateBus(kAudio, kInput, 0, true);
    component->activateBus(kAudio, kOutput, 0, true);
    ProcessSetup setup{kRealtime, kSample32, maxBlock, sampleRate};
    result = processor->canProcessSampleSize(kSample32) == kResultTrue
                 ? processor->setupProcessing(&setup)
                 : kResultFalse;
  });
  if (result != kResultOk)
    throw HostError("the plug-in refused 32-bit processing at this rate and block size");
  RunStep(step, "setActive(true)", [&] { result = component->setActive(true); });
  if (result != kResultOk)
    throw HostError("the plug-in refused to become active");
  FActive = true;
  RunStep(step, "setProcessing(true)", [&] { processor->setProcessing(true); });
}

void Vst3Effect::Stop(const Vst3Step& step) {
  if (!FActive)
    return;
  FActive = false;
  RunStep(step, "setProcessing(false)", [&] { processor->setProcessing(false); });
  RunStep(step, "setActive(false)", [&] { component->setActive(false); });
}

tresult Vst3Effect::Process(const float* const* inputs, float* const* outputs, int32_t frames,
                            IParameterChanges* changes) {
  AudioBusBuffers in{};
  in.numChannels = inputChannels;
  in.channelBuffers32 = const_cast<float**>(inputs);
  AudioBusBuffers out{};
  out.numChannels = outputChannels;
  out.channelBuffers32 = const_cast<float**>(outputs);
  ProcessData data{};
  data.processMode = kRealtime;
  data.symbolicSampleSize = kSample32;
  data.numSamples = frames;
  data.numInputs = inputChannels > 0 ? 1 : 0;
  data.numOutputs = outputChannels > 0 ? 1 : 0;
  data.inputs = &in;
  data.outputs = &out;
  data.inputParameterChanges = changes;
  return processor->process(&data);
}

std::vector<uint8_t> Vst3Effect::ComponentState() const {
  auto stream = TRef<Vst3MemoryStream>::Adopt(new Vst3MemoryStream);
  component->getState(stream.get());
  return stream->Bytes();
}

tresult Vst3Effect::SetComponentState(const std::vector<uint8_t>& bytes) {
  auto stream = TRef<Vst3MemoryStream>::Adopt(new Vst3MemoryStream(bytes));
  const tresult result = component->setState(stream.get());
  if (result == kResultOk && separateController) {
    stream->Rewind();
    controller->setComponentState(stream.get());
  }
  return result;
}

} // namespace zhost
