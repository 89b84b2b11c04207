// zintrax-host validate: runs the suite of tests against one plug-in and reports on them.
#pragma once

#include "CommandLine.h"

#include <ostream>

namespace zhost {

// Prints one line per test and the totals to out; answers the exit status (1 when a test
// failed). Throws UsageError for an --only name that matches no test, HostError when the
// plug-in file is missing or the JSON report cannot be written.
int RunValidate(const ValidateOptions& options, std::ostream& out);

} // namespace zhost
