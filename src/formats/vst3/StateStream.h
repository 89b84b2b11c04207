// The bytes the plug-in saves through a host's stream, and reading them back.
//
// Both states begin with the same header: the characters "Zntx", four characters naming the
// side ("proc" for the component, "edit" for the controller) and a format version, a 32-bit
// little-endian number. The component's version 1 goes on with the parameter count, the program
// count, the current program (32-bit little-endian integers) and every program's values in their
// own units (32-bit little-endian IEEE floats, program after program). The current values are the
// current program's: each edit is stored into the current program as it is made. The
// controller's version 1 holds nothing more.
//
// A later version of the plug-in reads every earlier version. A stream that is empty, shorter
// than its header says, of another side, of a version this one does not know, of another shape
// or holding a value that is not a number is refused whole.
#pragma once

#include "formats/vst3/Vst3Base.h"

#include <cstdint>
#include <optional>
#include <vector>

struct TSavedSettings {
  int32_t Parameters = 0;
  int32_t Programs = 0;
  int32_t CurrentProgram = 0;
  std::vector<float> Values; // Programs x Parameters, program after program
};

// Writes the whole state; false when the stream took less.
bool WriteComponentState(vst3::IBStream* stream, const TSavedSettings& settings);
bool WriteControllerState(vst3::IBStream* stream);

// The settings a stream holds, when they fit a plug-in with that many parameters and programs.
std::optional<TSavedSettings> ReadComponentState(vst3::IBStream* stream, int32_t parameters,
                                                 int32_t programs);
bool ReadControllerState(vst3::IBStream* stream);
