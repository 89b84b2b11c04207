// The per-machine settings of the plug-in: named string values. On Linux they live in a UTF-8
// text file with one Name=Value per line, at $XDG_CONFIG_HOME/Merrowlake/Zintrax.conf
// (~/.config/... when XDG_CONFIG_HOME is not set), or at the path in ZINTRAX_SETTINGS_FILE.
// A missing or unreadable file holds no values. Changes are collected and written by Save,
// which replaces the file as a whole, so a reader never sees half of it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TSettingsStore {
public:
  // Reads the store at DefaultPath().
  TSettingsStore();
  // Reads the store at path.
  explicit TSettingsStore(std::filesystem::path path);

  static std::filesystem::path DefaultPath();

  const std::filesystem::path& Path() const { return FPath; }

  // The value, or nothing when the store does not hold it.
  std::optional<std::string> Read(std::string_view name) const;
  // Empty when the store does not hold the value.
  std::string ReadString(std::string_view name) const { return Read(name).value_or(""); }
  void WriteString(std::string_view name, std::string_view value);
  void DeleteValue(std::string_view name);

  // Writes the values into a file beside the store, which then replaces it; creates the
  // folder when it is missing. Lines that hold no value (comments) are kept. Answers false,
  // leaving the file as it was, when that fails.
  bool Save() const;

private:
  struct TLine {
    std::string Text; // the line as read, for lines that hold no value
    std::string Name; // empty for lines that hold no value
    std::string Value;
  };

  std::filesystem::path FPath;
  std::vector<TLine> FLines;
};
