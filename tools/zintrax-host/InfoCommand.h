// zintrax-host info: what a DAW learns about a plug-in when it scans it, printed for a person.
#pragma once

#include "CommandLine.h"

#include <ostream>
#include <string>
#include <vector>

namespace zhost {

void RunInfo(const InfoOptions& options, std::ostream& out);

// One line of the report: the name in a column of its own, then the value.
void InfoLine(std::ostream& out, const char* name, const std::string& value);
// A list of names, wrapped under the value column; "(none)" when empty.
std::string InfoList(const std::vector<std::string>& items);

} // namespace zhost
