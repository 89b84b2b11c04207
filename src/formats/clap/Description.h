// What the library tells hosts before any instance exists: the module's own description and the
// plug-in descriptor made from it.
#pragma once

#include "formats/clap/ClapAbi.h"
#include "formats/common/ModuleDescription.h"

// The description of the plug-in, read once per process from a module built for the purpose.
const TModuleDescription& PluginDescription();

// The one plug-in's descriptor; it stays valid as long as the library is loaded.
const clap_plugin_descriptor& PluginDescriptor();
