#include "InfoCommand.h"

#include "InfoLines.h"
#include "Instance.h"
#include "Selection.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace zhost {

namespace {

void PrintPrograms(const Instance& instance, std::ostream& out) {
  out << "\nPrograms (" << instance.NumPrograms() << ", current " << instance.CurrentProgram()
      << "):\n";
  for (int32_t i = 0; i < instance.NumPrograms(); ++i)
    out << "  " << i << "  " << instance.ProgramName(i) << '\n';
}

void PrintParameters(Instance& instance, std::ostream& out) {
  std::vector<std::vector<std::string>> rows = {
      {"#", "Name", "Value", "At 0", "At 1", "Automatable"}};
  for (int32_t i = 0; i < instance.NumParams(); ++i) {
    const std::string current = DisplayWithLabel(instance, i);
    const std::string atLow = instance.DisplayAtEnd(i, false);
    const std::string atHigh = instance.DisplayAtEnd(i, true);
    rows.push_back({std::to_string(i), instance.ParameterName(i), current, atLow, atHigh,
                    instance.Automatable(i) ? "yes" : "no"});
  }
  std::vector<size_t> widths(rows.front().size(), 0);
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c)
      widths[c] = std::max(widths[c], row[c].size());
  out << "\nParameters (" << instance.NumParams() << "):\n";
  for (const auto& row : rows) {
    for (size_t c = 0; c < row.size(); ++c) {
      out << "  " << row[c];
      if (c + 1 < row.size())
        out << std::string(widths[c] - row[c].size(), ' ');
    }
    out << '\n';
  }
}

} // namespace

void RunInfo(const InfoOptions& options, std::ostream& out) {
  std::unique_ptr<Instance> instance = LoadInstance(options.plugin);
  instance->Open(44100.0f, 1024);
  InfoLine(out, "Plug-in", instance->Location());
  InfoLine(out, "Format", instance->Format());
  instance->PrintDetails(out);
  PrintPrograms(*instance, out);
  PrintParameters(*instance, out);
}

} // namespace zhost
