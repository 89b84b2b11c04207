#include "effect/ImpulseSettings.h"

#include "platform/MessageBox.h"

#include <system_error>
#include <vector>

TImpulseTable LoadImpulseTable(TSettingsStore& store) {
  TImpulseTable table = UnitImpulseTable();
  const std::string tableFile = store.ReadString(kImpulseFileValue);
  if (tableFile.empty() || !ReadImpulseFile(tableFile, table, 0, kImpulseBlocks))
    ReadImpulseBytes(EmbeddedImpulses(), table, 0, kImpulseBlocks);

  // A cabinet file holds one block; anything beyond its first 64 values is ignored.
  std::vector<const char*> merged;
  for (int block = 0; block < kImpulseBlocks; ++block) {
    const std::string cabinetFile = store.ReadString(kCabinetFileValues[block]);
    if (!cabinetFile.empty() && ReadImpulseFile(cabinetFile, table, block, 1))
      merged.push_back(kCabinetFileValues[block]);
  }
  if (merged.empty())
    return table;

  // The merged table goes beside the store, which may not exist yet.
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::absolute(store.Path(), error).parent_path();
  if (error)
    return table;
  std::filesystem::create_directories(folder, error);
  const std::filesystem::path target = folder / kMergedTableName;
  if (!WriteImpulseFile(target, table))
    return table;
  store.WriteString(kImpulseFileValue, target.string());
  for (const char* name : merged)
    store.DeleteValue(name);
  store.Save();
  ShowMessageBox("Impulse File Created", "Impulse File has been recreated by user, see \"" +
                                             std::string(kMergedTableName) + "\"");
  return table;
}
