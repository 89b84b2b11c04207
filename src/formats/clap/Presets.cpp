#include "formats/clap/Presets.h"

#include "formats/clap/Description.h"
#include "formats/clap/Plugin.h"

#include <cstring>
#include <new>
#include <string>

namespace {

const clap_preset_discovery_provider_descriptor kProvider = {
    CLAP_VERSION_OURS, "com.merrowlake.zintrax.presets", "Zintrax factory programs", "Merrowlake"};

bool Metadata(const clap_preset_discovery_provider*, uint32_t kind, const char* location,
              const clap_preset_discovery_metadata_receiver* receiver) {
  if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || location || !receiver ||
      !receiver->begin_preset)
    return false;
  const clap_universal_plugin_id plugin = {"clap", TClapPlugin::kId};
  const auto& programs = PluginDescription().Programs;
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const std::string key = std::to_string(p);
    if (!receiver->begin_preset(receiver, programs[p].Name.c_str(), key.c_str()))
      break;
    if (receiver->add_plugin_id)
      receiver->add_plugin_id(receiver, &plugin);
    if (receiver->set_flags)
      receiver->set_flags(receiver, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
  }
  return true;
}

const clap_preset_discovery_provider* Create(const clap_preset_discovery_factory*,
                                             const clap_preset_discovery_indexer* indexer,
                                             const char* id) {
  if (!indexer || !id || std::strcmp(id, kProvider.id) != 0)
    return nullptr;
  auto* provider = new (std::nothrow) clap_preset_discovery_provider{
      &kProvider,
      const_cast<clap_preset_discovery_indexer*>(indexer),
      [](const clap_preset_discovery_provider* p) {
        const auto* indexer = static_cast<const clap_preset_discovery_indexer*>(p->provider_data);
        const clap_preset_discovery_location location = {
            CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, "Factory",
            CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr};
        return indexer->declare_location && indexer->declare_location(indexer, &location);
      },
      [](const clap_preset_discovery_provider* p) { delete p; },
      Metadata,
      [](const clap_preset_discovery_provider*, const char*) -> const void* { return nullptr; }};
  return provider;
}

const clap_preset_discovery_factory kFactory = {
    [](const clap_preset_discovery_factory*) { return 1u; },
    [](const clap_preset_discovery_factory*, uint32_t index) {
      return index == 0 ? &kProvider : nullptr;
    },
    Create};

} // namespace

const clap_preset_discovery_factory& PresetDiscoveryFactory() {
  return kFactory;
}

int32_t PresetProgram(uint32_t kind, const char* location, const char* key) {
  if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || location || !key || !*key ||
      std::strlen(key) > 3)
    return -1;
  int32_t program = 0;
  for (const char* c = key; *c; ++c) {
    if (*c < '0' || *c > '9')
      return -1;
    program = program * 10 + (*c - '0');
  }
  if (key[0] == '0' && key[1] != '\0')
    return -1;
  return program < int32_t(PluginDescription().Programs.size()) ? program : -1;
}
