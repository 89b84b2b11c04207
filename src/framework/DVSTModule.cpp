#include "framework/DVSTModule.h"

#include "framework/DFloatingPoint.h"
#include "framework/DModuleOwner.h"

std::unique_ptr<TVST2Module>
BuildVSTModule(const std::function<std::unique_ptr<TVST2Module>()>& make) {
  std::unique_ptr<TVST2Module> module;
  try {
    module = make();
    module->ReadStoredProperties();
    if (module->OldCreateOrder && module->OnCreate)
      module->OnCreate(module.get());
    module->FinishLoading();
    if (!module->OldCreateOrder && module->OnCreate)
      module->OnCreate(module.get());
    return module;
  } catch (...) {
    if (module)
      module->PrepareDestruction();
    throw;
  }
}

AEffect* CreateVSTModule(const std::function<std::unique_ptr<TVST2Module>()>& make,
                         audioMasterCallback audioMaster) noexcept {
  const TMaskedFloatingPoint masked;
  try {
    std::unique_ptr<TVST2Module> module = BuildVSTModule(make);
    AEffect* effect = module->Effect();
    effect->user = module.get();
    module->SetAudioMaster(audioMaster);
    AdoptModule(std::move(module));
    return effect;
  } catch (...) {
    return nullptr;
  }
}

std::size_t LiveModuleCount() {
  return OwnedModuleCount();
}
