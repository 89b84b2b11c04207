#include "Settings.h"

#include "Errors.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace zhost {

namespace {

constexpr int kSearchSteps = 1000;
constexpr int kBisections = 40;

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A text that is one finite number and nothing else.
std::optional<double> Number(const std::string& text) {
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

double DisplayedAt(const Plugin& plugin, int32_t index, float normalised) {
  plugin.SetParameter(index, normalised);
  return Number(plugin.ParameterDisplay(index)).value_or(NAN);
}

// Searches the normalised position whose display shows target: a scan for the step where the
// displayed number crosses the target, then bisection inside it.
bool SearchNormalised(const Plugin& plugin, int32_t index, double target) {
  double previous = DisplayedAt(plugin, index, 0.0f);
  for (int step = 1; step <= kSearchSteps; ++step) {
    const float position = static_cast<float>(step) / kSearchSteps;
    const double shown = DisplayedAt(plugin, index, position);
    if (std::isfinite(previous) && std::isfinite(shown) && std::min(previous, shown) <= target &&
        target <= std::max(previous, shown)) {
      float low = static_cast<float>(step - 1) / kSearchSteps;
      float high = position;
      const bool rising = shown >= previous;
      for (int i = 0; i < kBisections; ++i) {
        const float middle = 0.5f * (low + high);
        const bool below = DisplayedAt(plugin, index, middle) < target;
        (below == rising ? low : high) = middle;
      }
      const double lowError = std::fabs(DisplayedAt(plugin, index, low) - target);
      const double highError = std::fabs(DisplayedAt(plugin, index, high) - target);
      plugin.SetParameter(index, lowError <= highError ? low : high);
      return true;
    }
    previous = shown;
  }
  return false;
}

} // namespace

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int32_t SelectProgram(const Plugin& plugin, const std::string& nameOrIndex) {
  const int32_t count = plugin.NumPrograms();
  auto nameOf = [&](int32_t i) { return plugin.ProgramName(i); };
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
  plugin.Dispatch(effBeginSetProgram);
  plugin.Dispatch(effSetProgram, 0, index);
  plugin.Dispatch(effEndSetProgram);
  return index;
}

int32_t FindParameter(const Plugin& plugin, const std::string& name) {
  auto nameOf = [&](int32_t i) { return plugin.ParameterName(i); };
  const int32_t index = FindByName(plugin.NumParams(), name, nameOf);
  if (index < 0)
    throw UsageError("no parameter '" + name + "'; the plug-in has " +
                     List(plugin.NumParams(), nameOf));
  return index;
}

void SetParameterText(const Plugin& plugin, int32_t index, const std::string& value) {
  const std::string name = plugin.ParameterName(index);
  const std::optional<double> number = Number(value);
  const float before = plugin.GetParameter(index);
  const double atLow = DisplayedAt(plugin, index, 0.0f);
  const double atHigh = DisplayedAt(plugin, index, 1.0f);
  plugin.SetParameter(index, before);

  if (number && std::isfinite(atLow) && std::isfinite(atHigh)) {
    const double low = std::min(atLow, atHigh);
    const double high = std::max(atLow, atHigh);
    const double slack = 1e-6 * std::max(1.0, high - low);
    if (*number < low - slack || *number > high + slack) {
      const std::string label = plugin.ParameterLabel(index);
      throw UsageError(name + "=" + value + " is outside its range " + FormatNumber(low) + " to " +
                       FormatNumber(high) + (label.empty() ? "" : " " + Trim(label)));
    }
  }

  std::string text = value;
  if (plugin.Dispatch(effString2Parameter, index, 0, text.data()) != 0)
    return;
  if (!number)
    throw UsageError(name + "=" + value + ": the plug-in does not accept this text, and it is " +
                     "not a number");
  if (!SearchNormalised(plugin, index, *number)) {
    plugin.SetParameter(index, before);
    throw UsageError(name + "=" + value + ": the plug-in does not accept texts, and no " +
                     "position of the parameter shows this value");
  }
}

std::string DisplayWithLabel(const Plugin& plugin, int32_t index) {
  const std::string display = Trim(plugin.ParameterDisplay(index));
  const std::string label = Trim(plugin.ParameterLabel(index));
  return label.empty() ? display : display + " " + label;
}

} // namespace zhost
