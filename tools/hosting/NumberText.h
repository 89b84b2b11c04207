// Numbers as a person types and reads them on a command line.
#pragma once

#include <optional>
#include <string>

namespace zhost {

// The text without the spaces and tabs around it.
std::string Trim(const std::string& text);

// A text that is one finite number and nothing else (blanks around it allowed).
std::optional<double> ParseNumber(const std::string& text);

// A number as a person reads it in a message ("%.10g").
std::string FormatNumber(double value);

} // namespace zhost
