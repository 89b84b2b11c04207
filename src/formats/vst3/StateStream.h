// The plug-in's records (formats/common/SettingsRecord.h) through a host's stream: the
// component's state is the settings record, the controller's a bare record of kind "edit".
#pragma once

#include "formats/common/SettingsRecord.h"
#include "formats/vst3/Vst3Base.h"

#include <cstdint>
#include <vector>

inline constexpr TRecordKind kControllerRecordKind = {'e', 'd', 'i', 't'};

// Writes the whole record; false when the stream took less.
bool WriteRecord(vst3::IBStream* stream, const std::vector<uint8_t>& record);
// Reads from the stream, gathering short reads; a null stream has nothing to read.
TReadExactly StreamReader(vst3::IBStream* stream);
