// The impulse table an opening effect uses, chosen by the settings store: the table file that
// "Impulse File" names, or the embedded table; then single cabinets from the files that
// "1x12 File", "2x12 File", "4x10 File" and "4x12 File" name. When a cabinet file was read,
// the whole table is written to "Impulses.pcm" in the store's folder, "Impulse File" is set
// to that file's absolute path, the cabinet values are removed (only once the table file
// has been written whole), and a message tells the person so.
#pragma once

#include "effect/ImpulseTable.h"
#include "platform/Settings.h"

inline constexpr const char* kImpulseFileValue = "Impulse File";
inline constexpr const char* kCabinetFileValues[kImpulseBlocks] = {"1x12 File", "2x12 File",
                                                                   "4x10 File", "4x12 File"};
inline constexpr const char* kMergedTableName = "Impulses.pcm";

// Loads the table as described; the store is changed and saved after a merge.
TImpulseTable LoadImpulseTable(TSettingsStore& store);
