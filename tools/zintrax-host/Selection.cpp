#include "Selection.h"

#include "hosting/Errors.h"
#include "hosting/NumberText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
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

void SetParameterText(Instance& instance, int32_t index, const std::string& text) {
  const std::optional<double> number = ParseNumber(text);
  const std::optional<ValueRange> range = instance.Range(index);
  if (number && range) {
    const double low = std::min(range->low, range->high);
    const double high = std::max(range->low, range->high);
    const double slack = 1e-6 * std::max(1.0, high - low);
    const std::string label = Trim(instance.ParameterLabel(index));
    if (*number < low - slack || *number > high + slack)
      throw UsageError(instance.ParameterName(index) + "=" + text + " is outside its range " +
                       FormatNumber(low) + " to " + FormatNumber(high) +
                       (label.empty() ? "" : " " + label));
  }
  instance.SetParameterText(index, text);
}

std::string DisplayWithLabel(const Instance& instance, int32_t index) {
  const std::string display = Trim(instance.ParameterDisplay(index));
  const std::string label = Trim(instance.ParameterLabel(index));
  return label.empty() ? display : display + " " + label;
}

std::string RoundedDisplay(const Instance& instance, int32_t index) {
  std::string display = Trim(instance.ParameterDisplay(index));
  if (const std::optional<double> number = ParseNumber(display)) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", *number);
    display = text;
  }
  const std::string label = Trim(instance.ParameterLabel(index));
  return label.empty() ? display : display + " " + label;
}

void ApplySettings(Instance& instance, const std::optional<std::string>& program,
                   const std::vector<std::pair<std::string, std::string>>& params) {
  if (program)
    SelectProgram(instance, *program);
  for (const auto& [name, value] : params)
    SetParameterText(instance, FindParameter(instance, name), value);
}

std::string EditedLine(const Instance& instance, int32_t index) {
  return Trim(instance.ParameterName(index)) + " = " + RoundedDisplay(instance, index);
}

} // namespace zhost
