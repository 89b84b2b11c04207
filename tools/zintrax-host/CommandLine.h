// The command line of zintrax-host: which command to run and with what.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace zhost {

struct HelpRequest {};

struct InfoOptions {
  std::string plugin;
};

struct RenderOptions {
  std::string plugin;
  std::string in; // empty: the built-in demo signal
  std::string out;
  std::string plot; // empty: no picture
  std::optional<std::string> program;
  std::vector<std::pair<std::string, std::string>> params; // name, value text; in order given
  std::optional<uint32_t> seed;
  int32_t block = 512;
  std::optional<int32_t> sampleRate; // default: the input's rate, 44100 for the demo
  double tail = 0.0;                 // seconds processed after the input ends
};

// The plug-in's state before its editor opens: a program, then parameters in order.
struct EditorSettings {
  std::string plugin;
  std::optional<std::string> program;
  std::vector<std::pair<std::string, std::string>> params;
  double scale = 0.0; // the display scale the host gives the editor; 0 gives none
};

struct SnapshotOptions : EditorSettings {
  std::string out;
  int32_t idleMs = 500; // how long the editor is idled before the picture is taken
};

struct EditOptions : EditorSettings {};

// The plug-in live on JACK.
struct PlayOptions : EditorSettings {
  bool mono = false;                // one input, fed to both of the plug-in's
  std::vector<std::string> in, out; // ports to connect to; empty: the system's
  bool connect = true;
  bool editor = true;
  bool fresh = false; // neither restore nor keep the last settings
  std::string state;  // the settings file instead of the one kept for the plug-in
  std::string record; // an audio file of what the plug-in received and what went out
  std::optional<uint32_t> seed;
  std::string name = "Zintrax"; // the JACK client's name
};

// The arguments after "validate", for zintrax-validate.
struct ValidateRequest {
  std::vector<std::string> args;
};

using Command = std::variant<HelpRequest, InfoOptions, RenderOptions, SnapshotOptions, EditOptions,
                             PlayOptions, ValidateRequest>;

// Throws UsageError with a message that names the offending argument.
Command ParseCommandLine(const std::vector<std::string>& args);

const char* UsageText();

} // namespace zhost
