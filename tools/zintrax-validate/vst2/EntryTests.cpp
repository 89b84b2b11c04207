// entry: the library's entry points and the effect record they answer, a host that answers
// nothing to the version question, and the time an instance takes to come up.
#include "core/Validation.h"
#include "hosting/Errors.h"
#include "hosting/Vst2Host.h"
#include "vst2/Vst2Subject.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

namespace zhost::validate {

namespace {

constexpr const char* kEntryNames[] = {"VSTPluginMain", "main"};
constexpr int32_t kMostChannels = 256;
constexpr int32_t kKnownFlags = effFlagsHasEditor | effFlagsHasClip | effFlagsHasVu |
                                effFlagsCanMono | effFlagsCanReplacing | effFlagsProgramChunks |
                                effFlagsIsSynth | effFlagsNoSoundInStop | effFlagsExtIsAsync |
                                effFlagsExtHasBuffer;
// Bits some plug-ins still set from older revisions of the interface (double replacing among
// them): not this host's concern.
constexpr int32_t kLaterFlags = (1 << 12) | (1 << 13) | (1 << 4);

// Which entry names the library exports, looked up without calling them.
std::vector<std::string> ExportedEntries(const std::string& path) {
  const std::string loadPath = LibraryLoadPath(path);
  void* library = dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  std::vector<std::string> names;
  if (library == nullptr)
    return names;
  for (const char* name : kEntryNames)
    if (dlsym(library, name) != nullptr)
      names.emplace_back(name);
  dlclose(library);
  return names;
}

void EntryNames(Context& context) {
  context.Step("loading the library");
  const std::vector<std::string> names = ExportedEntries(context.Location());
  if (names.empty()) {
    const char* reason = dlerror();
    context.Abort(reason ? std::string("the library does not load: ") + reason
                         : "the library exports neither VSTPluginMain nor main");
  }
  std::string listed;
  for (const std::string& name : names) {
    listed += (listed.empty() ? "" : ", ") + name;
    context.Step("creating an instance through %s", name.c_str());
    Vst2Effect plugin(context.Location(), EntryChoice{name});
    context.Step("opening and closing the instance created through %s", name.c_str());
    plugin.Open();
    plugin.Close();
  }
  context.Note("entry points", listed);
}

void Record(Context& context) {
  context.Step("creating an instance");
  const auto plugin = Load(context);
  const AEffect& effect = plugin->Effect();
  const auto check = [&](bool good, const std::string& what) {
    if (!good)
      context.Fail(what);
  };
  check(effect.numInputs <= kMostChannels && effect.numOutputs <= kMostChannels,
        "the record announces " + std::to_string(effect.numInputs) + " inputs and " +
            std::to_string(effect.numOutputs) + " outputs");
  check(effect.numOutputs > 0 || effect.numInputs > 0, "the record announces no audio pin at all");
  check((effect.flags & effFlagsCanReplacing) == 0 || effect.processReplacing != nullptr,
        "flags say CanReplacing but processReplacing is null");
  check(effect.processReplacing != nullptr || effect.process != nullptr,
        "the record has neither processReplacing nor process");
  check(effect.initialDelay >= 0,
        "initialDelay is negative (" + std::to_string(effect.initialDelay) + ")");
  check(effect.uniqueID != 0,
        "uniqueID is 0: hosts tell plug-ins and their saved state apart by it");
  const int32_t unknown = effect.flags & ~(kKnownFlags | kLaterFlags);
  check(
      unknown == 0, "flags hold bits no revision of the interface defines (0x" + [&] {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(unknown));
        return std::string(hex);
      }() + ")");

  context.Step("effOpen");
  plugin->Open();
  const AEffect& opened = plugin->Effect();
  check(opened.magic == kEffectMagic, "the record's magic changed after effOpen");
  check(opened.numParams == effect.numParams && opened.numPrograms == effect.numPrograms,
        "the counts of parameters or programs changed after effOpen");
  context.Step("effGetVstVersion");
  const VstIntPtr version = plugin->Dispatch(effGetVstVersion);
  context.Note("record", std::to_string(effect.numInputs) + " in, " +
                             std::to_string(effect.numOutputs) + " out, " +
                             std::to_string(effect.numParams) + " parameters, " +
                             std::to_string(effect.numPrograms) + " programs, version " +
                             std::to_string(version));
  context.Step("effClose");
  plugin->Close();
}

// The callback of a host too old to say which revision of the interface it speaks.
VstIntPtr SilentVersionHost(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value,
                            void* ptr, float opt) {
  if (opcode == audioMasterVersion)
    return 0;
  return HostCallback(effect, opcode, index, value, ptr, opt);
}

void OldHost(Context& context) {
  context.Step("creating an instance with a host that answers 0 to audioMasterVersion");
  std::unique_ptr<Vst2Effect> created;
  try {
    created = std::make_unique<Vst2Effect>(context.Location(), EntryChoice{"", &SilentVersionHost});
  } catch (const HostError& error) {
    // Declining such a host is a way of surviving it; a broken record is not.
    if (std::string_view(error.what()).find("refused to create an instance") ==
        std::string_view::npos)
      throw;
    context.Note("with a host of unknown version", "the plug-in declines to create an instance");
    return;
  }
  Vst2Effect& plugin = *created;
  if (!plugin.CanProcess())
    context.Abort("the instance offers no audio callback");
  context.Step("effOpen");
  plugin.Open();
  plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  plugin.Dispatch(effSetBlockSize, 0, 256);
  context.Step("effMainsChanged 1");
  plugin.Resume();
  std::vector<std::vector<float>> inputs(plugin.NumInputs(), std::vector<float>(256, 0.25f));
  std::vector<std::vector<float>> outputs(plugin.NumOutputs(), std::vector<float>(256));
  std::vector<float*> in, out;
  for (auto& channel : inputs)
    in.push_back(channel.data());
  for (auto& channel : outputs)
    out.push_back(channel.data());
  for (int block = 0; block < 8; ++block) {
    context.Step("processing block %d", block);
    plugin.Process(in.data(), out.data(), 256);
  }
  context.Step("effClose");
  plugin.Close();
}

double Milliseconds(std::chrono::steady_clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

std::string Format(double milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f ms", milliseconds);
  return text;
}

// Cold: the first instance in a fresh process, library loading included. Warm: later ones, with
// the library already loaded.
void CreationTime(Context& context) {
  using Clock = std::chrono::steady_clock;
  context.Step("creating the first instance");
  const Clock::time_point coldStart = Clock::now();
  auto first = Load(context);
  first->Open();
  const double cold = Milliseconds(Clock::now() - coldStart);
  const int warmRuns = context.Strictness() >= 7 ? 25 : 10;
  std::vector<double> warm;
  for (int run = 0; run < warmRuns; ++run) {
    context.Step("creating instance %d beside the first", run + 2);
    const Clock::time_point start = Clock::now();
    Vst2Effect plugin(context.Location());
    plugin.Open();
    warm.push_back(Milliseconds(Clock::now() - start));
  }
  std::sort(warm.begin(), warm.end());
  context.Note("cold creation", Format(cold));
  context.Note("warm creation", Format(warm[warm.size() / 2]) + " median, " + Format(warm.back()) +
                                    " longest of " + std::to_string(warmRuns));
}

const bool registered =
    Register(PluginFormat::Vst2, {"entry.names", EntryNames, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"entry.record", Record, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"entry.old-host", OldHost, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"entry.creation-time", CreationTime, {.strictness = 2}});

} // namespace

} // namespace zhost::validate
