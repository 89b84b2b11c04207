// An LV2 plug-in as a host sees it before loading it: its description read through lilv (ports
// with their ranges and properties, presets, its X11 UI), and the URIDs the host hands out.
#pragma once

#include <lilv/lilv.h>
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

class Lv2Description {
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
  explicit Lv2Description(const std::string& location);
  ~Lv2Description();
  Lv2Description(const Lv2Description&) = delete;
  Lv2Description& operator=(const Lv2Description&) = delete;

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

} // namespace zhost
