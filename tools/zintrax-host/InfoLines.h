// The lines of `info`: a name in a column of its own, then the value.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zhost {

void InfoLine(std::ostream& out, const char* name, const std::string& value);
// A list of names, wrapped under the value column; "(none)" when empty.
std::string InfoList(const std::vector<std::string>& items);

} // namespace zhost
