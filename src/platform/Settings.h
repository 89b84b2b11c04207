// The per-machine settings of the plug-in: named string values, names and values in UTF-8.
// Changes are collected and written by Save.
//
// On Windows they are the string values of the registry key HKEY_LOCAL_MACHINE\Path()
// (SOFTWARE\Merrowlake\Zintrax). The key is opened with full access and created when it is
// missing; where full access is refused (an ordinary user) it is opened for reading only, and
// the store is not Writable. A missing key holds no values, and a value that is not a string
// counts as none. Files that belong with the settings go to %ProgramData%\Merrowlake\Zintrax,
// shared by all users like the key.
//
// On Linux they live in a UTF-8 text file with one Name=Value per line, at
// $XDG_CONFIG_HOME/Merrowlake/Zintrax.conf (~/.config/... when XDG_CONFIG_HOME is not set), or
// at the path in ZINTRAX_SETTINGS_FILE. A missing or unreadable file holds no values. Save
// replaces the file as a whole, so a reader never sees half of it. Files that belong with the
// settings go beside the file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
struct HKEY__;
#endif

class TSettingsStore {
public:
  // Opens the store at DefaultPath().
  TSettingsStore();
  // Opens the store at path: a file on Linux, a key under HKEY_LOCAL_MACHINE on Windows.
  explicit TSettingsStore(std::filesystem::path path);
  ~TSettingsStore();
  TSettingsStore(const TSettingsStore&) = delete;
  TSettingsStore& operator=(const TSettingsStore&) = delete;

  static std::filesystem::path DefaultPath();

  const std::filesystem::path& Path() const { return FPath; }
  // False when the store could only be opened for reading: Save then writes nothing.
  bool Writable() const;
  // The absolute path of the folder for files that belong with the settings; empty when there
  // is none.
  std::filesystem::path DataFolder() const;

  // The value, or nothing when the store does not hold it.
  std::optional<std::string> Read(std::string_view name) const;
  // Empty when the store does not hold the value.
  std::string ReadString(std::string_view name) const { return Read(name).value_or(""); }
  void WriteString(std::string_view name, std::string_view value);
  void DeleteValue(std::string_view name);

  // Applies the changes; answers false when any of them failed. On Linux the values go into a
  // file beside the store, which then replaces it (the folder is created when missing; lines
  // that hold no value, comments, are kept; the file stays as it was on failure). On Windows
  // every written value is set first, and values are deleted only once all of those succeeded.
  bool Save() const;

private:
  std::filesystem::path FPath;
#ifdef _WIN32
  struct TChange {
    std::string Name;
    std::optional<std::string> Value; // nothing for a deletion
  };

  HKEY__* FKey = nullptr;
  bool FWritable = false;
  std::vector<TChange> FChanges;
#else
  struct TLine {
    std::string Text; // the line as read, for lines that hold no value
    std::string Name; // empty for lines that hold no value
    std::string Value;
  };

  std::vector<TLine> FLines;
#endif
};
