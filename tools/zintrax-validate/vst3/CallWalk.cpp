// Every kind of call a host makes into a VST3 plug-in, in the order of a session (see CallWalk.h).
#include "checks/CallWalk.h"
#include "checks/AudioBlock.h"
#include "checks/ProcessState.h"
#include "formats/vst3/Texts.h"
#include "hosting/PluginFormat.h"
#include "vst3/Vst3Subject.h"

#include <dlfcn.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace zhost::validate {

namespace {

using namespace vst3;

void Factory(IPluginFactory& factory, const CheckedCall& checked) {
  checked("the factory's getFactoryInfo", [&] {
    PFactoryInfo info{};
    factory.getFactoryInfo(&info);
  });
  if (auto factory3 = Query<IPluginFactory3>(&factory))
    checked("the factory's getClassInfoUnicode", [&] {
      for (int32 i = 0; i < factory.countClasses(); ++i) {
        PClassInfoW info{};
        factory3->getClassInfoUnicode(i, &info);
      }
    });
}

void Parameters(IEditController& controller, const CheckedCall& checked) {
  int32 count = 0;
  checked("getParameterCount", [&] { count = controller.getParameterCount(); });
  for (int32 i = 0; i < std::min(count, 64); ++i) {
    ParameterInfo info{};
    checked("getParameterInfo", [&] { controller.getParameterInfo(i, &info); });
    const ParamID id = info.id;
    String128 text{};
    checked("getParamNormalized", [&] { controller.getParamNormalized(id); });
    checked("normalizedParamToPlain", [&] { controller.normalizedParamToPlain(id, 0.25); });
    checked("plainParamToNormalized", [&] { controller.plainParamToNormalized(id, 1.0); });
    checked("getParamStringByValue", [&] { controller.getParamStringByValue(id, 0.75, text); });
    text[127] = 0;
    ParamValue parsed = 0.0;
    checked("getParamValueByString", [&] { controller.getParamValueByString(id, text, &parsed); });
    if (!(info.flags & kIsReadOnly))
      checked("setParamNormalized", [&] { controller.setParamNormalized(id, 0.75); });
  }
}

void Units(IEditController& controller, const CheckedCall& checked) {
  auto units = Query<IUnitInfo>(&controller);
  if (!units)
    return;
  checked("IUnitInfo's getUnitCount and getUnitInfo", [&] {
    for (int32 i = 0; i < std::min(units->getUnitCount(), 16); ++i) {
      UnitInfo info{};
      units->getUnitInfo(i, &info);
    }
  });
  checked("IUnitInfo's program lists and names", [&] {
    for (int32 i = 0; i < std::min(units->getProgramListCount(), 16); ++i) {
      ProgramListInfo list{};
      if (units->getProgramListInfo(i, &list) != kResultOk)
        continue;
      for (int32 p = 0; p < std::min(list.programCount, 128); ++p) {
        String128 name{};
        units->getProgramName(list.id, p, name);
      }
    }
  });
}

void State(Vst3Effect& plugin, const CheckedCall& checked) {
  std::vector<uint8_t> component;
  checked("the component's getState", [&] { component = plugin.ComponentState(); });
  checked("the component's setState (and the controller's setComponentState)",
          [&] { plugin.SetComponentState(component); });
  auto controllerState = TRef<Vst3MemoryStream>::Adopt(new Vst3MemoryStream);
  checked("the controller's getState", [&] { plugin.controller->getState(controllerState.get()); });
  controllerState->Rewind();
  checked("the controller's setState", [&] { plugin.controller->setState(controllerState.get()); });
}

void Editor(IEditController& controller, const CheckedCall& checked) {
  bool made = false;
  checked("createView and the view's release",
          [&] { made = bool(TRef<IPlugView>::Adopt(controller.createView(kEditorViewType))); });
  if (!made)
    return;
  std::unique_ptr<Vst3ViewHost> host;
  checked("createView, getSize, setFrame and attached",
          [&] { host = std::make_unique<Vst3ViewHost>(controller, Vst3ViewHost::Options{}); });
  for (int i = 0; i < 3; ++i)
    checked("the view's timer and descriptor callbacks", [&] { host->Turn(25); });
  checked("removed, setFrame(nullptr) and the view's release", [&] { host->Close(); });
}

void Processing(Context& context, Vst3Effect& plugin, const CheckedCall& checked) {
  plugin.Start(48000.0, 512, checked);
  const std::vector<ParamID> ids = Writable(*plugin.controller, true);
  AudioBlock block(plugin.inputChannels, plugin.outputChannels, 512);
  auto changes = TRef<Vst3ParameterChanges>::Adopt(new Vst3ParameterChanges);
  for (int i = 0; i < 16; ++i) {
    block.Noise(context.Random(), i == 8 ? 1e-38f : 0.5f, 512);
    block.PrepareOutputs(512);
    RandomChanges(context, ids, 512, *changes);
    checked(i == 0 ? "the first process" : "process",
            [&] { plugin.Process(block.Inputs(), block.Outputs(), 512, changes.get()); });
  }
  ProcessData flush{};
  flush.symbolicSampleSize = kSample32;
  flush.inputParameterChanges = changes.get();
  checked("process of no samples (a parameter flush)", [&] { plugin.processor->process(&flush); });
  plugin.Stop(checked);
}

} // namespace

void WalkEveryKindOfVst3Call(Context& context, const CheckedCall& checked) {
  // Loaded first on its own, so that what the library's initialisers do is told apart from what
  // ModuleEntry does.
  const std::string binary = LibraryLoadPath(Vst3Library::BinaryPath(context.Location()));
  void* library = nullptr;
  checked("loading the library (its static initialisers)",
          [&] { library = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL); });
  auto subject = std::make_unique<Vst3Subject>(context.Location(), checked);
  Vst3Effect& plugin = *subject->plugin;
  Factory(*subject->library.Factory(), checked);
  Parameters(*plugin.controller, checked);
  Units(*plugin.controller, checked);
  State(plugin, checked);
  checked("getBusArrangement, getLatencySamples and getTailSamples", [&] {
    SpeakerArrangement arrangement = 0;
    plugin.processor->getBusArrangement(kOutput, 0, &arrangement);
    plugin.processor->getLatencySamples();
    plugin.processor->getTailSamples();
  });
  if (context.Gui())
    Editor(*plugin.controller, checked);
  Processing(context, plugin, checked);
  checked("setComponentHandler(nullptr), terminate and release of the instance",
          [&] { subject->plugin.reset(); });
  checked("the factory's release and ModuleExit", [&] { subject.reset(); });
  checked("unloading the library", [&] {
    if (library)
      dlclose(library);
  });
}

namespace {

const bool registered = Register(
    PluginFormat::Vst3,
    {"process.state", [](Context& c) { CheckProcessState(c, WalkEveryKindOfVst3Call); }, {}});

} // namespace

} // namespace zhost::validate
