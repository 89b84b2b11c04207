// What the command lines of zintrax-host and zintrax-validate share: walking the arguments,
// whole numbers in a range, the plug-in named once, and the plug-in used when none is named.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zhost {

// Walks the arguments after the first skipped ones: "--name value" and "--name=value" both work.
class ArgumentReader {
public:
  ArgumentReader(const std::vector<std::string>& args, size_t first) : FArgs(args), FNext(first) {}

  bool Done() const { return FNext >= FArgs.size(); }
  // The next argument; for "--name=value", the "--name" part (the value is kept for Value()).
  std::string Next();
  // The value of option: the part after '=', else the next argument; throws UsageError when
  // there is none.
  std::string Value(const std::string& option);
  // Throws UsageError when the option was given a value with '='.
  void NoValue(const std::string& option) const;

private:
  const std::vector<std::string>& FArgs;
  size_t FNext;
  std::optional<std::string> FInlineValue;
};

// The whole number text stands for, from min to max; throws UsageError naming option otherwise.
int64_t ParseInteger(const std::string& option, const std::string& text, int64_t min, int64_t max);

// The plug-in a command loads: "--plugin PATH" or an argument that is not an option, given once
// (a second throws UsageError, naming command); false for any other argument.
bool TakePlugin(const std::string& command, const std::string& arg, ArgumentReader& reader,
                std::optional<std::string>& plugin);

// The folder of the running program (from /proc/self/exe); empty when it cannot be read.
std::string ProgramFolder();

// The plug-in used when none is named, found from where the running program lies: the one
// installed beside it (../lib/vst/Zintrax.so from its folder) or else the one of its build tree
// (src/effect/Zintrax.so beside tools/<program>/).
std::string DefaultPluginPath();

} // namespace zhost
