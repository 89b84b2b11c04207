#include "Settings.h"

#include "Errors.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace zhost {

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

template <typename NameOf>
int32_t FindByName(int32_t count, const std::string& wanted, NameOf nameOf) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < count; ++i)
    names.push_back(nameOf(i));
  for (int32_t i = 0; i < count; ++i)
    if (names[i] == wanted)
      return i;
  for (int32_t i = 0; i < count; ++i)
    if (SameIgnoringCase(names[i], wanted))
      return i;
  return -1;
}

template <typename NameOf> std::string List(int32_t count, NameOf nameOf) {
  std::string list;
  for (int32_t i = 0; i < count; ++i)
    list += (i ? ", \"" : "\"") + nameOf(i) + "\"";
  return list.empty() ? "none" : list;
}

} // namespace

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<double> ParseNumber(const std::string& text) {
  const std::string trimmed = Trim(text);
  char* end = nullptr;
  const double value = std::strtod(trimmed.c_str(), &end);
  if (trimmed.empty() || *end != '\0' || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::string FormatNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

int32_t SelectProgram(Instance& instance, const std::string& nameOrIndex) {
  const int32_t count = instance.NumPrograms();
  auto nameOf = [&](int32_t i) { return instance.ProgramName(i); };
  int32_t index = FindByName(count, nameOrIndex, nameOf);
  if (index < 0 && !nameOrIndex.empty() &&
      std::all_of(nameOrIndex.begin(), nameOrIndex.end(), ::isdigit)) {
    const long number = std::strtol(nameOrIndex.c_str(), nullptr, 10);
    if (nameOrIndex.size() <= 9 && number < count)
      index = static_cast<int32_t>(number);
  }
  if (index < 0)
    throw UsageError("no program '" + nameOrIndex + "'; the plug-in has " + List(count, nameOf) +
                     (count ? " (or an index from 0 to " + std::to_string(count - 1) + ")" : ""));
  instance.SelectProgram(index);
  return index;
}

int32_t FindParameter(const Instance& instance, const std::string& name) {
  auto nameOf = [&](int32_t i) { return instance.ParameterName(i); };
  const int32_t index = FindByName(instance.NumParams(), name, nameOf);
  if (index < 0)
    throw UsageError("no parameter '" + name + "'; the plug-in has " +
                     List(instance.NumParams(), nameOf));
  return index;
}

std::string DisplayWithLabel(const Instance& instance, int32_t index) {
  const std::string display = Trim(instance.ParameterDisplay(index));
  const std::string label = Trim(instance.ParameterLabel(index));
  return label.empty() ? display : display + " " + label;
}

} // namespace zhost
