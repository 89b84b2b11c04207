// Choosing a program and setting parameters by name, in the plug-in's own units, as a person
// would in a DAW's generic editor.
#pragma once

#include "Plugin.h"

#include <string>

namespace zhost {

// Selects a program by index or by name (exact, then ignoring letter case); answers its index.
// Throws UsageError listing the programs when none fits.
int32_t SelectProgram(const Plugin& plugin, const std::string& nameOrIndex);

// The index of the parameter of that name (exact, then ignoring letter case); throws UsageError
// listing the parameters when none fits.
int32_t FindParameter(const Plugin& plugin, const std::string& name);

// Sets the parameter from a text in its own units through effString2Parameter. A numeric value
// outside the range the plug-in shows at the ends of its scale is refused. When the plug-in does
// not take texts, the normalised position whose display shows the value is searched instead.
// Throws UsageError when the value cannot be set.
void SetParameterText(const Plugin& plugin, int32_t index, const std::string& value);

// The text without the spaces and tabs around it.
std::string Trim(const std::string& text);

// The parameter's display and unit, as "300 cm".
std::string DisplayWithLabel(const Plugin& plugin, int32_t index);

} // namespace zhost
