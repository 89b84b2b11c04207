// Every kind of call a host makes into a VST 2.x plug-in, in the order of a session: loading the
// library, the entry point, set-up and identity, every parameter's texts and values, programs and
// chunks, the editor (with --gui), processing, teardown and unloading the library. Each call is
// handed to a checker that wraps it, so that a check that something must survive every kind of
// call (the floating-point state, the process's state) is written once, apart from the walk.
#pragma once

#include "Validation.h"

#include <functional>
#include <string>

namespace zhost::validate {

// Runs call, which is named by step ("effOpen", "processReplacing", "loading the library"),
// checking whatever it checks around it.
using CheckedCall = std::function<void(const std::string& step, const std::function<void()>& call)>;

void WalkEveryKindOfCall(Context& context, const CheckedCall& checked);

} // namespace zhost::validate
