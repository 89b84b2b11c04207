#include "CommandLine.h"

#include "AudioFile.h"

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

uint32_t ParseSeed(const std::string& arg, ArgumentReader& reader) {
  return static_cast<uint32_t>(
      ParseInteger(arg, reader.Value(arg), 0, std::numeric_limits<uint32_t>::max()));
}

PlayOptions ParsePlay(ArgumentReader& reader) {
  PlayOptions options;
  std::optional<std::string> plugin;
  const auto text = [&](const std::string& arg, const char* what) {
    std::string value = reader.Value(arg);
    if (value.empty())
      throw UsageError(arg + " needs " + what);
    return value;
  };
  constexpr const char* kPort = "a JACK port's name, as jack_lsp lists it";
  while (!reader.Done()) {
    const std::string arg = reader.Next();
    if (TakePlugin("play", arg, reader, plugin) || ParseEditorOption(arg, reader, options))
      continue;
    if (arg == "--mono")
      options.mono = true;
    else if (arg == "--in")
      options.in.push_back(text(arg, kPort));
    else if (arg == "--out")
      options.out.push_back(text(arg, kPort));
    else if (arg == "--no-connect")
      options.connect = false;
    else if (arg == "--no-editor")
      options.editor = false;
    else if (arg == "--fresh")
      options.fresh = true;
    else if (arg == "--state")
      options.state = text(arg, "a file name");
    else if (arg == "--seed")
      options.seed = ParseSeed(arg, reader);
    else if (arg == "--record")
      options.record = text(arg, "a file name (.wav, .flac or .aiff)");
    else if (arg == "--name")
      options.name = text(arg, "a JACK client name");
    else
      throw UsageError("play: unknown argument " + arg);
  }
  if (!options.connect && (!options.in.empty() || !options.out.empty()))
    throw UsageError("play: --no-connect with --in or --out");
  if (options.fresh && !options.state.empty())
    throw UsageError("play: --fresh with --state");
  if (!options.record.empty())
    OutputFormatFor(options.record); // refuse a bad name before playing
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
      options.seed = ParseSeed(arg, reader);
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
        "a command is needed: info, render, snapshot, edit, play or validate (try: zintrax-host "
        "--help)");
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
  if (command == "play")
    return ParsePlay(reader);
  throw UsageError("unknown command '" + command + "' (try: zintrax-host --help)");
}

const char* UsageText() {
  return R"(zintrax-host: a command-line host for VST 2.x, VST3, CLAP and LV2 plug-ins (Zintrax by default)

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
  zintrax-host play [PLUGIN] [options]
      Plays the plug-in live as a JACK client (PipeWire serves it too, through its JACK
      library): in_1 and in_2 (or in_1 alone with --mono) through the plug-in to out_1 and
      out_2, with its editor in a window of its own. The output fades in at the start and out
      at Ctrl-C or when the window is closed; the settings are kept for the next start.
  zintrax-host validate [PLUGIN] [options]
      Runs zintrax-validate, the suite of tests for any VST 2.x, VST3, CLAP or LV2 plug-in, with these
      arguments (zintrax-validate --help lists its options).

Every command takes the plug-in (a VST 2.x library, a VST3 bundle such as Zintrax.vst3, a CLAP
file such as Zintrax.clap, an LV2 bundle folder such as Zintrax.lv2, or an LV2 plug-in's URI as
lv2ls lists it) the same two ways: as an argument of its own
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

Play options:
  --mono                one input (a guitar, say) feeding both of the plug-in's inputs
  --in PORT             connect the input(s) from PORT (repeatable; default: the first
                        capture port of the system, tried for a few seconds)
  --out PORT            connect the outputs to PORT (repeatable; default: the system's
                        playback ports)
  --no-connect          connect nothing
  --no-editor           no editor window (also what happens without a display)
  --program, --param, --seed, --scale   as for render and edit
  --fresh               start from the plug-in's own settings and keep nothing at exit
  --state FILE          load the settings from FILE (when it exists) and keep them there
  --record FILE         write what the plug-in received and what went out (channels: in 1,
                        in 2, out 1, out 2) to FILE (.wav, .flac, .aiff) from the first period;
                        render --in on its first two channels gives the same output
  --name NAME           the JACK client's name (default Zintrax)
  The last settings live in $XDG_CONFIG_HOME/Merrowlake/play-<plug-in>.state; a --program or
  --param given on the command line starts from them instead of the kept ones.

Exit status: 0 done, 1 the plug-in, a file or a validation test failed, 2 bad arguments.
No output file is left behind unless the whole render succeeded.
)";
}

} // namespace zhost
