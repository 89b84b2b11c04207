// What a host hands an LV2 binary: the binary itself loaded with dlopen (a plug-in's or a UI's),
// and the features and options an instance is given.
#pragma once

#include "hosting/Lv2Description.h"

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zhost {

// A plug-in's or a UI's binary loaded with dlopen, unloaded when destroyed.
class Lv2Binary {
public:
  // Throws HostError with dlerror's reason.
  explicit Lv2Binary(const std::string& path);
  ~Lv2Binary();
  Lv2Binary(const Lv2Binary&) = delete;
  Lv2Binary& operator=(const Lv2Binary&) = delete;

  // The descriptor of that URI through lv2_descriptor, or lv2ui_descriptor; throws HostError when
  // the binary has no such entry or describes no such URI.
  const LV2_Descriptor* PluginDescriptor(const std::string& uri) const;
  const LV2UI_Descriptor* UiDescriptor(const std::string& uri) const;

private:
  std::string FPath;
  void* FHandle = nullptr;
};

// The features and options a host hands an instance: URIDs both ways, the block lengths it runs
// (at most maxBlock frames a run, usually nominal) and the sample rate.
class Lv2InstanceFeatures {
public:
  Lv2InstanceFeatures(UridMap& urids, int32_t maxBlock, int32_t nominalBlock, float sampleRate);
  Lv2InstanceFeatures(const Lv2InstanceFeatures&) = delete;
  Lv2InstanceFeatures& operator=(const Lv2InstanceFeatures&) = delete;
  const LV2_Feature* const* List() const { return FList.data(); }

  // The required features these hosts honour; what a plug-in requires beyond them, it cannot get.
  static bool Honoured(const std::string& feature);

private:
  int32_t FMaxBlock, FNominalBlock;
  float FSampleRate;
  std::vector<LV2_Options_Option> FOptions;
  std::vector<LV2_Feature> FFeatures;
  std::vector<const LV2_Feature*> FList;
};

// The features of a plug-in's required list that Lv2InstanceFeatures does not honour, as one
// text ("" when none).
std::string UnhonouredFeatures(const std::vector<std::string>& required);

} // namespace zhost
