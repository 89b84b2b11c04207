// The bundle's Turtle files, written from the module's description.
#pragma once

#include "formats/common/ModuleDescription.h"

#include <string>

struct TLv2Bundle {
  std::string Manifest; // manifest.ttl
  std::string Plugin;   // the plug-in, its ports and its UI
  std::string Presets;  // the factory programs
};

// dspBinary and uiBinary are the file names of the binaries in the bundle; without an editor
// no UI is described.
TLv2Bundle Lv2BundleText(const TModuleDescription& description, const std::string& dspBinary,
                         const std::string& uiBinary);

inline constexpr const char* kLv2PluginFile = "Zintrax.ttl";
inline constexpr const char* kLv2PresetsFile = "presets.ttl";
