// A VST3 module loaded as a host loads one: the library found in the bundle's folder for this
// platform, its entry call, its factory, and the effect classes the factory offers. Unloading
// releases the factory, makes the exit call and closes the library, in that order.
#pragma once

#include "formats/vst3/Vst3Audio.h"
#include "formats/vst3/Vst3Object.h"

#include <functional>
#include <string>
#include <vector>

namespace zhost {

// Runs one named step of loading or setting up a plug-in (a call, or a few made together); a
// validator hands in one that checks around each step. An empty one just runs them.
using Vst3Step = std::function<void(const std::string& step, const std::function<void()>& call)>;

inline void RunStep(const Vst3Step& step, const std::string& name,
                    const std::function<void()>& call) {
  if (step)
    step(name, call);
  else
    call();
}

struct Vst3Class {
  vst3::Uid cid{};
  std::string name, vendor, version, subCategories, sdkVersion;
};

class Vst3Library {
public:
  // Loads the bundle (a folder NAME.vst3; on Windows also a single NAME.vst3 library); throws
  // HostError with the reason. Entering the module, asking for its factory and reading its
  // classes are steps.
  explicit Vst3Library(const std::string& bundle, const Vst3Step& step = {});
  ~Vst3Library();
  Vst3Library(const Vst3Library&) = delete;
  Vst3Library& operator=(const Vst3Library&) = delete;

  // Where the bundle keeps the library for this platform.
  static std::string BinaryPath(const std::string& bundle);

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
  void ReadClasses();
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
