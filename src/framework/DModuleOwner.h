// The process-wide list of modules built by the exported entry. It owns them: a module leaves
// it when the host closes it, and whatever is left is freed when the library is unloaded.
#pragma once

#include <cstddef>
#include <memory>

class TCustomVST1Module;

void AdoptModule(std::unique_ptr<TCustomVST1Module> module);
// Destroys the module when the list owns it; answers whether it did.
bool ReleaseModule(TCustomVST1Module* module) noexcept;
std::size_t OwnedModuleCount();
