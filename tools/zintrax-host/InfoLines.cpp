#include "InfoLines.h"

#include <cstdio>

namespace zhost {

namespace {

constexpr size_t kLabelWidth = 16;
constexpr size_t kLineWidth = 100;

} // namespace

void InfoLine(std::ostream& out, const char* name, const std::string& value) {
  char label[kLabelWidth + 4];
  std::snprintf(label, sizeof label, "%-16s", name);
  out << label << value << '\n';
}

std::string InfoList(const std::vector<std::string>& items) {
  std::string text;
  size_t column = kLabelWidth;
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string item = items[i] + (i + 1 < items.size() ? "," : "");
    if (i > 0 && column + 1 + item.size() > kLineWidth) {
      text += "\n" + std::string(kLabelWidth, ' ');
      column = kLabelWidth;
    } else if (i > 0) {
      text += ' ';
      ++column;
    }
    text += item;
    column += item.size();
  }
  return text.empty() ? "(none)" : text;
}

} // namespace zhost
