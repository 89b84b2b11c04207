// The impulse table an opening effect uses, chosen by the settings store: the table file that
// "Impulse File" names, or the embedded table; then single cabinets from the files that
// "1x12 File", "2x12 File", "4x10 File" and "4x12 File" name. When a cabinet file was read
// and the store is writable, the whole table is written to "Impulses.pcm" in the store's data
// folder, "Impulse File" is set to that file's absolute path, the cabinet values are removed
// (only once the table file and "Impulse File" have been written), and a message tells the
// person so. A store that can only be read is left as it is and nothing is shown.
#pragma once

#include "effect/ImpulseTable.h"
#include "platform/Settings.h"

inline constexpr const char* kImpulseFileValue = "Impulse File";
inline constexpr const char* kCabinetFileValues[kImpulseBlocks] = {"1x12 File", "2x12 File",
                                                                   "4x10 File", "4x12 File"};
inline constexpr const char* kMergedTableName = "Impulses.pcm";

// Loads the table as described; the store is changed and saved after a merge.
TImpulseTable LoadImpulseTable(TSettingsStore& store);
