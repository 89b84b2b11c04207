#include "Vst2Instance.h"

#include "InfoLines.h"
#include "Selection.h"

#include "framework/DAEffectX.h"
#include "hosting/Errors.h"
#include "hosting/NumberText.h"
#include "hosting/Vst2Host.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace zhost {

namespace {

constexpr int kSearchSteps = 1000;
constexpr int kBisections = 40;

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

std::string Pins(const Vst2Effect& plugin, int32_t count, int32_t opcode) {
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

void PrintCanDos(const Vst2Effect& plugin, std::ostream& out) {
  std::vector<std::string> yes, no, unknown;
  for (const char* text : kCanDos) {
    std::string query = text;
    const VstIntPtr answer = plugin.Dispatch(effCanDo, 0, 0, query.data());
    (answer > 0 ? yes : answer < 0 ? no : unknown).push_back(text);
  }
  InfoLine(out, "Can do", InfoList(yes));
  InfoLine(out, "Cannot do", InfoList(no));
  InfoLine(out, "Does not say", InfoList(unknown));
}

double DisplayedAt(const Vst2Effect& plugin, int32_t index, float normalised) {
  plugin.SetParameter(index, normalised);
  return ParseNumber(plugin.ParameterDisplay(index)).value_or(NAN);
}

// Searches the normalised position whose display shows target: a scan for the step where the
// displayed number crosses the target, then bisection inside it.
bool SearchNormalised(const Vst2Effect& plugin, int32_t index, double target) {
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

Vst2Instance::Vst2Instance(const std::string& path) : FEffect(path) {
  Host().onAutomate = [this](AEffect*, int32_t index, float) {
    if (onParameterEdited)
      onParameterEdited(index);
  };
}

Vst2Instance::~Vst2Instance() {
  CloseEditor();
  Host().onAutomate = nullptr;
  Host().processing = false;
}

void Vst2Instance::PrintDetails(std::ostream& out) const {
  const Vst2Effect& plugin = FEffect;
  const AEffect& effect = plugin.Effect();
  InfoLine(out, "Effect name", plugin.Text(effGetEffectName));
  InfoLine(out, "Vendor", plugin.Text(effGetVendorString));
  InfoLine(out, "Product", plugin.Text(effGetProductString));
  InfoLine(out, "Vendor version", std::to_string(plugin.Dispatch(effGetVendorVersion)));
  InfoLine(out, "Plug-in version", std::to_string(effect.version));
  InfoLine(out, "VST version", std::to_string(plugin.Dispatch(effGetVstVersion)));
  InfoLine(out, "Unique ID", UniqueId(effect.uniqueID));
  InfoLine(out, "Category", Category(plugin.Dispatch(effGetPlugCategory)));
  InfoLine(out, "Flags", Flags(effect.flags));
  InfoLine(out, "Inputs", Pins(plugin, effect.numInputs, effGetInputProperties));
  InfoLine(out, "Outputs", Pins(plugin, effect.numOutputs, effGetOutputProperties));
  InfoLine(out, "Initial delay", std::to_string(effect.initialDelay) + " samples");
  InfoLine(out, "Tail size", std::to_string(plugin.Dispatch(effGetTailSize)) + " samples");
  PrintCanDos(plugin, out);
}

void Vst2Instance::Open(float sampleRate, int32_t blockSize) {
  HostState& host = Host();
  host.sampleRate = sampleRate;
  host.blockSize = blockSize;
  FEffect.Open();
  FEffect.Dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
  FEffect.Dispatch(effSetBlockSize, 0, blockSize);
}

void Vst2Instance::Start() {
  if (!FEffect.CanProcess())
    throw HostError(FEffect.Path() + ": the plug-in offers no audio callback");
  FEffect.Resume();
  FEffect.StartProcess();
  Host().processing = true;
}

void Vst2Instance::Process(float** inputs, float** outputs, int32_t frames) {
  FEffect.Process(inputs, outputs, frames);
}

std::string Vst2Instance::DisplayAtEnd(int32_t index, bool high) {
  const float value = FEffect.GetParameter(index);
  FEffect.SetParameter(index, high ? 1.0f : 0.0f);
  const std::string display = DisplayWithLabel(*this, index);
  FEffect.SetParameter(index, value);
  return display;
}

bool Vst2Instance::Automatable(int32_t index) const {
  return FEffect.Dispatch(effCanBeAutomated, index) != 0;
}

std::optional<ValueRange> Vst2Instance::Range(int32_t index) {
  const float before = FEffect.GetParameter(index);
  const double atLow = DisplayedAt(FEffect, index, 0.0f);
  const double atHigh = DisplayedAt(FEffect, index, 1.0f);
  FEffect.SetParameter(index, before);
  if (!std::isfinite(atLow) || !std::isfinite(atHigh))
    return std::nullopt;
  return ValueRange{atLow, atHigh};
}

void Vst2Instance::SetParameterText(int32_t index, const std::string& value) {
  const Vst2Effect& plugin = FEffect;
  const std::string name = plugin.ParameterName(index);
  const float before = plugin.GetParameter(index);
  std::string text = value;
  if (plugin.Dispatch(effString2Parameter, index, 0, text.data()) != 0)
    return;
  const std::optional<double> number = ParseNumber(value);
  if (!number)
    throw UsageError(name + "=" + value + ": the plug-in does not accept this text, and it is " +
                     "not a number");
  if (!SearchNormalised(plugin, index, *number)) {
    plugin.SetParameter(index, before);
    throw UsageError(name + "=" + value + ": the plug-in does not accept texts, and no " +
                     "position of the parameter shows this value");
  }
}

int32_t Vst2Instance::CurrentProgram() const {
  return static_cast<int32_t>(FEffect.Dispatch(effGetProgram));
}

void Vst2Instance::SelectProgram(int32_t index) {
  FEffect.Dispatch(effBeginSetProgram);
  FEffect.Dispatch(effSetProgram, 0, index);
  FEffect.Dispatch(effEndSetProgram);
}

bool Vst2Instance::HasEditor() const {
  return (FEffect.Effect().flags & effFlagsHasEditor) != 0;
}

std::pair<int, int> Vst2Instance::EditorSize() const {
  ERect* rect = nullptr;
  FEffect.Dispatch(effEditGetRect, 0, 0, &rect);
  if (!rect)
    return {0, 0};
  return {std::max(rect->right - rect->left, 0), std::max(rect->bottom - rect->top, 0)};
}

bool Vst2Instance::OpenEditor(void* display, unsigned long window) {
  constexpr int32_t kScaleVendor = 0x50726553;           // 'PreS'
  constexpr VstIntPtr kContentScaleRequest = 0x41654373; // 'AeCs'
  if (editorScale > 0)
    FEffect.Dispatch(effVendorSpecific, kScaleVendor, kContentScaleRequest, nullptr,
                     float(editorScale));
  FEditorOpen = FEffect.Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(display),
                                 reinterpret_cast<void*>(window)) != 0;
  return FEditorOpen;
}

void Vst2Instance::IdleEditor() {
  if (FEditorOpen)
    FEffect.Dispatch(effEditIdle);
}

void Vst2Instance::CloseEditor() {
  if (FEditorOpen)
    FEffect.Dispatch(effEditClose);
  FEditorOpen = false;
}

} // namespace zhost
