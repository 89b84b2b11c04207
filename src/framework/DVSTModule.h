// The published module class and the building of a module the way the exported entry does it.
#pragma once

#include "framework/DVST2Module.h"

#include <functional>
#include <memory>

class TVST2Module : public TCustomVST2Module {
public:
  // Applies the module's stored description through the property setters, in the order the
  // description lists them. A descendant overrides it with its own description; the bare
  // class has none.
  virtual void ReadStoredProperties() {}

  friend std::unique_ptr<TVST2Module>
  BuildVSTModule(const std::function<std::unique_ptr<TVST2Module>()>& make);
};

// Builds a module: construction, the stored description, the end of loading (OnInitialize,
// program initialisation, program 0), OnCreate. Throws what a step raised, leaving no module
// behind. Whoever owns the module calls its PrepareDestruction before destroying it.
std::unique_ptr<TVST2Module>
BuildVSTModule(const std::function<std::unique_ptr<TVST2Module>()>& make);

// Builds a module as BuildVSTModule does, then hands it the host callback and puts it in the
// process-wide list of modules, which frees it on effClose or, at the latest, when the
// library is unloaded. Answers the module's record, or null (leaving no module behind) when
// any step raised.
AEffect* CreateVSTModule(const std::function<std::unique_ptr<TVST2Module>()>& make,
                         audioMasterCallback audioMaster) noexcept;

template <class TModule> AEffect* CreateVSTModule(audioMasterCallback audioMaster) noexcept {
  return CreateVSTModule([] { return std::unique_ptr<TVST2Module>(new TModule); }, audioMaster);
}

// The number of modules alive in the process-wide list.
std::size_t LiveModuleCount();
