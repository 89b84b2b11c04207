#include "hosting/ClapPresets.h"

#include <cstring>

namespace zhost {

namespace {

struct Crawl {
  std::vector<clap_preset_discovery_location> locations;
  std::vector<ClapPreset> presets;
  bool inPreset = false;
};

Crawl& Of(const clap_preset_discovery_indexer* indexer) {
  return *static_cast<Crawl*>(indexer->indexer_data);
}
Crawl& Of(const clap_preset_discovery_metadata_receiver* receiver) {
  return *static_cast<Crawl*>(receiver->receiver_data);
}

} // namespace

std::vector<ClapPreset> CrawlPresets(const ClapLibrary& library) {
  const auto* factory = static_cast<const clap_preset_discovery_factory*>(
      library.Entry().get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
  if (!factory)
    factory = static_cast<const clap_preset_discovery_factory*>(
        library.Entry().get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT));
  if (!factory || !factory->count || !factory->get_descriptor || !factory->create)
    return {};
  Crawl crawl;
  clap_preset_discovery_indexer indexer{};
  indexer.clap_version = CLAP_VERSION_OURS;
  indexer.name = "zintrax-host";
  indexer.vendor = "Merrowlake";
  indexer.url = "";
  indexer.version = "1";
  indexer.indexer_data = &crawl;
  indexer.declare_filetype = [](const clap_preset_discovery_indexer*,
                                const clap_preset_discovery_filetype* type) {
    return type != nullptr;
  };
  indexer.declare_location = [](const clap_preset_discovery_indexer* i,
                                const clap_preset_discovery_location* location) {
    if (!location)
      return false;
    Of(i).locations.push_back({location->flags, nullptr, location->kind, nullptr});
    return true;
  };
  indexer.declare_soundpack = [](const clap_preset_discovery_indexer*,
                                 const clap_preset_discovery_soundpack* pack) {
    return pack != nullptr;
  };
  indexer.get_extension = [](const clap_preset_discovery_indexer*, const char*) -> const void* {
    return nullptr;
  };
  clap_preset_discovery_metadata_receiver receiver{};
  receiver.receiver_data = &crawl;
  receiver.on_error = [](const clap_preset_discovery_metadata_receiver*, int32_t, const char*) {};
  receiver.begin_preset = [](const clap_preset_discovery_metadata_receiver* r, const char* name,
                             const char* key) {
    Of(r).presets.push_back({name ? name : "", key ? key : "", {}});
    return true;
  };
  receiver.add_plugin_id = [](const clap_preset_discovery_metadata_receiver* r,
                              const clap_universal_plugin_id* id) {
    if (id && id->abi && id->id && std::strcmp(id->abi, "clap") == 0 && !Of(r).presets.empty())
      Of(r).presets.back().pluginIds.push_back(id->id);
  };
  receiver.set_soundpack_id = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
  receiver.set_flags = [](const clap_preset_discovery_metadata_receiver*, uint32_t) {};
  receiver.add_creator = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
  receiver.set_description = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
  receiver.set_timestamps = [](const clap_preset_discovery_metadata_receiver*, uint64_t, uint64_t) {
  };
  receiver.add_feature = [](const clap_preset_discovery_metadata_receiver*, const char*) {};
  receiver.add_extra_info = [](const clap_preset_discovery_metadata_receiver*, const char*,
                               const char*) {};

  const uint32_t count = factory->count(factory);
  for (uint32_t i = 0; i < count && i < 64; ++i) {
    const clap_preset_discovery_provider_descriptor* d = factory->get_descriptor(factory, i);
    if (!d || !d->id)
      continue;
    const clap_preset_discovery_provider* provider = factory->create(factory, &indexer, d->id);
    if (!provider)
      continue;
    crawl.locations.clear();
    if (provider->init && provider->init(provider) && provider->get_metadata)
      for (const clap_preset_discovery_location& location : crawl.locations)
        if (location.kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN)
          provider->get_metadata(provider, location.kind, nullptr, &receiver);
    if (provider->destroy)
      provider->destroy(provider);
  }
  return crawl.presets;
}

} // namespace zhost
