#include "effect/ImpulseSettings.h"

#include "platform/MessageBox.h"

#include <system_error>
#include <vector>

namespace {
// The store keeps its texts in UTF-8, which is not the narrow encoding of paths on Windows.
std::filesystem::path PathOf(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string TextOf(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}
} // namespace

TImpulseTable LoadImpulseTable(TSettingsStore& store) {
  TImpulseTable table = UnitImpulseTable();
  const std::string tableFile = store.ReadString(kImpulseFileValue);
  if (tableFile.empty() || !ReadImpulseFile(PathOf(tableFile), table, 0, kImpulseBlocks))
    ReadImpulseBytes(EmbeddedImpulses(), table, 0, kImpulseBlocks);

  // A cabinet file holds one block; anything beyond its first 64 values is ignored.
  std::vector<const char*> merged;
  for (int block = 0; block < kImpulseBlocks; ++block) {
    const std::string cabinetFile = store.ReadString(kCabinetFileValues[block]);
    if (!cabinetFile.empty() && ReadImpulseFile(PathOf(cabinetFile), table, block, 1))
      merged.push_back(kCabinetFileValues[block]);
  }
  // A store that can only be read keeps what it names: the cabinets serve this open only.
  if (merged.empty() || !store.Writable())
    return table;

  // The merged table goes into the store's data folder, which may not exist yet.
  const std::filesystem::path folder = store.DataFolder();
  if (folder.empty())
    return table;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::filesystem::path target = folder / kMergedTableName;
  if (!WriteImpulseFile(target, table))
    return table;
  store.WriteString(kImpulseFileValue, TextOf(target));
  for (const char* name : merged)
    store.DeleteValue(name);
  store.Save();
  ShowMessageBox("Impulse File Created", "Impulse File has been recreated by user, see \"" +
                                             std::string(kMergedTableName) + "\"");
  return table;
}
