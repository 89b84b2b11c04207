// The library's only export, clap_entry, and the plug-in factory behind it. A host and a plug-in
// inside it may both enter the library: every init is counted and only the last deinit ends it.
#include "formats/clap/Description.h"
#include "formats/clap/Plugin.h"
#include "formats/clap/Presets.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<int> gEntries{0};

const clap_plugin_factory kFactory = {
    [](const clap_plugin_factory*) { return 1u; },
    [](const clap_plugin_factory*, uint32_t index) {
      return index == 0 ? &PluginDescriptor() : nullptr;
    },
    [](const clap_plugin_factory*, const clap_host* host, const char* id) -> const clap_plugin* {
      if (!id || std::strcmp(id, TClapPlugin::kId) != 0)
        return nullptr;
      return TClapPlugin::Create(host, &PluginDescriptor());
    }};

bool Init(const char*) {
  if (gEntries.fetch_add(1) == 0) {
    try {
      PluginDescriptor(); // reads the module's description once, here rather than in a scan
    } catch (...) {
      gEntries.fetch_sub(1);
      return false;
    }
  }
  return true;
}

void Deinit() {
  int entries = gEntries.load();
  while (entries > 0 && !gEntries.compare_exchange_weak(entries, entries - 1)) {
  }
}

const void* Factory(const char* id) {
  if (id && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0)
    return &kFactory;
  if (id && (std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0 ||
             std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT) == 0))
    return &PresetDiscoveryFactory();
  return nullptr;
}

} // namespace

extern "C" {
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    extern const clap_plugin_entry clap_entry = {CLAP_VERSION_OURS, Init, Deinit, Factory};
}
