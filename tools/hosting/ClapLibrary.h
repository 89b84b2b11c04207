// A CLAP file loaded as a host loads one: the library, its clap_entry (initialised once, ended
// when unloaded), its plug-in factory and the descriptors the factory offers.
#pragma once

#include "formats/clap/ClapAbi.h"

#include <string>
#include <vector>

namespace zhost {

class ClapLibrary {
public:
  // Loads the file and initialises its entry; throws HostError with the reason.
  explicit ClapLibrary(const std::string& path);
  ~ClapLibrary();
  ClapLibrary(const ClapLibrary&) = delete;
  ClapLibrary& operator=(const ClapLibrary&) = delete;

  const std::string& Path() const { return FPath; }
  const clap_plugin_entry& Entry() const { return *FEntry; }
  const clap_plugin_factory& Factory() const { return *FFactory; }
  // The factory's descriptors, in its order.
  const std::vector<const clap_plugin_descriptor*>& Plugins() const { return FPlugins; }

private:
  void Unload();

  std::string FPath;
  void* FLibrary = nullptr;
  const clap_plugin_entry* FEntry = nullptr;
  bool FInitialised = false;
  const clap_plugin_factory* FFactory = nullptr;
  std::vector<const clap_plugin_descriptor*> FPlugins;
};

} // namespace zhost
