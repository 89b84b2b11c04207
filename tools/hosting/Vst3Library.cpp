#include "hosting/Vst3Library.h"

#include "formats/vst3/Texts.h"
#include "hosting/Errors.h"

#include <cstring>
#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/utsname.h>
#endif

using namespace vst3;

namespace zhost {

namespace {
namespace fs = std::filesystem;

// The architecture folder of this machine, as hosts name it.
std::string ArchitectureFolder() {
#if defined(_WIN32)
  return sizeof(void*) == 8 ? "x86_64-win" : "x86-win";
#else
  utsname name{};
  uname(&name);
  return std::string(name.machine) + "-linux";
#endif
}

template <std::size_t N> std::string Field(const char (&text)[N]) {
  return std::string(text, strnlen(text, N));
}
} // namespace

std::string Vst3Library::BinaryPath(const std::string& bundle) {
  fs::path root(bundle);
  if (root.filename().empty())
    root = root.parent_path();
#if defined(_WIN32)
  if (fs::is_regular_file(root))
    return root.string();
  return (root / "Contents" / ArchitectureFolder() / root.filename()).string();
#else
  return (root / "Contents" / ArchitectureFolder() / root.stem()).string() + ".so";
#endif
}

Vst3Library::Vst3Library(const std::string& bundle, const Vst3Step& step)
    : FBinary(BinaryPath(bundle)) {
  std::error_code error;
  if (!fs::exists(bundle, error))
    throw HostError(bundle + ": no such bundle");
  if (!fs::is_regular_file(FBinary, error))
    throw HostError(bundle + ": the bundle holds no library for this machine (" + FBinary + ")");
#if defined(_WIN32)
  FLibrary = LoadLibraryW(fs::path(FBinary).wstring().c_str());
  if (!FLibrary)
    throw HostError(FBinary + ": cannot be loaded (error " + std::to_string(GetLastError()) + ")");
  using Entry = bool (*)();
  if (auto* entry = reinterpret_cast<Entry>(Symbol("InitDll")); entry) {
    bool entered = false;
    RunStep(step, "InitDll", [&] { entered = entry(); });
    if (!entered) {
      FreeLibrary(static_cast<HMODULE>(FLibrary));
      throw HostError(FBinary + ": InitDll refused");
    }
    FEntered = true;
  }
#else
  FLibrary =
      dlopen(FBinary.find('/') == std::string::npos ? ("./" + FBinary).c_str() : FBinary.c_str(),
             RTLD_NOW | RTLD_LOCAL);
  if (!FLibrary)
    throw HostError(FBinary + ": " + dlerror());
  using Entry = bool (*)(void*);
  auto* entry = reinterpret_cast<Entry>(Symbol("ModuleEntry"));
  if (!entry || !Symbol("ModuleExit")) {
    dlclose(FLibrary);
    throw HostError(FBinary + ": ModuleEntry or ModuleExit is missing");
  }
  bool entered = false;
  RunStep(step, "ModuleEntry", [&] { entered = entry(FLibrary); });
  if (!entered) {
    dlclose(FLibrary);
    throw HostError(FBinary + ": ModuleEntry refused");
  }
  FEntered = true;
#endif
  auto* getFactory = reinterpret_cast<GetFactoryProc>(Symbol("GetPluginFactory"));
  if (getFactory)
    RunStep(step, "GetPluginFactory", [&] { FFactory = getFactory(); });
  if (!FFactory) {
    Unload();
    throw HostError(FBinary + (getFactory ? ": GetPluginFactory answered no factory"
                                          : ": GetPluginFactory is missing"));
  }
  RunStep(step, "the factory's countClasses, getClassInfo and getClassInfo2",
          [&] { ReadClasses(); });
}

void Vst3Library::ReadClasses() {
  TRef<IPluginFactory2> factory2 = Query<IPluginFactory2>(FFactory);
  for (int32 i = 0; i < FFactory->countClasses(); ++i) {
    PClassInfo info{};
    if (FFactory->getClassInfo(i, &info) != kResultOk || Field(info.category) != kAudioModuleClass)
      continue;
    Vst3Class effect;
    std::memcpy(effect.cid.data(), info.cid, 16);
    effect.name = Field(info.name);
    PClassInfo2 info2{};
    if (factory2 && factory2->getClassInfo2(i, &info2) == kResultOk) {
      effect.vendor = Field(info2.vendor);
      effect.version = Field(info2.version);
      effect.subCategories = Field(info2.subCategories);
      effect.sdkVersion = Field(info2.sdkVersion);
    }
    FEffects.push_back(effect);
  }
}

Vst3Library::~Vst3Library() {
  Unload();
}

void Vst3Library::Unload() {
  if (FFactory)
    FFactory->release();
  FFactory = nullptr;
  if (!FLibrary)
    return;
#if defined(_WIN32)
  if (FEntered)
    if (auto* exit = reinterpret_cast<bool (*)()>(Symbol("ExitDll")))
      exit();
  FreeLibrary(static_cast<HMODULE>(FLibrary));
#else
  if (FEntered)
    if (auto* exit = reinterpret_cast<bool (*)()>(Symbol("ModuleExit")))
      exit();
  dlclose(FLibrary);
#endif
  FLibrary = nullptr;
}

void* Vst3Library::Symbol(const char* name) const {
#if defined(_WIN32)
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(FLibrary), name));
#else
  return dlsym(FLibrary, name);
#endif
}

std::string Vst3Library::Vendor() const {
  PFactoryInfo info{};
  return FFactory->getFactoryInfo(&info) == kResultOk ? Field(info.vendor) : std::string();
}

void* Vst3Library::CreateRaw(const Uid& cid, const Uid& iid) const {
  void* obj = nullptr;
  const tresult result = FFactory->createInstance(reinterpret_cast<const char*>(cid.data()),
                                                  reinterpret_cast<const char*>(iid.data()), &obj);
  if (result != kResultOk || !obj)
    throw HostError(FBinary + ": the factory made no instance (result " + std::to_string(result) +
                    ")");
  return obj;
}

} // namespace zhost
