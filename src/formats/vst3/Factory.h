// The module's factory: one audio effect class, described from the module's own description.
#pragma once

#include "formats/common/ModuleDescription.h"
#include "formats/vst3/Vst3Base.h"

// The description of the plug-in, read once per process from a module built for the purpose.
const TModuleDescription& PluginDescription();

// The factory, counted: the first call makes it, later ones add a reference to the same one,
// and it goes when the last reference is released.
vst3::IPluginFactory* AcquireFactory();
