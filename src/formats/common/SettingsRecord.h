// The plug-in's settings as a host keeps them in a project: a versioned record of bytes, what it
// holds, and taking it from a module and giving it back.
//
// A record begins with a header: the characters "Zntx", four characters naming its kind and a
// format version, a 32-bit little-endian number. The settings record (kind "proc") of version 1
// goes on with the parameter count, the program count, the current program (32-bit little-endian
// integers) and every program's values in their own units (32-bit little-endian IEEE floats,
// program after program). The current values are the current program's: each edit is stored into
// the current program as it is made. Version 2, written only for a plug-in that is bypassed, goes
// on after the values with one more 32-bit word, 1 for bypassed; a plug-in that is not bypassed
// is written as version 1, the same bytes as before there was a bypass. A record of another kind
// holds nothing past its header (a side of a format that keeps no settings of its own).
//
// A later version of the plug-in reads every earlier version. A record that is empty, shorter
// than its header says, of another kind, of a version this one does not know, of another shape
// or holding a value that is not a number is refused whole.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class TModuleAdapter;

struct TSavedSettings {
  int32_t Parameters = 0;
  int32_t Programs = 0;
  int32_t CurrentProgram = 0;
  std::vector<float> Values; // Programs x Parameters, program after program
  bool Bypassed = false;
};

using TRecordKind = char[4];
inline constexpr TRecordKind kSettingsRecordKind = {'p', 'r', 'o', 'c'};

// Reads exactly size bytes of the host's stream into to; false when the stream ends first.
using TReadExactly = std::function<bool(uint8_t* to, uint32_t size)>;

std::vector<uint8_t> SettingsRecord(const TSavedSettings& settings);
// The settings a record holds, when they fit a plug-in with that many parameters and programs.
std::optional<TSavedSettings> ReadSettingsRecord(const TReadExactly& read, int32_t parameters,
                                                 int32_t programs);

std::vector<uint8_t> BareRecord(const TRecordKind& kind);
bool ReadBareRecord(const TReadExactly& read, const TRecordKind& kind);

// What the module holds now: every program's values, the current one's as they stand, and its
// bypass.
TSavedSettings CaptureSettings(const TModuleAdapter& module);
// Gives each program its values, selects the current program again and sets the bypass; the
// settings must fit the module (as ReadSettingsRecord makes sure).
void ApplySettings(TModuleAdapter& module, const TSavedSettings& settings);
