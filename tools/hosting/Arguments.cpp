#include "hosting/Arguments.h"

#include "hosting/Errors.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace zhost {

std::string ArgumentReader::Next() {
  std::string arg = FArgs[FNext++];
  FInlineValue.reset();
  const size_t equals = arg.find('=');
  if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
    FInlineValue = arg.substr(equals + 1);
    arg.resize(equals);
  }
  return arg;
}

std::string ArgumentReader::Value(const std::string& option) {
  if (FInlineValue) {
    std::string value = *FInlineValue;
    FInlineValue.reset();
    return value;
  }
  if (Done())
    throw UsageError(option + " needs a value");
  return FArgs[FNext++];
}

void ArgumentReader::NoValue(const std::string& option) const {
  if (FInlineValue)
    throw UsageError(option + " takes no value");
}

int64_t ParseInteger(const std::string& option, const std::string& text, int64_t min, int64_t max) {
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || text.front() == ' ' || value < min ||
      value > max)
    throw UsageError(option + " needs a whole number from " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not '" + text + "'");
  return value;
}

bool TakePlugin(const std::string& command, const std::string& arg, ArgumentReader& reader,
                std::optional<std::string>& plugin) {
  std::string path;
  if (arg == "--plugin")
    path = reader.Value(arg);
  else if (arg.empty() || arg.front() != '-')
    path = arg;
  else
    return false;
  if (plugin)
    throw UsageError(command + " takes one plug-in, not also '" + path + "'");
  plugin = path;
  return true;
}

std::string ProgramFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

std::string DefaultPluginPath() {
  const std::string folder = ProgramFolder();
  if (folder.empty())
    return {};
  const std::filesystem::path here(folder);
  // Installed: <prefix>/bin/<program> beside <prefix>/lib/vst/Zintrax.so.
  const std::filesystem::path installed = here.parent_path() / "lib" / "vst" / "Zintrax.so";
  // In a build tree: tools/<program>/<program> beside src/effect/Zintrax.so.
  const std::filesystem::path built =
      here.parent_path().parent_path() / "src" / "effect" / "Zintrax.so";
  std::error_code error;
  if (!std::filesystem::exists(installed, error) && std::filesystem::exists(built, error))
    return built.string();
  return installed.string();
}

} // namespace zhost
