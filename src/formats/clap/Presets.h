// The factory programs as presets: a preset-discovery factory whose one provider finds them
// inside the plug-in file (load keys "0", "1", ...), and the program a load key names.
#pragma once

#include "formats/clap/ClapAbi.h"

#include <cstdint>

const clap_preset_discovery_factory& PresetDiscoveryFactory();

// The program a preset's location and load key name, or -1 for one that names none of ours.
int32_t PresetProgram(uint32_t kind, const char* location, const char* key);
