// programs: names through both opcodes, selections that come back as they were, chunks of the
// bank and of a program that restore the state byte for byte, and chunks no host wrote (corrupt,
// short, huge) taken without harm.
#include "checks/HostileValues.h"
#include "core/Validation.h"
#include "vst2/Vst2Subject.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace zhost::validate {

namespace {

using Bytes = std::vector<unsigned char>;

constexpr int32_t kBank = 0;
constexpr int32_t kProgram = 1;

const char* ChunkName(int32_t which) {
  return which == kBank ? "bank" : "program";
}

std::unique_ptr<Vst2Effect> WithPrograms(Context& context) {
  auto plugin = LoadOpened(context);
  if (plugin->NumPrograms() == 0)
    context.Skip("the plug-in has no programs");
  return plugin;
}

std::unique_ptr<Vst2Effect> WithChunks(Context& context) {
  auto plugin = LoadOpened(context);
  if ((plugin->Effect().flags & effFlagsProgramChunks) == 0)
    context.Skip("the plug-in keeps no chunks (no ProgramChunks flag)");
  return plugin;
}

std::vector<float> AllValues(const Vst2Effect& plugin) {
  std::vector<float> values;
  for (int32_t index = 0; index < plugin.NumParams(); ++index)
    values.push_back(plugin.GetParameter(index));
  return values;
}

// What each parameter shows: a chunk keeps the state a plug-in works with, which may be a
// step or a rounding away from the value last set, so a restored state is compared by its texts.
std::vector<std::string> AllDisplays(Context& context, const Vst2Effect& plugin) {
  std::vector<std::string> shown;
  for (int32_t index = 0; index < plugin.NumParams(); ++index) {
    context.Step("effGetParamDisplay of parameter %d", index);
    shown.push_back(plugin.ParameterDisplay(index));
  }
  return shown;
}

// A copy of the chunk the plug-in answers: its memory is its own and may change with the next
// call.
Bytes GetChunk(Context& context, const Vst2Effect& plugin, int32_t which) {
  context.Step("effGetChunk of the %s", ChunkName(which));
  void* data = nullptr;
  const VstIntPtr size = plugin.Dispatch(effGetChunk, which, 0, &data);
  if (size <= 0 || data == nullptr)
    return {};
  const auto* bytes = static_cast<const unsigned char*>(data);
  return Bytes(bytes, bytes + size);
}

void SetChunk(Context& context, const Vst2Effect& plugin, int32_t which, Bytes chunk,
              const char* what) {
  context.Step("effSetChunk of the %s: %s of %zu bytes", ChunkName(which), what, chunk.size());
  plugin.Dispatch(effSetChunk, which, static_cast<VstIntPtr>(chunk.size()),
                  chunk.empty() ? nullptr : chunk.data());
}

void Randomise(Context& context, const Vst2Effect& plugin) {
  for (int32_t index = 0; index < plugin.NumParams(); ++index) {
    const auto value = static_cast<float>(context.Uniform(0.0, 1.0));
    context.Step("setParameter(%d, %.9g)", index, value);
    plugin.SetParameter(index, value);
  }
}

std::string FirstDifference(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size())
    return std::to_string(a.size()) + " bytes, then " + std::to_string(b.size());
  const auto differ = std::mismatch(a.begin(), a.end(), b.begin());
  return std::to_string(a.size()) + " bytes, first differing at offset " +
         std::to_string(differ.first - a.begin());
}

void Names(Context& context) {
  auto plugin = WithPrograms(context);
  const int32_t count = plugin->NumPrograms();
  for (int32_t program = 0; program < count; ++program) {
    std::vector<char> buffer(1024, '\0');
    context.Step("effGetProgramNameIndexed %d", program);
    const bool indexed = plugin->Dispatch(effGetProgramNameIndexed, program, -1, buffer.data());
    buffer.back() = '\0';
    const std::string byIndex = buffer.data();
    context.Step("effSetProgram %d", program);
    plugin->Dispatch(effBeginSetProgram);
    plugin->Dispatch(effSetProgram, 0, program);
    plugin->Dispatch(effEndSetProgram);
    context.Step("effGetProgram after selecting program %d", program);
    const VstIntPtr selected = plugin->Dispatch(effGetProgram);
    if (selected != program)
      context.Fail("effGetProgram answered " + std::to_string(selected) + " after effSetProgram " +
                   std::to_string(program));
    const std::string current = plugin->Text(effGetProgramName);
    if (indexed && byIndex != current)
      context.Fail("program " + std::to_string(program) + " is " + Printable(byIndex) +
                   " by effGetProgramNameIndexed but " + Printable(current) +
                   " by effGetProgramName once selected");
  }
  // A renamed program answers its new name through both opcodes, when the plug-in takes names.
  context.Step("effSetProgramName");
  const auto program = static_cast<int32_t>(context.Between(0, count - 1));
  plugin->Dispatch(effSetProgram, 0, program);
  char name[] = "Validator 23";
  plugin->Dispatch(effSetProgramName, 0, 0, name);
  const std::string current = plugin->Text(effGetProgramName);
  std::vector<char> buffer(1024, '\0');
  if (current == name &&
      plugin->Dispatch(effGetProgramNameIndexed, program, -1, buffer.data()) != 0 &&
      std::string(buffer.data()) != name)
    context.Fail("program " + std::to_string(program) + " renamed " + Printable(name) +
                 " is still " + Printable(buffer.data()) + " by effGetProgramNameIndexed");
}

// Random selections: a program selected again shows the parameters it showed the first time.
void Selection(Context& context) {
  auto plugin = WithPrograms(context);
  std::map<int32_t, std::vector<float>> first;
  const int rounds = 20 * context.Strictness();
  for (int round = 0; round < rounds; ++round) {
    const auto program = static_cast<int32_t>(context.Between(0, plugin->NumPrograms() - 1));
    context.Step("effSetProgram %d (selection %d)", program, round);
    plugin->Dispatch(effBeginSetProgram);
    plugin->Dispatch(effSetProgram, 0, program);
    plugin->Dispatch(effEndSetProgram);
    const std::vector<float> values = AllValues(*plugin);
    for (size_t index = 0; index < values.size(); ++index)
      if (!InUnitRange(values[index]))
        context.Fail("program " + std::to_string(program) + " sets parameter " +
                     std::to_string(index) + " to " + Number(values[index]) + ", outside 0..1");
    const auto [seen, isNew] = first.try_emplace(program, values);
    if (isNew)
      continue;
    for (size_t index = 0; index < values.size(); ++index)
      if (values[index] != seen->second[index])
        context.Fail("program " + std::to_string(program) + " selected again (selection " +
                     std::to_string(round) + ") sets parameter " + std::to_string(index) + " to " +
                     Number(values[index]) + ", the first time to " + Number(seen->second[index]));
  }
}

// Get, randomise the parameters, set, get again: the same bytes and the same parameters.
void Chunks(Context& context) {
  auto plugin = WithChunks(context);
  const int rounds = context.Strictness() >= 7 ? 8 : 3;
  for (const int32_t which : {kBank, kProgram}) {
    for (int round = 0; round < rounds; ++round) {
      if (plugin->NumPrograms() > 1) {
        const auto program = static_cast<int32_t>(context.Between(0, plugin->NumPrograms() - 1));
        plugin->Dispatch(effSetProgram, 0, program);
      }
      if (round > 0)
        Randomise(context, *plugin);
      const Bytes saved = GetChunk(context, *plugin, which);
      if (saved.empty()) {
        if (which == kBank)
          context.Abort(
              "the ProgramChunks flag is set but effGetChunk of the bank answers no data");
        context.Note("program chunk", "none (effGetChunk of a program answers no data)");
        break;
      }
      const std::vector<std::string> shown = AllDisplays(context, *plugin);
      Randomise(context, *plugin);
      SetChunk(context, *plugin, which, saved, "the chunk it answered");
      const Bytes again = GetChunk(context, *plugin, which);
      if (again != saved)
        context.Fail("the " + std::string(ChunkName(which)) +
                     " chunk differs after it was set back and read again (" +
                     FirstDifference(saved, again) + ", round " + std::to_string(round) + ")");
      const std::vector<std::string> restored = AllDisplays(context, *plugin);
      for (size_t index = 0; index < shown.size(); ++index)
        if (restored[index] != shown[index])
          context.Fail("setting the " + std::string(ChunkName(which)) +
                       " chunk back left parameter " + std::to_string(index) + " showing " +
                       Printable(restored[index]) + ", not " + Printable(shown[index]) +
                       " (round " + std::to_string(round) + ")");
      context.Note(std::string(ChunkName(which)) + " chunk",
                   std::to_string(saved.size()) + " bytes");
    }
  }
}

Bytes RandomBytes(Context& context, size_t size) {
  Bytes bytes(size);
  for (auto& byte : bytes)
    byte = static_cast<unsigned char>(context.Random()());
  return bytes;
}

// Chunks no host saved: random bytes, damaged and cut copies of a real one, empty, all zeros,
// all ones and huge. None may crash; afterwards every parameter lies within 0..1 and the saved
// chunk still restores the state.
void BadChunks(Context& context) {
  auto plugin = WithChunks(context);
  const size_t huge = (context.Strictness() >= 7 ? 64u : 16u) << 20;
  for (const int32_t which : {kBank, kProgram}) {
    const Bytes saved = GetChunk(context, *plugin, which);
    if (saved.empty())
      continue;
    std::vector<std::pair<std::string, Bytes>> cases;
    cases.emplace_back("random bytes", RandomBytes(context, saved.size()));
    for (int damage = 0; damage < 4 * context.Strictness(); ++damage) {
      Bytes damaged = saved;
      for (int flip = 0; flip <= damage % 4; ++flip)
        damaged[context.Between(0, static_cast<int64_t>(damaged.size()) - 1)] ^=
            static_cast<unsigned char>(1 + context.Between(0, 254));
      cases.emplace_back("a damaged copy", std::move(damaged));
    }
    for (const size_t cut : {saved.size() / 2, saved.size() - 1, size_t{4}, size_t{1}})
      if (cut < saved.size())
        cases.emplace_back("a cut copy", Bytes(saved.begin(), saved.begin() + cut));
    cases.emplace_back("nothing", Bytes{});
    cases.emplace_back("zeros", Bytes(saved.size(), 0));
    cases.emplace_back("all ones", Bytes(saved.size(), 0xff));
    Bytes extended = saved;
    extended.resize(huge, 0xa5);
    cases.emplace_back("a copy followed by megabytes of filler", std::move(extended));
    cases.emplace_back("random bytes", RandomBytes(context, huge));

    for (auto& [what, chunk] : cases) {
      const size_t size = chunk.size();
      SetChunk(context, *plugin, which, std::move(chunk), what.c_str());
      const std::vector<float> values = AllValues(*plugin);
      for (size_t index = 0; index < values.size(); ++index)
        if (!InUnitRange(values[index]))
          context.Fail("after a " + std::string(ChunkName(which)) + " chunk of " + what + " (" +
                       std::to_string(size) + " bytes), parameter " + std::to_string(index) +
                       " is " + Number(values[index]) + ", outside 0..1");
    }
    SetChunk(context, *plugin, which, saved, "the chunk it answered before");
    const Bytes again = GetChunk(context, *plugin, which);
    if (again != saved)
      context.Fail("after the bad chunks, the saved " + std::string(ChunkName(which)) +
                   " chunk no longer restores the state (" + FirstDifference(saved, again) + ")");
  }
}

// Selections outside the list leave the current program a valid one.
void OutsideIndexes(Context& context) {
  auto plugin = WithPrograms(context);
  for (const int32_t program : BadIndexes(plugin->NumPrograms())) {
    context.Step("effSetProgram %d", program);
    plugin->Dispatch(effSetProgram, 0, program);
    context.Step("effGetProgram after effSetProgram %d", program);
    const VstIntPtr current = plugin->Dispatch(effGetProgram);
    if (current < 0 || current >= plugin->NumPrograms())
      context.Fail("effSetProgram " + std::to_string(program) + " made the current program " +
                   std::to_string(current) + " of " + std::to_string(plugin->NumPrograms()));
  }
}

const bool registered =
    Register(PluginFormat::Vst2, {"programs.names", Names, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"programs.selection", Selection, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"programs.chunks", Chunks, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2,
             {"programs.bad-chunks", BadChunks, {.strictness = 2, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Vst2, {"programs.bad-indexes", OutsideIndexes, {.strictness = 6}});

} // namespace

} // namespace zhost::validate
