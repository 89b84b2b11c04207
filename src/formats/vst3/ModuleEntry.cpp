// The VST3 library's only exports: the factory, and the entry and exit calls of its platform
// (ModuleEntry and ModuleExit on Linux, InitDll and ExitDll on Windows). Hosts may enter and
// leave more than once; each exit must match an entry.
#include "formats/vst3/Factory.h"

#include <atomic>

namespace {
std::atomic<int> gEntries{0};

bool Enter() {
  gEntries.fetch_add(1);
  return true;
}

bool Leave() {
  int entries = gEntries.load();
  while (entries > 0 && !gEntries.compare_exchange_weak(entries, entries - 1)) {
  }
  return entries > 0;
}
} // namespace

#if defined(_WIN32)
// Exported under these plain names by the module-definition file.
extern "C" {
vst3::IPluginFactory* VST3_CALL GetPluginFactory() {
  return AcquireFactory();
}
bool InitDll() {
  return Enter();
}
bool ExitDll() {
  return Leave();
}
}
#else
extern "C" {
__attribute__((visibility("default"))) vst3::IPluginFactory* GetPluginFactory() {
  return AcquireFactory();
}
__attribute__((visibility("default"))) bool ModuleEntry(void*) {
  return Enter();
}
__attribute__((visibility("default"))) bool ModuleExit() {
  return Leave();
}
}
#endif
