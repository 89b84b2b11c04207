// The command line of zintrax-validate: the plug-in and how the suite runs.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace zhost::validate {

struct ValidateOptions {
  std::string plugin;
  int strictness = 5; // 1..10: higher runs longer and stricter tests, 10 runs every test
  uint32_t seed = 1;
  bool gui = false; // also the editor's tests (with a private Xvfb when DISPLAY is unset)
  int repeat = 1;   // runs of each test, with seeds seed, seed + 1, ...
  std::vector<std::string> only; // test names or groups; empty: all
  std::string json;              // empty: no JSON report
};

struct HelpRequest {};

// The arguments after the program's name; throws UsageError with a message that names the
// offending argument.
std::variant<HelpRequest, ValidateOptions> ParseOptions(const std::vector<std::string>& args);

const char* UsageText();

} // namespace zhost::validate
