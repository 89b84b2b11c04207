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
};

struct SnapshotOptions : EditorSettings {
  std::string out;
  int32_t idleMs = 500; // how long the editor is idled before the picture is taken
};

struct EditOptions : EditorSettings {};

struct ValidateOptions {
  std::string plugin;
  int strictness = 5; // 1..10: higher runs longer and stricter tests, 10 runs every test
  uint32_t seed = 1;
  bool gui = false; // also the editor's tests (with a private Xvfb when DISPLAY is unset)
  int repeat = 1;   // runs of each test, with seeds seed, seed + 1, ...
  std::vector<std::string> only; // test names or groups; empty: all
  std::string json;              // empty: no JSON report
};

using Command = std::variant<HelpRequest, InfoOptions, RenderOptions, SnapshotOptions, EditOptions,
                             ValidateOptions>;

// The plug-in used when none is named, found from where this program lies: the one installed
// beside it (../lib/vst/Zintrax.so from its folder) or else the one of its build tree
// (src/effect/Zintrax.so beside tools/zintrax-host/).
std::string DefaultPluginPath();

// Throws UsageError with a message that names the offending argument.
Command ParseCommandLine(const std::vector<std::string>& args);

const char* UsageText();

} // namespace zhost
