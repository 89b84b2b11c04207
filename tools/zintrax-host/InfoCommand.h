// zintrax-host info: what a DAW learns about a plug-in when it scans it, printed for a person.
#pragma once

#include "CommandLine.h"

#include <ostream>

namespace zhost {

void RunInfo(const InfoOptions& options, std::ostream& out);

} // namespace zhost
