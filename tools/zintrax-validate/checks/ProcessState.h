// What a plug-in shares with its host's whole process and must leave as it found it, whatever its
// format: the locale of every category and the calling thread's own, the disposition of every
// signal and the calling thread's signal mask, the working directory, the file-creation mask,
// the environment, the resource limits, where the standard descriptors lead, the floating-point
// control state and Xlib's error handlers. Each item is kept as text under a name, so that a
// change reads as what changed, from what, to what.
#pragma once

#include "checks/CallWalk.h"

#include <map>
#include <string>
#include <vector>

namespace zhost::validate {

struct ProcessState {
  // "the locale's LC_NUMERIC" -> "\"C\"", "the disposition of SIGINT" -> "SIG_DFL", ...
  std::map<std::string, std::string> items;

  static ProcessState Capture();
};

// One line per item that differs: "the working directory: \"/a\" -> \"/b\"", in the items' order.
std::vector<std::string> Changes(const ProcessState& before, const ProcessState& after);

// Looks at the process between calls into a plug-in: each look answers what changed since the
// one before, so that a change is told once, at the call that made it.
class ProcessStateWatch {
public:
  ProcessStateWatch() : FLast(ProcessState::Capture()) {}
  std::vector<std::string> Look();

private:
  ProcessState FLast;
};

// process.state: the process's state looked at after every call of the walk; what a call changed
// fails the test, named with the call.
void CheckProcessState(Context& context, const CallWalk& walk);

} // namespace zhost::validate
