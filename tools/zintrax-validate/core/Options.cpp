#include "core/Options.h"

#include "hosting/Arguments.h"
#include "hosting/Errors.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace zhost::validate {

namespace {

constexpr int64_t kMaxRepeat = 1000;

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

} // namespace

std::variant<HelpRequest, ValidateOptions> ParseOptions(const std::vector<std::string>& args) {
  for (const std::string& arg : args)
    if (arg == "--help" || arg == "-h")
      return HelpRequest{};
  ValidateOptions options;
  std::optional<std::string> plugin;
  ArgumentReader reader(args, 0);
  while (!reader.Done()) {
    const std::string arg = reader.Next();
    if (TakePlugin("zintrax-validate", arg, reader, plugin)) {
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
      throw UsageError("unknown option " + arg + " (try: zintrax-validate --help)");
    }
  }
  options.plugin = plugin ? *plugin : DefaultPluginPath();
  return options;
}

const char* UsageText() {
  return R"(zintrax-validate: a suite of tests for VST 2.x, VST3, CLAP and LV2 plug-ins (Zintrax by default)

Usage:
  zintrax-validate [PLUGIN] [options]
  zintrax-host validate [PLUGIN] [options]

Runs each test in a process of its own and prints one line per test (PASS name, FAIL name: what
and where, SKIP name: why), then "N passed, N failed". A crash or hang of the plug-in fails the
test it happened in.

The plug-in is a VST 2.x library, a VST3 bundle such as Zintrax.vst3, a CLAP file such as
Zintrax.clap, an LV2 bundle folder such as Zintrax.lv2, or an LV2 plug-in's URI as lv2ls lists
it, given as an argument of its own or as --plugin PATH. Without one it checks Zintrax.so from beside this program:
<prefix>/lib/vst/Zintrax.so when installed in <prefix>/bin, else, in a build folder, the one
built with it.

Options:
  --strictness 1..10    higher runs longer and stricter tests; 10 runs all (default 5)
  --seed N              seed of the random values the tests use, and ZINTRAX_SEED of
                        the plug-in where the environment sets none (default 1)
  --gui                 also test the editor (a private Xvfb when DISPLAY is unset)
  --repeat N            run each test N times, with the seeds seed, seed+1, ... (default 1)
  --only NAME,...       only these tests, or groups of tests such as "audio"
  --json FILE           also write the results, with each test's notes, as JSON

Exit status: 0 every test passed or was skipped, 1 a test failed or the plug-in is missing,
2 bad arguments.
)";
}

} // namespace zhost::validate
