#include "platform/Settings.h"

#include "platform/SettingsFiles.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace {
std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos)
    return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

std::filesystem::path FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? std::filesystem::path(value) : std::filesystem::path();
}
} // namespace

TSettingsStore::TSettingsStore() : TSettingsStore(DefaultPath()) {}

TSettingsStore::~TSettingsStore() = default;

TSettingsStore::TSettingsStore(std::filesystem::path path) : FPath(std::move(path)) {
  // Only a regular file is read: a pipe in its place would block the caller.
  std::error_code error;
  if (!std::filesystem::is_regular_file(FPath, error))
    return;
  std::ifstream file(FPath, std::ios::binary);
  std::string line;
  while (std::getline(file, line)) {
    const auto equals = line.find('=');
    const std::string_view name = equals == std::string::npos
                                      ? std::string_view()
                                      : Trimmed(std::string_view(line).substr(0, equals));
    if (name.empty() || Trimmed(line).starts_with('#'))
      FLines.push_back({line, {}, {}});
    else
      FLines.push_back(
          {{}, std::string(name), std::string(Trimmed(std::string_view(line).substr(equals + 1)))});
  }
}

std::filesystem::path TSettingsStore::DefaultPath() {
  if (std::filesystem::path path = FromEnvironment("ZINTRAX_SETTINGS_FILE"); !path.empty())
    return path;
  std::filesystem::path config = FromEnvironment("XDG_CONFIG_HOME");
  if (config.empty()) {
    const std::filesystem::path home = FromEnvironment("HOME");
    std::error_code error;
    config = (home.empty() ? std::filesystem::current_path(error) : home) / ".config";
  }
  return config / "Merrowlake" / "Zintrax.conf";
}

bool TSettingsStore::Writable() const {
  return true;
}

std::filesystem::path TSettingsStore::DataFolder() const {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(FPath, error);
  return error ? std::filesystem::path() : absolute.parent_path();
}

std::optional<std::string> TSettingsStore::Read(std::string_view name) const {
  for (const TLine& line : FLines)
    if (!line.Name.empty() && line.Name == name)
      return line.Value;
  return std::nullopt;
}

void TSettingsStore::WriteString(std::string_view name, std::string_view value) {
  // Line breaks would start new lines in the file: they end the value.
  const std::string_view kept = value.substr(0, value.find_first_of("\r\n"));
  for (TLine& line : FLines)
    if (line.Name == name) {
      line.Value = kept;
      return;
    }
  FLines.push_back({{}, std::string(name), std::string(kept)});
}

void TSettingsStore::DeleteValue(std::string_view name) {
  std::erase_if(FLines, [&](const TLine& line) { return !line.Name.empty() && line.Name == name; });
}

bool TSettingsStore::Save() const {
  std::error_code error;
  if (FPath.has_parent_path())
    std::filesystem::create_directories(FPath.parent_path(), error);
  std::string text;
  for (const TLine& line : FLines)
    text += (line.Name.empty() ? line.Text : line.Name + "=" + line.Value) + '\n';
  return WriteFileWhole(FPath, text);
}
