#include "formats/clap/Description.h"

#include "formats/clap/Plugin.h"
#include "formats/common/ModuleAdapter.h"

const TModuleDescription& PluginDescription() {
  // A module that cannot be built describes nothing; creating an instance then fails as well.
  static const TModuleDescription description = [] {
    try {
      return TModuleAdapter::Describe();
    } catch (...) {
      return TModuleDescription{};
    }
  }();
  return description;
}

const clap_plugin_descriptor& PluginDescriptor() {
  static const char* const features[] = {"audio-effect", "stereo", "distortion", nullptr};
  static const clap_plugin_descriptor descriptor = {
      CLAP_VERSION_OURS,
      TClapPlugin::kId,
      PluginDescription().Name.c_str(),
      PluginDescription().Vendor.c_str(),
      "",
      "",
      "",
      ZINTRAX_VERSION,
      "Acoustic feedback between an instrument and its loudspeaker cabinet",
      features};
  return descriptor;
}
