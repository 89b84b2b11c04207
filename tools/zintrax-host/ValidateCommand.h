// zintrax-host validate: the validator is a program of its own, zintrax-validate, which lies
// beside this one where both are installed (and in its own folder beside this one's in a build
// tree). The command becomes that program, with the same arguments.
#pragma once

#include "CommandLine.h"

namespace zhost {

// Replaces this process with zintrax-validate; throws HostError when it is not there or does not
// start.
[[noreturn]] void RunValidate(const ValidateRequest& request);

} // namespace zhost
