#include "framework/DModuleOwner.h"

#include "framework/DVST1Module.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {
class TModuleOwner {
public:
  ~TModuleOwner() {
    for (auto& module : FModules)
      module->PrepareDestruction();
  }

  void Adopt(std::unique_ptr<TCustomVST1Module> module) {
    std::lock_guard<std::mutex> guard(FLock);
    FModules.push_back(std::move(module));
  }

  std::unique_ptr<TCustomVST1Module> Remove(TCustomVST1Module* module) {
    std::lock_guard<std::mutex> guard(FLock);
    auto it = std::find_if(FModules.begin(), FModules.end(),
                           [module](const auto& owned) { return owned.get() == module; });
    if (it == FModules.end())
      return nullptr;
    std::unique_ptr<TCustomVST1Module> found = std::move(*it);
    FModules.erase(it);
    return found;
  }

  std::size_t Count() {
    std::lock_guard<std::mutex> guard(FLock);
    return FModules.size();
  }

private:
  std::mutex FLock;
  std::vector<std::unique_ptr<TCustomVST1Module>> FModules;
};

TModuleOwner& Owner() {
  static TModuleOwner owner;
  return owner;
}
} // namespace

void AdoptModule(std::unique_ptr<TCustomVST1Module> module) {
  Owner().Adopt(std::move(module));
}

bool ReleaseModule(TCustomVST1Module* module) noexcept {
  std::unique_ptr<TCustomVST1Module> found = Owner().Remove(module);
  if (!found)
    return false;
  found->PrepareDestruction();
  return true;
}

std::size_t OwnedModuleCount() {
  return Owner().Count();
}
