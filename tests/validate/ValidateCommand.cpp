// zintrax-host validate as a person runs it: the report's lines and totals, the exit status, the
// JSON report, the usage errors, and a test process that crashes, hangs or ends itself failing
// only its own test.
#include "tools/HostRun.h"

#include <regex>

namespace {

using hosttest::Result;
using hosttest::RunHost;
using hosttest::TempDir;
using testing::HasSubstr;
using testing::Not;

Result Validate(const TempDir& dir, const std::string& plugin, std::vector<std::string> args) {
  args.insert(args.begin(), {"validate", plugin});
  return RunHost(dir, args);
}

TEST(ValidateCommand, PrintsOneLinePerTestThenTheTotals) {
  TempDir dir;
  const Result clean = Validate(dir, FAULTY_NONE_PATH, {"--only", "entry,programs.names"});
  EXPECT_EQ(clean.status, 0) << clean.out;
  EXPECT_THAT(clean.out, HasSubstr("\nPASS entry.names\n"));
  EXPECT_THAT(clean.out, HasSubstr("\nPASS programs.names\n"));
  EXPECT_THAT(clean.out, Not(HasSubstr("texts.")));
  EXPECT_THAT(clean.out, HasSubstr("\n5 passed, 0 failed\n"));

  const Result low = Validate(dir, FAULTY_NONE_PATH, {"--only", "texts", "--strictness", "1"});
  EXPECT_EQ(low.status, 0);
  EXPECT_THAT(low.out, HasSubstr("SKIP texts.hostile-values: runs at strictness 2 and up"));
  EXPECT_THAT(low.out, HasSubstr("4 passed, 0 failed, 2 skipped"));

  const Result faulty = Validate(dir, FAULTY_PROGRAM_NAMES_PATH, {"--only", "programs"});
  EXPECT_EQ(faulty.status, 1);
  EXPECT_THAT(faulty.out, HasSubstr("FAIL programs.names: program 0 is"));
  EXPECT_THAT(faulty.out, HasSubstr("\nPASS programs.chunks\n"));
}

TEST(ValidateCommand, ACrashOrAnExitFailsOnlyItsTestAndSaysWhere) {
  TempDir dir;
  const Result crash =
      Validate(dir, FAULTY_HUGE_CHUNK_CRASH_PATH, {"--only", "programs", "--strictness", "10"});
  EXPECT_EQ(crash.status, 1);
  EXPECT_THAT(crash.out, HasSubstr("FAIL programs.bad-chunks: crashed with SIGSEGV"));
  EXPECT_THAT(crash.out, HasSubstr("\nPASS programs.bad-indexes\n"));
  EXPECT_THAT(crash.out, HasSubstr("4 passed, 1 failed"));

  const Result exited = Validate(dir, FAULTY_EXIT_IN_OPEN_PATH, {"--only", "entry.names"});
  EXPECT_EQ(exited.status, 1);
  EXPECT_THAT(exited.out, HasSubstr("FAIL entry.names: the process ended itself (exit status 3) "
                                    "during opening and closing the instance"));
}

TEST(ValidateCommand, RepeatsWithSuccessiveSeedsAndNamesTheOneThatFailed) {
  TempDir dir;
  const Result clean =
      Validate(dir, FAULTY_NONE_PATH, {"--only", "parameters.range", "--repeat", "3"});
  EXPECT_EQ(clean.status, 0);
  const Result faulty = Validate(dir, FAULTY_CHUNK_DRIFT_PATH,
                                 {"--only", "programs.chunks", "--repeat", "3", "--seed", "7"});
  EXPECT_EQ(faulty.status, 1);
  EXPECT_THAT(faulty.out, HasSubstr("[seed 7]"));
}

TEST(ValidateCommand, WritesTheJsonReport) {
  TempDir dir;
  const Result result = Validate(dir, FAULTY_TEXT_OVERRUN_PATH,
                                 {"--only", "texts.parameters,entry.names", "--json", "r.json"});
  EXPECT_EQ(result.status, 1);
  const std::string json = hosttest::ReadText(dir / "r.json");
  EXPECT_THAT(json, HasSubstr("\"name\": \"entry.names\", \"status\": \"pass\""));
  EXPECT_THAT(json, HasSubstr("\"name\": \"texts.parameters\", \"status\": \"fail\", "
                              "\"message\": \"effGetParamDisplay of parameter 0"));
  EXPECT_THAT(json, HasSubstr("\"longest effGetParamDisplay\": \"300 bytes"));
  EXPECT_THAT(json, HasSubstr("\"notes\": {\"entry points\": \"VSTPluginMain, main\"}"));
  EXPECT_TRUE(std::regex_search(json, std::regex("\"duration\": [0-9]+\\.[0-9]{3}")));
  EXPECT_THAT(json, HasSubstr("\"passed\": 1,\n  \"failed\": 1,\n  \"skipped\": 0"));
}

TEST(ValidateCommand, RefusesWhatItCannotUnderstand) {
  TempDir dir;
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--strictness", "11"}, "--strictness needs a whole number from 1 to 10, not '11'"},
      {{"--repeat", "0"}, "--repeat needs a whole number from 1 to 1000"},
      {{"--only", "entry,,texts"}, "--only needs test names or groups separated by commas"},
      {{"--only", "nosuch"}, "no test or group is named 'nosuch' (groups: entry, texts,"},
      {{"--gui=1"}, "--gui takes no value"},
      {{"--colour"}, "validate: unknown option --colour"},
      {{"other.so"}, "validate takes one plug-in, not also 'other.so'"},
  };
  for (const auto& c : cases) {
    const Result result = Validate(dir, FAULTY_NONE_PATH, c.args);
    EXPECT_EQ(result.status, 2) << c.message;
    EXPECT_THAT(result.err, HasSubstr(c.message));
  }
  const Result missing = RunHost(dir, {"validate", "missing.so"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("missing.so: no such file"));
}

} // namespace
