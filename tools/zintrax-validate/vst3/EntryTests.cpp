// entry, for VST3 bundles: the bundle's layout and the module's entry points, the factory's classes
// and what it makes, and the interfaces of an instance.
#include "core/Validation.h"
#include "formats/vst3/Texts.h"
#include "vst3/Vst3Subject.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace zhost::validate {

namespace {

using namespace vst3;

template <std::size_t N> std::string Field(const char (&text)[N]) {
  return std::string(text, strnlen(text, N));
}

void Bundle(Context& context) {
  const std::filesystem::path bundle(context.Location());
  const std::string binary = Vst3Library::BinaryPath(context.Location());
  context.Step("looking for %s", binary.c_str());
  if (!std::filesystem::is_regular_file(binary))
    context.Abort("no library at " + binary +
                  " (Contents/<machine>-linux/<bundle name>.so, as hosts look for it)");
  void* library = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library)
    context.Abort(std::string("dlopen: ") + dlerror());
  auto* entry = reinterpret_cast<bool (*)(void*)>(dlsym(library, "ModuleEntry"));
  auto* exit = reinterpret_cast<bool (*)()>(dlsym(library, "ModuleExit"));
  auto* factory = reinterpret_cast<GetFactoryProc>(dlsym(library, "GetPluginFactory"));
  for (const char* name : {"ModuleEntry", "ModuleExit", "GetPluginFactory"})
    if (!dlsym(library, name))
      context.Fail(std::string(name) + " is not exported");
  for (const char* name : {"InitDll", "ExitDll", "bundleEntry", "bundleExit"})
    if (dlsym(library, name))
      context.Fail(std::string(name) + " is exported: it is another platform's entry point");
  if (entry && exit && factory) {
    context.Step("ModuleEntry twice, GetPluginFactory twice, ModuleExit twice");
    if (!entry(library) || !entry(library))
      context.Fail("ModuleEntry answered false");
    IPluginFactory* first = factory();
    IPluginFactory* second = factory();
    if (!first || first != second)
      context.Fail("GetPluginFactory answered different factories, or none");
    if (first)
      first->release();
    if (second)
      second->release();
    if (!exit() || !exit())
      context.Fail("ModuleExit answered false after a matching ModuleEntry");
  }
  dlclose(library);
}

void Factory(Context& context) {
  const Vst3Subject subject(context.Location());
  IPluginFactory& factory = *subject.library.Factory();
  PFactoryInfo info{};
  if (factory.getFactoryInfo(&info) != kResultOk)
    context.Fail("getFactoryInfo failed");
  if (Field(info.vendor).empty())
    context.Fail("the factory names no vendor");
  auto factory2 = Query<IPluginFactory2>(&factory);
  auto factory3 = Query<IPluginFactory3>(&factory);
  for (int32 i = 0; i < factory.countClasses(); ++i) {
    context.Step("the class infos of class %d", i);
    PClassInfo one{};
    if (factory.getClassInfo(i, &one) != kResultOk) {
      context.Fail("getClassInfo(" + std::to_string(i) + ") failed");
      continue;
    }
    PClassInfo2 two{};
    if (factory2 && (factory2->getClassInfo2(i, &two) != kResultOk ||
                     std::memcmp(two.cid, one.cid, 16) != 0 || Field(two.name) != Field(one.name)))
      context.Fail("getClassInfo2(" + std::to_string(i) + ") disagrees with getClassInfo");
    PClassInfoW wide{};
    if (factory3 &&
        (factory3->getClassInfoUnicode(i, &wide) != kResultOk ||
         std::memcmp(wide.cid, one.cid, 16) != 0 || ReadText16(wide.name, 64) != Field(one.name)))
      context.Fail("getClassInfoUnicode(" + std::to_string(i) + ") disagrees with getClassInfo");
    if (Field(one.category) == kAudioModuleClass && factory2 &&
        std::string(Field(two.sdkVersion)) >= "VST 3.7") {
      Uid cid{};
      std::memcpy(cid.data(), one.cid, cid.size());
      TRef<IComponent> component = subject.library.Create<IComponent>(cid);
      if (!Query<IProcessContextRequirements>(component.get()))
        context.Fail("class " + Printable(Field(one.name)) +
                     " claims SDK 3.7 or later without IProcessContextRequirements");
    }
  }
  context.Step("createInstance of a class the factory does not have");
  void* obj = reinterpret_cast<void*>(1);
  const Uid unknown = MakeUid(0x01234567, 0x89ABCDEF, 0x01234567, 0x89ABCDEF);
  if (factory.createInstance(IidOf(unknown), IidOf(IComponent::iid), &obj) == kResultOk || obj)
    context.Fail("createInstance made something of an unknown class");
  context.Step("createInstance asked for an interface the class lacks");
  obj = reinterpret_cast<void*>(1);
  const Uid effect = subject.library.Effects().front().cid;
  if (factory.createInstance(IidOf(effect), IidOf(unknown), &obj) == kResultOk || obj)
    context.Fail("createInstance answered an unknown interface");
}

void Interfaces(Context& context) {
  const Vst3Subject subject(context.Location());
  Vst3Effect& plugin = *subject.plugin;
  const auto identity = [](FUnknown* from) {
    void* obj = nullptr;
    if (from->queryInterface(IidOf(FUnknown::iid), &obj) != kResultOk)
      return static_cast<void*>(nullptr);
    static_cast<FUnknown*>(obj)->release();
    return obj;
  };
  context.Step("queryInterface(FUnknown) through each interface");
  void* component = identity(plugin.component.get());
  if (!component || identity(plugin.processor.get()) != component)
    context.Fail("the component and its processor answer different FUnknowns");
  if (!plugin.separateController && identity(plugin.controller.get()) != component)
    context.Fail("the component and its controller answer different FUnknowns");
  void* obj = reinterpret_cast<void*>(1);
  const Uid unknown = MakeUid(0x76543210, 0xFEDCBA98, 0x76543210, 0xFEDCBA98);
  if (plugin.component->queryInterface(IidOf(unknown), &obj) != kNoInterface || obj)
    context.Fail("queryInterface of an unknown interface did not answer kNoInterface and null");
  if (plugin.component->getBusCount(kAudio, kOutput) < 1)
    context.Fail("the component has no audio output bus");
  for (int32 dir : {kInput, kOutput})
    for (int32 i = 0; i < plugin.component->getBusCount(kAudio, dir); ++i) {
      BusInfo bus{};
      SpeakerArrangement arrangement = 0;
      if (plugin.component->getBusInfo(kAudio, dir, i, &bus) != kResultOk ||
          ReadText16(bus.name).empty())
        context.Fail("bus " + std::to_string(i) + " has no info or no name");
      else if (plugin.processor->getBusArrangement(dir, i, &arrangement) != kResultOk ||
               __builtin_popcountll(arrangement) != bus.channelCount)
        context.Fail("bus " + std::to_string(i) + "'s arrangement does not match its " +
                     std::to_string(bus.channelCount) + " channels");
    }
}

const bool registered =
    Register(PluginFormat::Vst3, {"entry.bundle", Bundle, {.strictness = 1}}) &&
    Register(PluginFormat::Vst3, {"entry.factory", Factory, {.strictness = 1}}) &&
    Register(PluginFormat::Vst3, {"entry.interfaces", Interfaces, {.strictness = 1}});

} // namespace

} // namespace zhost::validate
