// The suite run against one plug-in: each test in a process of its own, a line per test, the
// totals and the JSON report.
#pragma once

#include "core/Options.h"

#include <ostream>

namespace zhost::validate {

// Prints one line per test and the totals to out; answers the exit status (1 when a test
// failed). Throws UsageError for an --only name that matches no test, HostError when the
// plug-in file is missing or the JSON report cannot be written.
int RunValidate(const ValidateOptions& options, std::ostream& out);

} // namespace zhost::validate
