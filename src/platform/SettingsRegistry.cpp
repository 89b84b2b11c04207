#include "platform/Settings.h"

#include "platform/WideText.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>

namespace {
HKEY OpenKey(const std::filesystem::path& path, bool& writable) {
  HKEY key = nullptr;
  writable = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS;
  if (writable)
    return key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS)
    return key;
  return nullptr;
}

// The string value (REG_SZ, or REG_EXPAND_SZ with its variables expanded), or nothing.
std::optional<std::wstring> QueryString(HKEY key, const std::wstring& name) {
  DWORD bytes = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
        ERROR_SUCCESS)
      return std::nullopt;
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = DWORD(value.size() * sizeof(wchar_t));
    const LSTATUS status =
        RegGetValueW(key, nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, value.data(), &size);
    if (status == ERROR_SUCCESS) {
      value.resize(wcsnlen(value.c_str(), value.size()));
      return value;
    }
    // ERROR_MORE_DATA: the value grew between the two calls.
    if (status != ERROR_MORE_DATA)
      return std::nullopt;
  }
  return std::nullopt;
}
} // namespace

TSettingsStore::TSettingsStore() : TSettingsStore(DefaultPath()) {}

TSettingsStore::TSettingsStore(std::filesystem::path path) : FPath(std::move(path)) {
  FKey = OpenKey(FPath, FWritable);
}

TSettingsStore::~TSettingsStore() {
  if (FKey)
    RegCloseKey(FKey);
}

std::filesystem::path TSettingsStore::DefaultPath() {
  return L"SOFTWARE\\Merrowlake\\Zintrax";
}

bool TSettingsStore::Writable() const {
  return FWritable;
}

std::filesystem::path TSettingsStore::DataFolder() const {
  PWSTR folder = nullptr;
  std::filesystem::path path;
  if (SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &folder) == S_OK)
    path = std::filesystem::path(folder) / L"Merrowlake" / L"Zintrax";
  CoTaskMemFree(folder);
  return path;
}

std::optional<std::string> TSettingsStore::Read(std::string_view name) const {
  const auto change = std::find_if(FChanges.begin(), FChanges.end(),
                                   [&](const TChange& c) { return c.Name == name; });
  if (change != FChanges.end())
    return change->Value;
  if (!FKey)
    return std::nullopt;
  const std::optional<std::wstring> value = QueryString(FKey, WideFromUtf8(name));
  if (!value)
    return std::nullopt;
  return Utf8FromWide(*value);
}

// Each name has at most one change: the latest.
void TSettingsStore::WriteString(std::string_view name, std::string_view value) {
  std::erase_if(FChanges, [&](const TChange& c) { return c.Name == name; });
  FChanges.push_back({std::string(name), std::string(value)});
}

void TSettingsStore::DeleteValue(std::string_view name) {
  std::erase_if(FChanges, [&](const TChange& c) { return c.Name == name; });
  FChanges.push_back({std::string(name), std::nullopt});
}

bool TSettingsStore::Save() const {
  if (!FKey || !FWritable)
    return false;
  for (const TChange& change : FChanges) {
    if (!change.Value)
      continue;
    const std::wstring value = WideFromUtf8(*change.Value);
    if (RegSetValueExW(FKey, WideFromUtf8(change.Name).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()),
                       DWORD((value.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
      return false;
  }
  for (const TChange& change : FChanges) {
    if (change.Value)
      continue;
    const LSTATUS status = RegDeleteValueW(FKey, WideFromUtf8(change.Name).c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
      return false;
  }
  return true;
}
