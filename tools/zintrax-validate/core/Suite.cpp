#include "core/Suite.h"

#include "core/Registry.h"
#include "core/Runner.h"
#include "hosting/Errors.h"
#include "hosting/Lv2Binary.h"
#include "hosting/PluginFormat.h"
#include "hosting/Xvfb.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>

namespace zhost::validate {

namespace {

struct Result {
  const TestCase* test = nullptr;
  Outcome outcome;
  int runs = 0;
  uint32_t seed = 0; // of the last run
};

// Runs the test once per repetition, stopping at the first that fails.
Result RunRepeated(const TestCase& test, const ValidateOptions& options) {
  Result result{&test, {}, 0, options.seed};
  double seconds = 0.0;
  for (int repetition = 0; repetition < options.repeat; ++repetition) {
    result.seed = options.seed + static_cast<uint32_t>(repetition);
    const Context::Settings settings{options.plugin, options.strictness, result.seed, repetition,
                                     options.gui};
    result.outcome = RunIsolated(test, settings);
    ++result.runs;
    seconds += result.outcome.seconds;
    if (result.outcome.status != Status::Pass)
      break;
  }
  result.outcome.seconds = seconds;
  if (result.outcome.status == Status::Fail && options.repeat > 1)
    result.outcome.message += " [seed " + std::to_string(result.seed) + "]";
  return result;
}

Result Skipped(const TestCase& test, std::string why) {
  Result result{&test, {}, 0, 0};
  result.outcome.status = Status::Skip;
  result.outcome.message = std::move(why);
  return result;
}

void PrintLine(const Result& result, std::ostream& out) {
  const Outcome& outcome = result.outcome;
  const std::string& name = result.test->name;
  if (outcome.status == Status::Pass)
    out << "PASS " << name << '\n';
  else
    out << (outcome.status == Status::Fail ? "FAIL " : "SKIP ") << name << ": " << outcome.message
        << '\n';
  for (const auto& [key, value] : outcome.notes)
    out << "    " << key << ": " << value << '\n';
  out.flush();
}

std::string JsonText(const std::string& text) {
  std::string json = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

const char* StatusName(Status status) {
  return status == Status::Pass ? "pass" : status == Status::Fail ? "fail" : "skip";
}

void WriteJson(const std::string& path, const ValidateOptions& options,
               const std::vector<Result>& results, const int (&counts)[3]) {
  std::ofstream json(path);
  if (!json)
    throw HostError("cannot write " + path);
  json << "{\n  \"plugin\": " << JsonText(options.plugin)
       << ",\n  \"strictness\": " << options.strictness << ",\n  \"seed\": " << options.seed
       << ",\n  \"gui\": " << (options.gui ? "true" : "false")
       << ",\n  \"repeat\": " << options.repeat << ",\n  \"tests\": [";
  for (size_t i = 0; i < results.size(); ++i) {
    const Result& result = results[i];
    const Outcome& outcome = result.outcome;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", outcome.seconds);
    json << (i ? ",\n" : "\n") << "    {\"name\": " << JsonText(result.test->name)
         << ", \"status\": \"" << StatusName(outcome.status)
         << "\", \"message\": " << JsonText(outcome.message) << ", \"duration\": " << seconds
         << ", \"runs\": " << result.runs << ", \"seed\": " << result.seed
         << ",\n     \"failures\": [";
    for (size_t f = 0; f < outcome.failures.size(); ++f)
      json << (f ? ", " : "") << JsonText(outcome.failures[f]);
    json << "], \"notes\": {";
    for (size_t n = 0; n < outcome.notes.size(); ++n)
      json << (n ? ", " : "") << JsonText(outcome.notes[n].first) << ": "
           << JsonText(outcome.notes[n].second);
    json << "}}";
  }
  json << "\n  ],\n  \"passed\": " << counts[0] << ",\n  \"failed\": " << counts[1]
       << ",\n  \"skipped\": " << counts[2] << "\n}\n";
  if (!json.flush())
    throw HostError("cannot write " + path);
}

// The format of the plug-in named, once it is known to be there: a VST3 bundle must be a folder,
// an LV2 plug-in must be found and ask for no feature the validator lacks, a VST 2.x plug-in and a
// CLAP file must be files.
PluginFormat CheckedFormat(const std::string& location) {
  if (location.empty())
    throw HostError("no plug-in given, and this build has no Zintrax.so to use instead");
  struct stat info {};
  const PluginFormat format = FormatOf(location);
  if (format == PluginFormat::Vst3) {
    if (stat(location.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
      throw HostError(location + ": no such bundle");
  } else if (format == PluginFormat::Lv2) {
    const Lv2Description description(location);
    const std::string missing = UnhonouredFeatures(description.RequiredFeatures());
    if (!missing.empty())
      throw HostError(location + " requires " + missing + ", which the validator does not offer");
  } else if (stat(location.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw HostError(location + ": no such file");
  }
  return format;
}

} // namespace

int RunValidate(const ValidateOptions& options, std::ostream& out) {
  const std::vector<const TestCase*> tests =
      SelectTests(options.only, CheckedFormat(options.plugin));

  // The editor's tests share one display, started here so that it outlives every test process.
  std::optional<Xvfb> display;
  std::string noDisplay;
  if (options.gui) {
    try {
      display.emplace();
    } catch (const HostError& error) {
      noDisplay = error.what();
    }
  }

  out << "validating " << options.plugin << " at strictness " << options.strictness << ", seed "
      << options.seed << (options.gui ? ", with the editor" : "") << '\n';
  std::vector<Result> results;
  int counts[3] = {0, 0, 0}; // passed, failed, skipped
  for (const TestCase* test : tests) {
    Result result;
    if (test->options.strictness > options.strictness)
      result = Skipped(*test, "runs at strictness " + std::to_string(test->options.strictness) +
                                  " and up");
    else if (test->options.needsGui && !options.gui)
      result = Skipped(*test, "tests the editor: needs --gui");
    else if (test->options.needsGui && !noDisplay.empty())
      result = Result{test, {Status::Fail, "no X display: " + noDisplay, {}, 0, {}, 0.0}, 0, 0};
    else
      result = RunRepeated(*test, options);
    ++counts[static_cast<int>(result.outcome.status)];
    PrintLine(result, out);
    results.push_back(std::move(result));
  }
  out << counts[0] << " passed, " << counts[1] << " failed";
  if (counts[2] > 0)
    out << ", " << counts[2] << " skipped";
  out << '\n';
  if (!options.json.empty())
    WriteJson(options.json, options, results, counts);
  return counts[1] > 0 ? 1 : 0;
}

} // namespace zhost::validate
