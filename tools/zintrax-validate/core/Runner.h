// Running one test in a child process of its own: the child loads the plug-in and runs the test,
// the parent waits for it with the test's timeout and turns a crash, a hang or an early exit into
// that test's failure.
#pragma once

#include "core/Validation.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zhost::validate {

enum class Status { Pass, Fail, Skip };

struct Outcome {
  Status status = Status::Pass;
  std::string message;               // the first failure, or why the test was skipped
  std::vector<std::string> failures; // every failure kept, the first one included
  int unkeptFailures = 0;            // failures beyond those kept
  std::vector<std::pair<std::string, std::string>> notes;
  double seconds = 0.0;
};

// The child's side of the channel: records go through a pipe as they happen, so that what a test
// found before a crash still arrives; the current step lies in memory shared with the parent.
class Reporter {
public:
  Reporter(int fd, char* step, size_t stepSize) : FFd(fd), FStep(step), FStepSize(stepSize) {}
  void Failure(std::string_view what) { Send('F', what); }
  void Skip(std::string_view why) { Send('S', why); }
  void Note(std::string_view key, std::string_view value);
  void Done() { Send('D', {}); }
  char* StepBuffer() const { return FStep; }
  size_t StepSize() const { return FStepSize; }

private:
  void Send(char kind, std::string_view text);

  int FFd;
  char* FStep;
  size_t FStepSize;
};

// For a signal handler in a test's process: reports what as the test's failure, followed by the
// step the test was at, and the test's end, with nothing but write(2); then ends the process.
[[noreturn]] void EndTestFromSignal(const char* what);

// Runs the test in a forked child and answers what became of it.
Outcome RunIsolated(const TestCase& test, const Context::Settings& settings);

} // namespace zhost::validate
