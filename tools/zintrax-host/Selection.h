// Choosing a program and setting parameters by name, in the plug-in's own units, as a person
// would in a DAW's generic editor, and the parameters' values as a person reads them.
#pragma once

#include "Instance.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zhost {

// Selects a program by index or by name (exact, then ignoring letter case); answers its index.
// Throws UsageError listing the programs when none fits.
int32_t SelectProgram(Instance& instance, const std::string& nameOrIndex);

// The index of the parameter of that name (exact, then ignoring letter case); throws UsageError
// listing the parameters when none fits.
int32_t FindParameter(const Instance& instance, const std::string& name);

// Sets the parameter from a text in its own units; throws UsageError when the text is a number
// outside the parameter's range, or a text the plug-in takes no value for.
void SetParameterText(Instance& instance, int32_t index, const std::string& text);

// A program when one is named, then the parameters in order.
void ApplySettings(Instance& instance, const std::optional<std::string>& program,
                   const std::vector<std::pair<std::string, std::string>>& params);

// How a change the editor made is reported: "Distance = 401.89 cm".
std::string EditedLine(const Instance& instance, int32_t index);

// The parameter's display and unit, as "300 cm".
std::string DisplayWithLabel(const Instance& instance, int32_t index);
// The same with a display that is a number given with two decimals, as "401.89 cm".
std::string RoundedDisplay(const Instance& instance, int32_t index);

} // namespace zhost
