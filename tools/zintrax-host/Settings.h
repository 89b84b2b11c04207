// Choosing a program and setting parameters by name, in the plug-in's own units, as a person
// would in a DAW's generic editor.
#pragma once

#include "Instance.h"

#include <optional>
#include <string>

namespace zhost {

// Selects a program by index or by name (exact, then ignoring letter case); answers its index.
// Throws UsageError listing the programs when none fits.
int32_t SelectProgram(Instance& instance, const std::string& nameOrIndex);

// The index of the parameter of that name (exact, then ignoring letter case); throws UsageError
// listing the parameters when none fits.
int32_t FindParameter(const Instance& instance, const std::string& name);

// The text without the spaces and tabs around it.
std::string Trim(const std::string& text);

// A text that is one finite number and nothing else (blanks around it allowed).
std::optional<double> ParseNumber(const std::string& text);

// A number as a person reads it in a message ("%.10g").
std::string FormatNumber(double value);

// The parameter's display and unit, as "300 cm".
std::string DisplayWithLabel(const Instance& instance, int32_t index);

} // namespace zhost
