#include "CommandLine.h"

#include "hosting/Arguments.h"
#include "hosting/Errors.h"
#include "hosting/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace zhost {

namespace {

constexpr int32_t kMaxBlock = 65536;
constexpr int32_t kMinSampleRate = 8000;
constexpr int32_t kMaxSampleRate = 768000;
constexpr double kMaxTail = 3600.0;

double ParseSeconds(const std::string& option, const std::string& text, double max) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0.0 || value > max)
    throw UsageError(option + " needs a number of seconds from 0 to " +
                     std::to_string(static_cast<int>(max)) + ", not '" + text + "'");
  return value;
}

bool IsHelp(const std::string& arg) {
  return arg == "--help" || arg == "-h" || arg == "help";
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

// --scale, for the commands that open the editor.
template <class Options>
bool ParseEditorOption(const std::string& arg, ArgumentReader& reader, Options& options) {
  if (arg != "--scale")
    return ParseInstanceOption(arg, reader, options);
  const std::string text = reader.Value(arg);
  const std::optional<double> scale = ParseNumber(text);
  if (!scale || !(*scale >= 0.5 && *scale <= 4.0))
    throw UsageError("--scale needs a display scale from 0.5 to 4, not '" + text + "'");
  options.scale = *scale;
  return true;
}

SnapshotOptions ParseSnapshot(ArgumentReader& reader) {
  SnapshotOptions options;
  std::optional<std::string> plugin;
  while (!reader.Done()) {
    const std::string arg = reader.Next();
    if (TakePlugin("snapshot", arg, reader, plugin) || ParseEditorOption(arg, reader, options))
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
    if (!TakePlugin("edit", arg, reader, plugin) && !ParseEditorOption(arg, reader, options))
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

} // namespace

Command ParseCommandLine(const std::vector<std::string>& args) {
  if (args.size() < 2)
    throw UsageError(
        "a command is needed: info, render, snapshot, edit or validate (try: zintrax-host --help)");
  if (IsHelp(args[1]))
    return HelpRequest{};
  ArgumentReader reader(args, 1);
  const std::string command = reader.Next();
  if (command == "validate")
    return ValidateRequest{{args.begin() + 2, args.end()}};
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
                        [--scale S]
      Opens the plug-in's editor in a window, idles it for MS milliseconds (default 500) and
      writes the window's picture. Without DISPLAY it starts a private Xvfb for the picture.
      --scale gives the editor the display scale S (1, 1.5, 2, 2.5, 3 for Zintrax) the way
      hosts of the plug-in's format do; without it the editor takes the desktop's.
  zintrax-host edit [PLUGIN] [--program P] [--param N=V] [--scale S]
      Opens the plug-in's editor in a window of its own on your display and prints every
      parameter change it makes; when the window is closed (or on Ctrl-C) it prints the
      --param arguments that reproduce the settings with render.
  zintrax-host validate [PLUGIN] [options]
      Runs zintrax-validate, the suite of tests for any VST 2.x, VST3 or LV2 plug-in, with these
      arguments (zintrax-validate --help lists its options).

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

Exit status: 0 done, 1 the plug-in, a file or a validation test failed, 2 bad arguments.
No output file is left behind unless the whole render succeeded.
)";
}

} // namespace zhost
