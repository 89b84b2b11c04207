// What a test of zintrax-validate is and what it is handed, whatever the plug-in's format. Each
// group of tests of a format lives in one file of that format's folder and registers its tests at
// start-up:
//
//   namespace {
//   void Names(Context& context) { ... context.Fail("..."); ... }
//   const bool registered = Register(PluginFormat::Vst2, {"entry.names", Names, {.strictness =
//   1}});
//   }
//
// Every test runs in a child process of its own, so a plug-in that crashes or hangs fails only
// the test it was in; the context reports back to the validator as the test goes.
#pragma once

#include "hosting/PluginFormat.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>

namespace zhost::validate {

// Thrown by Context::Skip and Context::Abort to leave a test early.
struct TestStopped {};

class Reporter;

class Context {
public:
  struct Settings {
    std::string location; // the plug-in as the user named it: a file, a bundle or a URI
    int strictness = 5;
    uint32_t seed = 1; // this run's seed: the base seed plus the repetition
    int repetition = 0;
    bool gui = false;
  };

  Context(Settings settings, std::string_view testName, Reporter& reporter);

  const std::string& Location() const { return FSettings.location; }
  int Strictness() const { return FSettings.strictness; }
  uint32_t Seed() const { return FSettings.seed; }
  int Repetition() const { return FSettings.repetition; }
  bool Gui() const { return FSettings.gui; }

  // Seeded from the run's seed and the test's name, so one test's draws do not depend on
  // which other tests ran.
  std::mt19937& Random() { return FRandom; }
  // A uniform draw from [low, high).
  double Uniform(double low, double high);
  // A uniform whole number from [low, high].
  int64_t Between(int64_t low, int64_t high);

  // Records a failure and lets the test go on; `what` says what went wrong and where (which
  // opcode, index, value). The first failure is the test's message.
  void Fail(const std::string& what);
  // Records a failure and ends the test.
  [[noreturn]] void Abort(const std::string& what);
  // Ends the test as skipped (nothing to test in this plug-in, or not at this strictness).
  [[noreturn]] void Skip(const std::string& why);
  // A finding that is no failure, shown under the test's line and kept in the JSON report
  // (the longest text write, the time to create an instance). A later note of the same key
  // replaces the earlier one.
  void Note(const std::string& key, const std::string& value);

  // Says what the test is doing now, so that a crash or a hang of the plug-in reports where it
  // happened. It neither allocates nor makes a system call, so it may stand next to calls whose
  // allocations are counted. Formatted as printf does.
  void Step(const char* format, ...) __attribute__((format(printf, 2, 3)));

  int Failures() const { return FFailures; }

private:
  Settings FSettings;
  Reporter& FReporter;
  std::mt19937 FRandom;
  int FFailures = 0;
};

struct TestOptions {
  int strictness = 1;      // the lowest --strictness that runs the test
  bool needsGui = false;   // runs only with --gui (and then has a display)
  int timeoutSeconds = 30; // the child is killed and the test fails after this long
};

struct TestCase {
  std::string name; // lowercase "group.test"; --only takes a name or a group
  std::function<void(Context&)> run;
  TestOptions options;
};

// Adds a test of plug-ins of that format to the suite; answers true so that it can initialise a
// static. Names are unique within a format: the tests of the same check in two formats share
// their name. Tests run group by
// group (entry, texts, parameters, programs, audio, process, realtime, threads, lifecycle, editor,
// then any other in name order), and within a group in the order they were registered.
bool Register(PluginFormat format, TestCase test);

// The text of a plug-in's answer fit for a one-line report: quoted, with bytes outside
// printable ASCII written as \xHH, and cut after `most` characters.
std::string Printable(std::string_view text, size_t most = 80);

} // namespace zhost::validate
