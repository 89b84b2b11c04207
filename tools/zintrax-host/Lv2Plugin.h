// An LV2 plug-in as a host sees it: its description read through lilv (ports with their ranges
// and properties, presets, its X11 UI), the URIDs the host hands out, and its binaries loaded
// with dlopen. Shared by zintrax-host's LV2 instance and the validator, which both call the
// plug-in's descriptors directly.
#pragma once

#include <lilv/lilv.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zhost {

// URIs to numbers and back, the same for a plug-in and its UI; safe on any thread.
class UridMap {
public:
  UridMap() = default;
  UridMap(const UridMap&) = delete;
  UridMap& operator=(const UridMap&) = delete;

  LV2_URID Map(const char* uri);
  const char* Unmap(LV2_URID id);
  LV2_URID_Map* MapFeature() { return &FMap; }
  LV2_URID_Unmap* UnmapFeature() { return &FUnmap; }

private:
  static LV2_URID MapCallback(LV2_URID_Map_Handle handle, const char* uri);
  static const char* UnmapCallback(LV2_URID_Unmap_Handle handle, LV2_URID id);
  std::mutex FLock;
  std::map<std::string, LV2_URID> FIds;
  std::vector<const std::string*> FUris; // by id - 1; the map's keys stay where they are
  LV2_URID_Map FMap{this, &UridMap::MapCallback};
  LV2_URID_Unmap FUnmap{this, &UridMap::UnmapCallback};
};

struct Lv2Port {
  enum class Kind { Audio, Control, Atom, CV, Other };
  uint32_t index = 0;
  Kind kind = Kind::Other;
  bool input = false;
  bool optional = false; // lv2:connectionOptional
  std::string symbol, name, unit;
  // The range and default as written; for an lv2:sampleRate port, fractions of the rate.
  float min = 0.0f, max = 1.0f, def = 0.0f;
  bool integer = false, toggled = false, enumeration = false, sampleRate = false;
  std::vector<float> scalePoints;
  uint32_t minimumSize = 0; // of an atom port's buffer, in bytes (rsz:minimumSize)
};

class Lv2Plugin {
public:
  struct Preset {
    std::string uri, label;
  };
  struct Ui {
    std::string uri, binaryPath, bundlePath;
    std::vector<std::string> requiredFeatures;
  };

  // An LV2 bundle folder (the first plug-in it describes) or a plug-in URI (looked up where lilv
  // looks, LV2_PATH); throws HostError naming what was not found.
  explicit Lv2Plugin(const std::string& location);
  ~Lv2Plugin();
  Lv2Plugin(const Lv2Plugin&) = delete;
  Lv2Plugin& operator=(const Lv2Plugin&) = delete;

  const std::string& Location() const { return FLocation; }
  std::string Uri() const;
  std::string Name() const;
  std::string Author() const;
  std::string ClassLabel() const;
  std::string BinaryPath() const;
  // With the trailing separator, as instantiate takes it.
  std::string BundlePath() const;
  std::vector<std::string> RequiredFeatures() const;
  bool InPlaceBroken() const;
  // Whether its class is a generator's (an instrument or an oscillator among them): its output need
  // not follow its input.
  bool IsGenerator() const;

  const std::vector<Lv2Port>& Ports() const { return FPorts; }
  // Presets in the order of their URIs.
  const std::vector<Preset>& Presets() const { return FPresets; }
  // The port values a preset sets, by symbol; throws HostError when it cannot be read.
  std::vector<std::pair<std::string, float>> PresetValues(size_t preset, UridMap& urids) const;
  // The first UI of type ui:X11UI, if the plug-in has one.
  const std::optional<Ui>& X11Ui() const { return FUi; }

private:
  void Find();
  void ReadPorts();
  void ReadPresets();
  void ReadUi();
  std::vector<std::string> Features(const LilvNode* subject) const;

  std::string FLocation;
  LilvWorld* FWorld = nullptr;
  const LilvPlugin* FPlugin = nullptr;
  std::vector<Lv2Port> FPorts;
  std::vector<Preset> FPresets;
  std::optional<Ui> FUi;
};

// A plug-in's or a UI's binary loaded with dlopen, unloaded when destroyed.
class Lv2Library {
public:
  // Throws HostError with dlerror's reason.
  explicit Lv2Library(const std::string& path);
  ~Lv2Library();
  Lv2Library(const Lv2Library&) = delete;
  Lv2Library& operator=(const Lv2Library&) = delete;

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
