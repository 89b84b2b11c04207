// texts: every text a plug-in writes into a buffer of the host's (names, labels, displays,
// program names, pin properties, its own identity), written into a buffer filled with a pattern
// and followed by an unmapped page. Each opcode has a bound of its own, well above the lengths
// the interface names (which many plug-ins exceed without harm); a write past it, or a text
// without its terminating zero, fails. The longest write of each opcode is noted.
#include "checks/HostileValues.h"
#include "core/Validation.h"
#include "framework/DAEffectX.h"
#include "hosting/Errors.h"
#include "vst2/Vst2Subject.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

namespace zhost::validate {

namespace {

// The bound of each opcode, in bytes written including the terminating zero.
struct TextOpcode {
  int32_t opcode;
  const char* name;
  size_t bound;
};

constexpr TextOpcode kParamName{effGetParamName, "effGetParamName", 64};
constexpr TextOpcode kParamLabel{effGetParamLabel, "effGetParamLabel", 64};
constexpr TextOpcode kParamDisplay{effGetParamDisplay, "effGetParamDisplay", 64};
constexpr TextOpcode kProgramName{effGetProgramName, "effGetProgramName", 64};
constexpr TextOpcode kProgramNameIndexed{effGetProgramNameIndexed, "effGetProgramNameIndexed", 64};
constexpr TextOpcode kEffectName{effGetEffectName, "effGetEffectName", 128};
constexpr TextOpcode kVendor{effGetVendorString, "effGetVendorString", 128};
constexpr TextOpcode kProduct{effGetProductString, "effGetProductString", 128};
// The pin properties are a record: nothing may be written past its end.
constexpr TextOpcode kInputPin{effGetInputProperties, "effGetInputProperties",
                               sizeof(VstPinProperties)};
constexpr TextOpcode kOutputPin{effGetOutputProperties, "effGetOutputProperties",
                                sizeof(VstPinProperties)};

constexpr unsigned char kPatterns[] = {0xa5, 0x5a};

// Pages of memory with an unmapped page right after them: a write far past every bound crashes
// there, in the call that made it, instead of corrupting the validator's heap.
class GuardedBuffer {
public:
  GuardedBuffer() {
    FPage = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    FSize = 2 * FPage;
    void* memory =
        mmap(nullptr, FSize + FPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
      throw HostError(std::string("cannot map a text buffer: ") + std::strerror(errno));
    FData = static_cast<unsigned char*>(memory);
    mprotect(FData + FSize, FPage, PROT_NONE);
  }
  ~GuardedBuffer() { munmap(FData, FSize + FPage); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  unsigned char* Data() const { return FData; }
  size_t Size() const { return FSize; }
  void Fill(unsigned char byte) const { std::memset(FData, byte, FSize); }
  // How many bytes from the start differ from the fill pattern, up to the last one that does.
  size_t Written(unsigned char byte) const {
    size_t end = FSize;
    while (end > 0 && FData[end - 1] == byte)
      --end;
    return end;
  }

private:
  unsigned char* FData = nullptr;
  size_t FSize = 0;
  size_t FPage = 0;
};

struct Longest {
  size_t bytes = 0;
  std::string where;
};

class TextProbe {
public:
  TextProbe(Context& context, Vst2Effect& plugin) : FContext(context), FPlugin(plugin) {}

  // Asks for the text twice, into buffers filled with two patterns, and checks the longer write.
  // Answers the text up to its terminator (or to the bound when it has none).
  std::string Ask(const TextOpcode& text, int32_t index, VstIntPtr value,
                  const std::string& where) {
    FContext.Step("%s %s", text.name, where.c_str());
    size_t written = 0;
    std::string answer;
    bool terminated = true;
    for (unsigned char pattern : kPatterns) {
      FBuffer.Fill(pattern);
      FPlugin.Dispatch(text.opcode, index, value, FBuffer.Data());
      const size_t bytes = FBuffer.Written(pattern);
      written = std::max(written, bytes);
      if (pattern == kPatterns[0]) {
        const auto* begin = reinterpret_cast<const char*>(FBuffer.Data());
        const size_t length = strnlen(begin, std::min(bytes, text.bound));
        terminated = bytes == 0 || length < std::min(bytes, text.bound);
        answer.assign(begin, length);
      }
    }
    Longest& longest = FLongest[text.name];
    if (written > longest.bytes)
      longest = {written, where};
    if (written > text.bound)
      FContext.Fail(std::string(text.name) + " " + where + " wrote " + std::to_string(written) +
                    " bytes, past the bound of " + std::to_string(text.bound));
    else if (!terminated)
      FContext.Fail(std::string(text.name) + " " + where + " wrote " + Printable(answer) +
                    " without a terminating zero");
    return answer;
  }

  // A pin's properties: the write stays inside the record, and label and short label end within
  // their fields (checked in a zeroed record, as hosts hand it over, so that a plug-in that
  // leaves the short label alone passes).
  void AskPin(const TextOpcode& pin, int32_t index, const std::string& where) {
    Ask(pin, index, 0, where);
    FBuffer.Fill(0);
    if (FPlugin.Dispatch(pin.opcode, index, 0, FBuffer.Data()) == 0)
      return;
    VstPinProperties properties;
    std::memcpy(&properties, FBuffer.Data(), sizeof properties);
    if (strnlen(properties.label, sizeof properties.label) == sizeof properties.label)
      FContext.Fail(std::string(pin.name) + " " + where + ": the label fills all " +
                    std::to_string(sizeof properties.label) + " bytes with no terminating zero");
    if (strnlen(properties.shortLabel, sizeof properties.shortLabel) ==
        sizeof properties.shortLabel)
      FContext.Fail(std::string(pin.name) + " " + where + ": the short label fills all " +
                    std::to_string(sizeof properties.shortLabel) +
                    " bytes with no terminating zero");
  }

  void NoteLongest() const {
    for (const auto& [name, longest] : FLongest)
      FContext.Note("longest " + name, std::to_string(longest.bytes) + " bytes" +
                                           (longest.bytes ? " (" + longest.where + ")" : ""));
  }

private:
  Context& FContext;
  Vst2Effect& FPlugin;
  GuardedBuffer FBuffer;
  std::map<std::string, Longest> FLongest;
};

std::string OfParameter(int32_t index) {
  return "of parameter " + std::to_string(index);
}

void ParameterTexts(TextProbe& probe, int32_t index, const std::string& state) {
  const std::string where = OfParameter(index) + state;
  probe.Ask(kParamName, index, 0, where);
  probe.Ask(kParamLabel, index, 0, where);
  probe.Ask(kParamDisplay, index, 0, where);
}

void PluginTexts(Context& context) {
  auto plugin = LoadOpened(context);
  TextProbe probe(context, *plugin);
  probe.Ask(kEffectName, 0, 0, "of the plug-in");
  probe.Ask(kVendor, 0, 0, "of the plug-in");
  probe.Ask(kProduct, 0, 0, "of the plug-in");
  probe.NoteLongest();
}

// Every parameter's name, label and display at its default, lowest, middle and highest value.
void Parameters(Context& context) {
  auto plugin = LoadOpened(context);
  if (plugin->NumParams() == 0)
    context.Skip("the plug-in has no parameters");
  TextProbe probe(context, *plugin);
  for (int32_t index = 0; index < plugin->NumParams(); ++index) {
    ParameterTexts(probe, index, " at its default");
    const float initial = plugin->GetParameter(index);
    for (const float value : {0.0f, 0.5f, 1.0f}) {
      context.Step("setParameter(%d, %g)", index, value);
      plugin->SetParameter(index, value);
      ParameterTexts(probe, index, " at " + Number(value));
    }
    plugin->SetParameter(index, InUnitRange(initial) ? initial : 0.0f);
  }
  probe.NoteLongest();
}

// The same texts after the host sent values no parameter takes.
void AfterHostileValues(Context& context) {
  auto plugin = LoadOpened(context);
  if (plugin->NumParams() == 0)
    context.Skip("the plug-in has no parameters");
  TextProbe probe(context, *plugin);
  for (int32_t index = 0; index < plugin->NumParams(); ++index) {
    const float initial = plugin->GetParameter(index);
    for (const HostileValue& hostile : kHostileValues) {
      context.Step("setParameter(%d, %s)", index, hostile.name);
      plugin->SetParameter(index, hostile.value);
      ParameterTexts(probe, index, std::string(" after setParameter(") + hostile.name + ")");
    }
    plugin->SetParameter(index, InUnitRange(initial) ? initial : 0.0f);
  }
  probe.NoteLongest();
}

void Programs(Context& context) {
  auto plugin = LoadOpened(context);
  if (plugin->NumPrograms() == 0)
    context.Skip("the plug-in has no programs");
  TextProbe probe(context, *plugin);
  const VstIntPtr current = plugin->Dispatch(effGetProgram);
  for (int32_t program = 0; program < plugin->NumPrograms(); ++program) {
    const std::string where = "of program " + std::to_string(program);
    probe.Ask(kProgramNameIndexed, program, -1, where);
    context.Step("effSetProgram %d", program);
    plugin->Dispatch(effSetProgram, 0, program);
    probe.Ask(kProgramName, 0, 0, "with program " + std::to_string(program) + " selected");
  }
  plugin->Dispatch(effSetProgram, 0, current);
  probe.NoteLongest();
}

void Pins(Context& context) {
  auto plugin = LoadOpened(context);
  TextProbe probe(context, *plugin);
  for (int32_t pin = 0; pin < plugin->NumInputs(); ++pin)
    probe.AskPin(kInputPin, pin, "of input " + std::to_string(pin));
  for (int32_t pin = 0; pin < plugin->NumOutputs(); ++pin)
    probe.AskPin(kOutputPin, pin, "of output " + std::to_string(pin));
  probe.NoteLongest();
}

// Indexes outside every list: the answer may be anything or nothing, but within bounds.
void BadIndexTexts(Context& context) {
  auto plugin = LoadOpened(context);
  TextProbe probe(context, *plugin);
  for (const int32_t index : BadIndexes(plugin->NumParams()))
    ParameterTexts(probe, index, " (there are " + std::to_string(plugin->NumParams()) + ")");
  for (const int32_t index : BadIndexes(plugin->NumPrograms()))
    probe.Ask(kProgramNameIndexed, index, -1,
              "of program " + std::to_string(index) + " (there are " +
                  std::to_string(plugin->NumPrograms()) + ")");
  for (const int32_t index : BadIndexes(plugin->NumInputs()))
    probe.Ask(kInputPin, index, 0, "of input " + std::to_string(index));
  for (const int32_t index : BadIndexes(plugin->NumOutputs()))
    probe.Ask(kOutputPin, index, 0, "of output " + std::to_string(index));
  probe.NoteLongest();
}

const bool registered =
    Register(PluginFormat::Vst2, {"texts.plugin", PluginTexts, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"texts.parameters", Parameters, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"texts.hostile-values", AfterHostileValues, {.strictness = 2}}) &&
    Register(PluginFormat::Vst2, {"texts.programs", Programs, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"texts.pins", Pins, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"texts.bad-indexes", BadIndexTexts, {.strictness = 6}});

} // namespace

} // namespace zhost::validate
