// The presets a CLAP library offers hosts that browse them: its preset-discovery factory crawled
// as a host's indexer crawls it, keeping the presets that live inside the plug-in file.
#pragma once

#include "hosting/ClapLibrary.h"

#include <string>
#include <vector>

namespace zhost {

struct ClapPreset {
  std::string name, loadKey;
  std::vector<std::string> pluginIds; // of the "clap" kind
};

// Every provider's presets of kind "inside the plug-in", in the order they were told; none when
// the library has no preset-discovery factory. A provider that fails is left out.
std::vector<ClapPreset> CrawlPresets(const ClapLibrary& library);

} // namespace zhost
