#include "hosting/Lv2Binary.h"

#include "hosting/Errors.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/parameters/parameters.h>

#include <dlfcn.h>

#include <algorithm>

namespace zhost {

Lv2Binary::Lv2Binary(const std::string& path) : FPath(path) {
  FHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!FHandle) {
    const char* reason = dlerror();
    throw HostError("cannot load " + path + ": " + (reason ? reason : "unknown reason"));
  }
}

Lv2Binary::~Lv2Binary() {
  dlclose(FHandle);
}

namespace {

template <typename Descriptor>
const Descriptor* FindDescriptor(void* library, const char* entryName, const std::string& path,
                                 const std::string& uri) {
  using Entry = const Descriptor* (*)(uint32_t);
  auto entry = reinterpret_cast<Entry>(dlsym(library, entryName));
  if (!entry)
    throw HostError(path + " exports no " + entryName);
  for (uint32_t i = 0; i < 4096; ++i) {
    const Descriptor* descriptor = entry(i);
    if (!descriptor)
      break;
    if (descriptor->URI && uri == descriptor->URI)
      return descriptor;
  }
  throw HostError(path + ": " + entryName + " describes no " + uri);
}

} // namespace

const LV2_Descriptor* Lv2Binary::PluginDescriptor(const std::string& uri) const {
  return FindDescriptor<LV2_Descriptor>(FHandle, "lv2_descriptor", FPath, uri);
}

const LV2UI_Descriptor* Lv2Binary::UiDescriptor(const std::string& uri) const {
  return FindDescriptor<LV2UI_Descriptor>(FHandle, "lv2ui_descriptor", FPath, uri);
}

Lv2InstanceFeatures::Lv2InstanceFeatures(UridMap& urids, int32_t maxBlock, int32_t nominalBlock,
                                         float sampleRate)
    : FMaxBlock(maxBlock), FNominalBlock(nominalBlock), FSampleRate(sampleRate) {
  const LV2_URID intType = urids.Map(LV2_ATOM__Int);
  FOptions = {
      {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), intType,
       &FMaxBlock},
      {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t),
       intType, &FNominalBlock},
      {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_PARAMETERS__sampleRate), sizeof(float),
       urids.Map(LV2_ATOM__Float), &FSampleRate},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
  };
  FFeatures = {{LV2_URID__map, urids.MapFeature()},
               {LV2_URID__unmap, urids.UnmapFeature()},
               {LV2_OPTIONS__options, FOptions.data()},
               {LV2_BUF_SIZE__boundedBlockLength, nullptr}};
  for (const LV2_Feature& feature : FFeatures)
    FList.push_back(&feature);
  FList.push_back(nullptr);
}

bool Lv2InstanceFeatures::Honoured(const std::string& feature) {
  static const char* const kHonoured[] = {LV2_URID__map,
                                          LV2_URID__unmap,
                                          LV2_OPTIONS__options,
                                          LV2_CORE__isLive,
                                          LV2_CORE__hardRTCapable,
                                          LV2_CORE__inPlaceBroken,
                                          LV2_BUF_SIZE__boundedBlockLength};
  return std::any_of(std::begin(kHonoured), std::end(kHonoured),
                     [&](const char* uri) { return feature == uri; });
}

std::string UnhonouredFeatures(const std::vector<std::string>& required) {
  std::string missing;
  for (const std::string& feature : required)
    if (!Lv2InstanceFeatures::Honoured(feature))
      missing += (missing.empty() ? "" : ", ") + feature;
  return missing;
}

} // namespace zhost
