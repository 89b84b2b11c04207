#include "hosting/ClapLibrary.h"

#include "hosting/Errors.h"

#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zhost {

ClapLibrary::ClapLibrary(const std::string& path) : FPath(path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    throw HostError(path + ": no such file");
#if defined(_WIN32)
  FLibrary = LoadLibraryW(std::filesystem::path(path).wstring().c_str());
  if (!FLibrary)
    throw HostError(path + ": cannot be loaded (error " + std::to_string(GetLastError()) + ")");
  FEntry = reinterpret_cast<const clap_plugin_entry*>(
      reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(FLibrary), "clap_entry")));
#else
  FLibrary = dlopen(path.find('/') == std::string::npos ? ("./" + path).c_str() : path.c_str(),
                    RTLD_NOW | RTLD_LOCAL);
  if (!FLibrary)
    throw HostError(path + ": " + dlerror());
  FEntry = static_cast<const clap_plugin_entry*>(dlsym(FLibrary, "clap_entry"));
#endif
  try {
    if (!FEntry)
      throw HostError(path + ": exports no clap_entry");
    if (FEntry->clap_version.major < 1)
      throw HostError(path + ": its interface version " +
                      std::to_string(FEntry->clap_version.major) + "." +
                      std::to_string(FEntry->clap_version.minor) + " is not a released one");
    if (!FEntry->init || !FEntry->deinit || !FEntry->get_factory)
      throw HostError(path + ": its clap_entry lacks init, deinit or get_factory");
    if (!FEntry->init(path.c_str()))
      throw HostError(path + ": its entry's init refused");
    FInitialised = true;
    FFactory = static_cast<const clap_plugin_factory*>(FEntry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    if (!FFactory || !FFactory->get_plugin_count || !FFactory->get_plugin_descriptor ||
        !FFactory->create_plugin)
      throw HostError(path + ": offers no whole plug-in factory");
    const uint32_t count = FFactory->get_plugin_count(FFactory);
    for (uint32_t i = 0; i < count && i < 1024; ++i)
      if (const clap_plugin_descriptor* d = FFactory->get_plugin_descriptor(FFactory, i))
        FPlugins.push_back(d);
  } catch (...) {
    Unload();
    throw;
  }
}

ClapLibrary::~ClapLibrary() {
  Unload();
}

void ClapLibrary::Unload() {
  if (FInitialised)
    FEntry->deinit();
  FInitialised = false;
  if (!FLibrary)
    return;
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(FLibrary));
#else
  dlclose(FLibrary);
#endif
  FLibrary = nullptr;
}

} // namespace zhost
