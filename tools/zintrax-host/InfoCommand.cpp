#include "InfoCommand.h"

#include "Plugin.h"
#include "Settings.h"

#include "framework/DAEffectX.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace zhost {

namespace {

constexpr const char* kCategories[] = {
    "Unknown", "Effect",     "Synth",       "Analysis",       "Mastering", "Spacializer",
    "RoomFx",  "SurroundFx", "Restoration", "OfflineProcess", "Shell",     "Generator",
};

struct FlagName {
  int32_t bit;
  const char* name;
};

constexpr FlagName kFlags[] = {
    {effFlagsHasEditor, "HasEditor"},
    {effFlagsHasClip, "HasClip"},
    {effFlagsHasVu, "HasVu"},
    {effFlagsCanMono, "CanMono"},
    {effFlagsCanReplacing, "CanReplacing"},
    {effFlagsProgramChunks, "ProgramChunks"},
    {effFlagsIsSynth, "IsSynth"},
    {effFlagsNoSoundInStop, "NoSoundInStop"},
    {effFlagsExtIsAsync, "ExtIsAsync"},
    {effFlagsExtHasBuffer, "ExtHasBuffer"},
};

// The capability texts a plug-in may be asked about.
constexpr const char* kCanDos[] = {
    "sendVstEvents",
    "sendVstMidiEvent",
    "sendVstTimeInfo",
    "receiveVstEvents",
    "receiveVstMidiEvent",
    "receiveVstTimeInfo",
    "offline",
    "plugAsChannelInsert",
    "plugAsSend",
    "mixDryWet",
    "noRealTime",
    "multipass",
    "metapass",
    "1in1out",
    "1in2out",
    "2in1out",
    "2in2out",
    "2in4out",
    "4in2out",
    "4in4out",
    "4in8out",
    "8in4out",
    "8in8out",
    "midiProgramNames",
    "conformsToWindowRules",
    "LiveWithoutToolbar",
    "bypass",
};

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string UniqueId(int32_t id) {
  std::string chars;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<unsigned char>(static_cast<uint32_t>(id) >> shift);
    if (!std::isprint(c))
      return Hex(static_cast<uint32_t>(id));
    chars += static_cast<char>(c);
  }
  return "'" + chars + "' (" + Hex(static_cast<uint32_t>(id)) + ")";
}

std::string Flags(int32_t flags) {
  std::string text = Hex(static_cast<uint32_t>(flags)) + ":";
  int32_t known = 0;
  for (const FlagName& f : kFlags) {
    known |= f.bit;
    if (flags & f.bit)
      text += std::string(" ") + f.name;
  }
  if (flags & ~known)
    text += " and " + Hex(static_cast<uint32_t>(flags & ~known));
  return text;
}

std::string Category(VstIntPtr category) {
  const bool named = category >= 0 && category < VstIntPtr(std::size(kCategories));
  return (named ? std::string(kCategories[category]) + " (" : "(") + std::to_string(category) + ")";
}

std::string Pins(const Plugin& plugin, int32_t count, int32_t opcode) {
  std::string text = std::to_string(count);
  for (int32_t i = 0; i < count; ++i) {
    VstPinProperties pin{};
    if (plugin.Dispatch(opcode, i, 0, &pin) == 0)
      continue;
    pin.label[kVstPinLabelSize - 1] = '\0';
    pin.shortLabel[kVstPinShortLabelSize - 1] = '\0';
    text += (i ? ", \"" : ": \"") + std::string(pin.label) + "\" (" + pin.shortLabel;
    if (pin.flags & kVstPinIsActive)
      text += ", active";
    if (pin.flags & kVstPinIsStereo)
      text += ", stereo";
    text += ")";
  }
  return text;
}

constexpr size_t kLabelWidth = 16;
constexpr size_t kLineWidth = 100;

void Line(std::ostream& out, const char* name, const std::string& value) {
  char label[kLabelWidth + 4];
  std::snprintf(label, sizeof label, "%-16s", name);
  out << label << value << '\n';
}

// A list of names, wrapped under the value column.
std::string Joined(const std::vector<std::string>& items) {
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

void PrintCanDos(const Plugin& plugin, std::ostream& out) {
  std::vector<std::string> yes, no, unknown;
  for (const char* text : kCanDos) {
    std::string query = text;
    const VstIntPtr answer = plugin.Dispatch(effCanDo, 0, 0, query.data());
    (answer > 0 ? yes : answer < 0 ? no : unknown).push_back(text);
  }
  Line(out, "Can do", Joined(yes));
  Line(out, "Cannot do", Joined(no));
  Line(out, "Does not say", Joined(unknown));
}

void PrintPrograms(const Plugin& plugin, std::ostream& out) {
  const VstIntPtr current = plugin.Dispatch(effGetProgram);
  out << "\nPrograms (" << plugin.NumPrograms() << ", current " << current << "):\n";
  for (int32_t i = 0; i < plugin.NumPrograms(); ++i)
    out << "  " << i << "  " << plugin.ProgramName(i) << '\n';
}

void PrintParameters(const Plugin& plugin, std::ostream& out) {
  std::vector<std::vector<std::string>> rows = {
      {"#", "Name", "Value", "At 0", "At 1", "Automatable"}};
  for (int32_t i = 0; i < plugin.NumParams(); ++i) {
    const float value = plugin.GetParameter(i);
    const std::string current = DisplayWithLabel(plugin, i);
    plugin.SetParameter(i, 0.0f);
    const std::string atLow = DisplayWithLabel(plugin, i);
    plugin.SetParameter(i, 1.0f);
    const std::string atHigh = DisplayWithLabel(plugin, i);
    plugin.SetParameter(i, value);
    const bool automatable = plugin.Dispatch(effCanBeAutomated, i) != 0;
    rows.push_back({std::to_string(i), plugin.ParameterName(i), current, atLow, atHigh,
                    automatable ? "yes" : "no"});
  }
  std::vector<size_t> widths(rows.front().size(), 0);
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c)
      widths[c] = std::max(widths[c], row[c].size());
  out << "\nParameters (" << plugin.NumParams() << "):\n";
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
  Plugin plugin(options.plugin);
  plugin.Open();
  const AEffect& effect = plugin.Effect();
  Line(out, "Plug-in", plugin.Path());
  Line(out, "Effect name", plugin.Text(effGetEffectName));
  Line(out, "Vendor", plugin.Text(effGetVendorString));
  Line(out, "Product", plugin.Text(effGetProductString));
  Line(out, "Vendor version", std::to_string(plugin.Dispatch(effGetVendorVersion)));
  Line(out, "Plug-in version", std::to_string(effect.version));
  Line(out, "VST version", std::to_string(plugin.Dispatch(effGetVstVersion)));
  Line(out, "Unique ID", UniqueId(effect.uniqueID));
  Line(out, "Category", Category(plugin.Dispatch(effGetPlugCategory)));
  Line(out, "Flags", Flags(effect.flags));
  Line(out, "Inputs", Pins(plugin, effect.numInputs, effGetInputProperties));
  Line(out, "Outputs", Pins(plugin, effect.numOutputs, effGetOutputProperties));
  Line(out, "Initial delay", std::to_string(effect.initialDelay) + " samples");
  Line(out, "Tail size", std::to_string(plugin.Dispatch(effGetTailSize)) + " samples");
  PrintCanDos(plugin, out);
  PrintPrograms(plugin, out);
  PrintParameters(plugin, out);
}

} // namespace zhost
