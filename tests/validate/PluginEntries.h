// The test plug-ins' entry: each defines CreateTestPlugin, and PluginEntries.cpp exports it
// under both names a host looks for.
#pragma once

#include "framework/DAEffect.h"

AEffect* CreateTestPlugin(audioMasterCallback host);
