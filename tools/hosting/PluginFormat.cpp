#include "hosting/PluginFormat.h"

#include <filesystem>

namespace zhost {

namespace {

// The name's last part, without the separators that may follow a folder's name.
std::string LastPart(const std::string& location) {
  std::filesystem::path path(location);
  while (path.has_parent_path() && path.filename().empty())
    path = path.parent_path();
  return path.filename().string();
}

bool IsUri(const std::string& location) {
  return location.find("://") != std::string::npos || location.rfind("urn:", 0) == 0;
}

} // namespace

PluginFormat FormatOf(const std::string& location) {
  const std::string last = LastPart(location);
  if (std::filesystem::path(last).extension() == ".vst3")
    return PluginFormat::Vst3;
  if (std::filesystem::path(last).extension() == ".clap")
    return PluginFormat::Clap;
  if (std::filesystem::path(last).extension() == ".lv2" || IsUri(location))
    return PluginFormat::Lv2;
  return PluginFormat::Vst2;
}

const char* FormatName(PluginFormat format) {
  switch (format) {
  case PluginFormat::Lv2:
    return "LV2";
  case PluginFormat::Vst3:
    return "VST3";
  case PluginFormat::Clap:
    return "CLAP";
  default:
    return "VST 2.x";
  }
}

std::string LibraryLoadPath(const std::string& path) {
  return path.find('/') == std::string::npos ? "./" + path : path;
}

} // namespace zhost
