#include "CommandLine.h"

#include "Errors.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace zhost {

namespace {

constexpr int32_t kMaxBlock = 65536;
constexpr int32_t kMinSampleRate = 8000;
constexpr int32_t kMaxSampleRate = 768000;
constexpr double kMaxTail = 3600.0;
constexpr int64_t kMaxRepeat = 1000;

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

double ParseSeconds(const std::string& option, const std::string& text, double max) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0.0 || value > max)
    throw UsageError(option + " needs a number of seconds from 0 to " +
                     std::to_string(static_cast<int>(max)) + ", not '" + text + "'");
  return value;
}

// Walks the arguments of one command: "--name value" and "--name=value" both work.
class ArgumentReader {
public:
  explicit ArgumentReader(const std::vector<std::string>& args) : FArgs(args) {}

  bool Done() const { return FNext >= FArgs.size(); }

  // The next argument; for "--name=value", the "--name" part (the value is kept for Value()).
  std::string Next() {
    std::string arg = FArgs[FNext++];
    FInlineValue.reset();
    const size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      FInlineValue = arg.substr(equals + 1);
      arg.resize(equals);
    }
    return arg;
  }

  std::string Value(const std::string& option) {
    if (FInlineValue) {
      std::string value = *FInlineValue;
      FInlineValue.reset();
      return value;
    }
    if (Done())
      throw UsageError(option + " needs a value");
    return FArgs[FNext++];
  }

  void NoValue(const std::string& option) const {
    if (FInlineValue)
      throw UsageError(option + " takes no value");
  }

private:
  const std::vector<std::string>& FArgs;
  size_t FNext = 1;
  std::optional<std::string> FInlineValue;
};

bool IsHelp(const std::string& arg) {
  return arg == "--help" || arg == "-h" || arg == "help";
}

// The plug-in a command loads: "--plugin PATH" or an argument that is not an option, given
// once; false for any other argument.
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

std::string PluginOrDefault(const std::optional<std::string>& plugin) {
  return plugin ? *plugin : DefaultPluginPath();
}

InfoOptions ParseInfo(ArgumentReader& reader) {
  std::optional<std::string> plugin;
  while (!reader.Done()) {
    const std::string arg = reader.Next();
    if (!TakePlugin("info", arg, reader, plugin))
      throw UsageError("info: unknown option " + arg);
  }
  return {PluginOrDefault(plugin)};
}

std::pair<std::string, std::string> ParseParam(const std::string& setting) {
  const size_t equals = setting.find('=');
  if (equals == std::string::npos || equals == 0 || equals + 1 == setting.size())
    throw UsageError("--param needs NAME=VALUE, not '" + setting + "'");
  return {setting.substr(0, equals), setting.substr(equals + 1)};
}

// --program and --param, shared by the commands that load one instance; false for any other
// argument.
template <class Options>
bool ParseInstanceOption(const std::string& arg, ArgumentReader& reader, Options& options) {
  if (arg == "--program")
    options.program = reader.Value(arg);
  else if (arg == "--param")
    options.params.push_back(ParseParam(reader.Value(arg)));
  else
    return false;
  return true;
}

SnapshotOptions ParseSnapshot(ArgumentReader& reader) {
  SnapshotOptions options;
  std::optional<std::string> plugin;
  while (!reader.Done()) {
    const std::string arg = reader.Next();
    if (TakePlugin("snapshot", arg, reader, plugin) || ParseInstanceOption(arg, reader, options))
      continue;
    if (arg == "--out")
      options.out = reader.Value(arg);
    else if (arg == "--idle")
      options.idleMs = static_cast<int32_t>(ParseInteger(arg, reader.Value(arg), 0, 60000));
    else
      throw UsageError("snapshot: unknown argument " + arg);
  }
  options.plugin = PluginOrDefault(plugin);
  if (!options.out.ends_with(".png") && !options.out.ends_with(".PNG"))
    throw UsageError("snapshot needs --out FILE.png");
  return options;
}

EditOptions ParseEdit(ArgumentReader& reader) {
  EditOptions options;
  std::optional<std::string> plugin;
  while (!reader.Done()) {
    const std::string arg = reader.Next();
    if (!TakePlugin("edit", arg, reader, plugin) && !ParseInstanceOption(arg, reader, options))
      throw UsageError("edit: unknown argument " + arg);
  }
  options.plugin = PluginOrDefault(plugin);
  return options;
}

RenderOptions ParseRender(ArgumentReader& reader) {
  RenderOptions options;
  std::optional<std::string> plugin;
  bool haveOut = false;
  while (!reader.Done()) {
    const std::string arg = reader.Next();
    if (TakePlugin("render", arg, reader, plugin) || ParseInstanceOption(arg, reader, options)) {
      continue;
    } else if (arg == "--in") {
      options.in = reader.Value(arg);
      if (options.in.empty())
        throw UsageError("--in needs a file name");
    } else if (arg == "--out") {
      options.out = reader.Value(arg);
      haveOut = !options.out.empty();
    } else if (arg == "--plot") {
      options.plot = reader.Value(arg);
      if (options.plot.empty())
        throw UsageError("--plot needs a file name");
    } else if (arg == "--seed") {
      options.seed = static_cast<uint32_t>(
          ParseInteger(arg, reader.Value(arg), 0, std::numeric_limits<uint32_t>::max()));
    } else if (arg == "--block") {
      options.block = static_cast<int32_t>(ParseInteger(arg, reader.Value(arg), 1, kMaxBlock));
    } else if (arg == "--sample-rate") {
      options.sampleRate = static_cast<int32_t>(
          ParseInteger(arg, reader.Value(arg), kMinSampleRate, kMaxSampleRate));
    } else if (arg == "--tail") {
      options.tail = ParseSeconds(arg, reader.Value(arg), kMaxTail);
    } else {
      throw UsageError("render: unknown argument " + arg);
    }
  }
  if (!haveOut)
    throw UsageError("render needs --out FILE (.wav, .flac or .aiff)");
  options.plugin = PluginOrDefault(plugin);
  return options;
}

std::vector<std::string> ParseNames(const std::string& option, const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = std::min(list.find(',', start), list.size());
    const std::string name = list.substr(start, comma - start);
    if (name.empty())
      throw UsageError(option + " needs test names or groups separated by commas, not '" + list +
                       "'");
    names.push_back(name);
    start = comma + 1;
  }
  return names;
}

ValidateOptions ParseValidate(ArgumentReader& reader) {
  ValidateOptions options;
  std::optional<std::string> plugin;
  while (!reader.Done()) {
    const std::string arg = reader.Next();
    if (TakePlugin("validate", arg, reader, plugin)) {
      continue;
    } else if (arg == "--strictness") {
      options.strictness = static_cast<int>(ParseInteger(arg, reader.Value(arg), 1, 10));
    } else if (arg == "--seed") {
      options.seed = static_cast<uint32_t>(
          ParseInteger(arg, reader.Value(arg), 0, std::numeric_limits<uint32_t>::max()));
    } else if (arg == "--gui") {
      reader.NoValue(arg);
      options.gui = true;
    } else if (arg == "--repeat") {
      options.repeat = static_cast<int>(ParseInteger(arg, reader.Value(arg), 1, kMaxRepeat));
    } else if (arg == "--only") {
      const std::vector<std::string> names = ParseNames(arg, reader.Value(arg));
      options.only.insert(options.only.end(), names.begin(), names.end());
    } else if (arg == "--json") {
      options.json = reader.Value(arg);
      if (options.json.empty())
        throw UsageError("--json needs a file name");
    } else {
      throw UsageError("validate: unknown option " + arg);
    }
  }
  options.plugin = PluginOrDefault(plugin);
  return options;
}

} // namespace

std::string DefaultPluginPath() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error)
    return {};
  // Installed: <prefix>/bin/zintrax-host beside <prefix>/lib/vst/Zintrax.so.
  const std::filesystem::path installed =
      self.parent_path().parent_path() / "lib" / "vst" / "Zintrax.so";
  // In a build tree: tools/zintrax-host/zintrax-host beside src/effect/Zintrax.so.
  const std::filesystem::path built =
      self.parent_path().parent_path().parent_path() / "src" / "effect" / "Zintrax.so";
  if (!std::filesystem::exists(installed, error) && std::filesystem::exists(built, error))
    return built.string();
  return installed.string();
}

Command ParseCommandLine(const std::vector<std::string>& args) {
  if (args.size() < 2)
    throw UsageError(
        "a command is needed: info, render, snapshot, edit or validate (try: zintrax-host --help)");
  if (IsHelp(args[1]))
    return HelpRequest{};
  ArgumentReader reader(args);
  const std::string command = reader.Next();
  for (size_t i = 2; i < args.size(); ++i)
    if (args[i] == "--help" || args[i] == "-h")
      return HelpRequest{};
  if (command == "info")
    return ParseInfo(reader);
  if (command == "render")
    return ParseRender(reader);
  if (command == "snapshot")
    return ParseSnapshot(reader);
  if (command == "edit")
    return ParseEdit(reader);
  if (command == "validate")
    return ParseValidate(reader);
  throw UsageError("unknown command '" + command + "' (try: zintrax-host --help)");
}

const char* UsageText() {
  return R"(zintrax-host: a command-line host for VST 2.x, VST3 and LV2 plug-ins (Zintrax by default)

Usage:
  zintrax-host info [PLUGIN]
      Identity, capabilities, programs and parameters of the plug-in.
  zintrax-host render --out FILE [PLUGIN] [options]
      Renders audio through the plug-in into FILE (.wav, .flac, .aiff).
  zintrax-host snapshot --out FILE.png [PLUGIN] [--program P] [--param N=V] [--idle MS]
      Opens the plug-in's editor in a window, idles it for MS milliseconds (default 500) and
      writes the window's picture. Without DISPLAY it starts a private Xvfb for the picture.
  zintrax-host edit [PLUGIN] [--program P] [--param N=V]
      Opens the plug-in's editor in a window of its own on your display and prints every
      parameter change it makes; when the window is closed (or on Ctrl-C) it prints the
      --param arguments that reproduce the settings with render.
  zintrax-host validate [PLUGIN] [options]
      Runs a suite of tests against any VST 2.x, VST3 or LV2 plug-in, each in a process of its own,
      and prints one line per test (PASS name, FAIL name: what and where, SKIP name: why),
      then "N passed, N failed". A crash or hang of the plug-in fails the test it happened in.

Every command takes the plug-in (a VST 2.x library, a VST3 bundle such as Zintrax.vst3, an LV2
bundle folder such as Zintrax.lv2, or an LV2 plug-in's URI as lv2ls lists it) the same two ways: as an argument of its own
(zintrax-host snapshot Zintrax.so --out editor.png) or as --plugin PATH. Without one it
loads Zintrax.so from beside this program: <prefix>/lib/vst/Zintrax.so when installed in
<prefix>/bin, else, in a build folder, the one built with it.

Render options:
  --in FILE             input audio (.wav, .flac, .aiff; a mono file feeds every input);
                        without it, a built-in demo of plucked notes followed by silence
  --program NAME|INDEX  select a factory program first
  --param NAME=VALUE    set a parameter in its own units, e.g. Distance=300 (repeatable)
  --seed N              seed of the plug-in's random generator (sets ZINTRAX_SEED)
  --block N             frames per processing call (default 512)
  --sample-rate N       sample rate in Hz (default: the input's, 44100 for the demo)
  --tail SECONDS        keep processing silence after the input ends (default 0)
  --plot FILE.png       also draw the input and output waveforms

Validate options:
  --strictness 1..10    higher runs longer and stricter tests; 10 runs all (default 5)
  --seed N              seed of the random values the tests use (default 1)
  --gui                 also test the editor (a private Xvfb when DISPLAY is unset)
  --repeat N            run each test N times, with the seeds seed, seed+1, ... (default 1)
  --only NAME,...       only these tests, or groups of tests such as "audio"
  --json FILE           also write the results, with each test's notes, as JSON

Exit status: 0 done, 1 the plug-in, a file or a validation test failed, 2 bad arguments.
No output file is left behind unless the whole render succeeded.
)";
}

} // namespace zhost
