#include "PlayState.h"

#include "Selection.h"

#include "hosting/Errors.h"
#include "hosting/NumberText.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zhost {

namespace {

constexpr const char* kHeader = "zintrax-host play settings 1";

std::filesystem::path ConfigHome() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
    return config;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : ".") / ".config";
}

} // namespace

std::string Identity(const Instance& plugin) {
  const std::string name = Trim(plugin.Name());
  return (name.empty() ? plugin.Location() : name) + " (" + plugin.Format() + ")";
}

std::filesystem::path DefaultStatePath(const Instance& plugin) {
  std::string file = "play-";
  for (char c : Identity(plugin)) {
    if (std::isalnum(static_cast<unsigned char>(c)))
      file += c;
    else if (file.back() != '-')
      file += '-';
  }
  if (file.back() == '-')
    file.pop_back();
  return ConfigHome() / "Merrowlake" / (file + ".state");
}

PlayState CaptureState(const Instance& plugin) {
  PlayState state;
  state.plugin = Identity(plugin);
  state.program = plugin.CurrentProgram();
  for (int32_t i = 0; i < plugin.NumParams(); ++i)
    state.params.emplace_back(Trim(plugin.ParameterName(i)), Trim(plugin.ParameterDisplay(i)));
  return state;
}

void ApplyState(Instance& plugin, const PlayState& state) {
  std::vector<int32_t> indexes;
  try {
    for (const auto& [name, value] : state.params)
      indexes.push_back(FindParameter(plugin, name));
  } catch (const UsageError& e) {
    throw HostError(std::string("the settings do not fit the plug-in: ") + e.what());
  }
  if (state.program < 0 || state.program >= std::max(plugin.NumPrograms(), 1))
    throw HostError("the settings name program " + std::to_string(state.program) +
                    ", which the plug-in does not have");
  if (plugin.NumPrograms() > 0)
    plugin.SelectProgram(state.program);
  for (size_t i = 0; i < indexes.size(); ++i) {
    try {
      SetParameterText(plugin, indexes[i], state.params[i].second);
    } catch (const UsageError& e) {
      throw HostError(std::string("the settings do not fit the plug-in: ") + e.what());
    }
  }
}

std::optional<PlayState> ReadState(const std::filesystem::path& path, const std::string& identity) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::error_code error;
    if (!std::filesystem::exists(path, error))
      return std::nullopt;
    throw HostError(path.string() + ": cannot be read");
  }
  const auto damaged = [&](int line, const std::string& why) {
    return HostError(path.string() + ": not play's settings (line " + std::to_string(line) + ": " +
                     why + "); left as it is");
  };
  PlayState state;
  std::string line;
  int number = 0;
  bool sawProgram = false;
  while (std::getline(in, line)) {
    ++number;
    if (number == 1) {
      if (line != kHeader)
        throw damaged(number, "the first line is not \"" + std::string(kHeader) + "\"");
      continue;
    }
    const size_t tab = line.find('\t');
    const std::string key = line.substr(0, tab),
                      rest = tab == line.npos ? "" : line.substr(tab + 1);
    if (tab == line.npos)
      throw damaged(number, "no tab after \"" + key + "\"");
    if (key == "plugin") {
      state.plugin = rest;
    } else if (key == "program") {
      char* end = nullptr;
      const long program = std::strtol(rest.c_str(), &end, 10);
      if (rest.empty() || *end != '\0' || program < 0 || program > 1 << 20)
        throw damaged(number, "the program is not a number");
      state.program = int32_t(program);
      sawProgram = true;
    } else if (key == "param") {
      const size_t split = rest.find('\t');
      if (split == rest.npos || split == 0)
        throw damaged(number, "a parameter without a name and a value");
      state.params.emplace_back(rest.substr(0, split), rest.substr(split + 1));
    } else {
      throw damaged(number, "unknown key \"" + key + "\"");
    }
  }
  if (number == 0)
    throw damaged(1, "the file is empty");
  if (!sawProgram || state.plugin.empty())
    throw damaged(number, "no plugin or program line");
  if (state.plugin != identity)
    throw HostError(path.string() + ": the settings of " + state.plugin + ", not of " + identity +
                    "; left as they are");
  return state;
}

void WriteState(const std::filesystem::path& path, const PlayState& state) {
  std::error_code error;
  if (path.has_parent_path())
    std::filesystem::create_directories(path.parent_path(), error);
  std::ostringstream text;
  text << kHeader << "\nplugin\t" << state.plugin << "\nprogram\t" << state.program << '\n';
  for (const auto& [name, value] : state.params)
    text << "param\t" << name << '\t' << value << '\n';
  std::filesystem::path temporary = path;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text.str();
    out.close();
    if (!out)
      throw HostError(temporary.string() + ": cannot be written");
  }
  std::filesystem::rename(temporary, path, error);
  if (error)
    throw HostError(path.string() + ": cannot be written (" + error.message() + ")");
}

} // namespace zhost
