// A VST3 module loaded as a host loads one: the library found in the bundle's folder for this
// platform, its entry call, its factory, and the effect classes the factory offers. Unloading
// releases the factory, makes the exit call and closes the library, in that order.
#pragma once

#include "formats/vst3/Vst3Audio.h"
#include "formats/vst3/Vst3Object.h"

#include <string>
#include <vector>

namespace zhost {

struct Vst3Class {
  vst3::Uid cid{};
  std::string name, vendor, version, subCategories, sdkVersion;
};

class Vst3Library {
public:
  // Loads the bundle (a folder NAME.vst3; on Windows also a single NAME.vst3 library); throws
  // HostError with the reason.
  explicit Vst3Library(const std::string& bundle);
  ~Vst3Library();
  Vst3Library(const Vst3Library&) = delete;
  Vst3Library& operator=(const Vst3Library&) = delete;

  // Where the bundle keeps the library for this platform.
  static std::string BinaryPath(const std::string& bundle);
  // Whether what the user named is a VST3 bundle rather than another format's file.
  static bool IsBundle(const std::string& location);

  const std::string& Binary() const { return FBinary; }
  vst3::IPluginFactory* Factory() const { return FFactory; }
  std::string Vendor() const;
  // The factory's audio effect classes ("Audio Module Class"), in its order.
  const std::vector<Vst3Class>& Effects() const { return FEffects; }
  // A new instance of class cid asked for interface I; throws HostError when refused.
  template <class I> vst3::TRef<I> Create(const vst3::Uid& cid) const {
    return vst3::TRef<I>::Adopt(static_cast<I*>(CreateRaw(cid, I::iid)));
  }

private:
  void Unload();
  void* CreateRaw(const vst3::Uid& cid, const vst3::Uid& iid) const;
  void* Symbol(const char* name) const;

  std::string FBinary;
  void* FLibrary = nullptr;
  vst3::IPluginFactory* FFactory = nullptr;
  bool FEntered = false;
  std::vector<Vst3Class> FEffects;
};

} // namespace zhost
