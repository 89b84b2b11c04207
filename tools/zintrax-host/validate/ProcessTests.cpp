// process: what a plug-in leaves changed in its host's process. After loading the library, after
// the entry point, the descriptor or the module's entry, after every kind of call (the editor's,
// the UI's or the view's with --gui) and after unloading, the locale, the signals' dispositions
// and the calling thread's mask, the working directory, the file-creation mask, the environment,
// the resource limits, the standard descriptors, the floating-point control state and Xlib's
// error handlers must be as they were before it.
#include "CallWalk.h"
#include "EditorHost.h"
#include "ProcessState.h"
#include "Validation.h"

namespace zhost::validate {

namespace {

constexpr int kMostReported = 20;

void State(Context& context, const CallWalk& walk) {
  // The validator's own X error handler belongs to the host's state from the start.
  XErrorsSeen();
  ProcessStateWatch watch;
  int reported = 0;
  walk(context, [&](const std::string& what, const std::function<void()>& call) {
    context.Step("%s, the process's state watched", what.c_str());
    call();
    for (const std::string& change : watch.Look())
      if (reported++ < kMostReported)
        context.Fail(what + " changed " + change);
  });
}

const bool registered =
    Register({"process.state", [](Context& c) { State(c, WalkEveryKindOfCall); }, {}}) &&
    Register({"process.state",
              [](Context& c) { State(c, WalkEveryKindOfLv2Call); },
              {.format = PluginFormat::Lv2}}) &&
    Register({"process.state",
              [](Context& c) { State(c, WalkEveryKindOfVst3Call); },
              {.format = PluginFormat::Vst3}});

} // namespace

} // namespace zhost::validate
