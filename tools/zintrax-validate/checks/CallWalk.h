// Every kind of call a host makes into a plug-in, in the order of a session, as each format's
// folder walks them (WalkEveryKindOf...Call). For VST 2.x: loading
// the library, the entry point, set-up and identity, every parameter's texts and values, programs
// and chunks, the editor (with --gui), processing, teardown and unloading the library. For LV2:
// loading the library, its descriptor, instantiate and connect_port, extension_data, activate,
// runs with controls changed, the UI (with --gui), deactivate, cleanup and unloading. For VST3:
// loading the library, ModuleEntry, the factory and its classes, the instance made and set up,
// every parameter's values and texts, units and program lists, both states, the editor view and
// its run-loop callbacks (with --gui), processing with parameter changes and a flush, and
// deactivation, terminate and release, the factory's release, ModuleExit and unloading. Each call
// is handed to a checker that wraps it, so that a check that something must survive every kind of
// call (the floating-point state, the process's state) is written once, apart from the walks.
#pragma once

#include "core/Validation.h"

#include <functional>
#include <string>

namespace zhost::validate {

// Runs call, which is named by step ("effOpen", "processReplacing", "loading the library"),
// checking whatever it checks around it.
using CheckedCall = std::function<void(const std::string& step, const std::function<void()>& call)>;

using CallWalk = std::function<void(Context&, const CheckedCall&)>;

} // namespace zhost::validate
