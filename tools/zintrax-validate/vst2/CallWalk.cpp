#include "checks/CallWalk.h"
#include "checks/AudioBlock.h"
#include "checks/ProcessState.h"
#include "vst2/Vst2EditorHost.h"
#include "vst2/Vst2Subject.h"

#include <dlfcn.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace zhost::validate {

namespace {

// Far larger than any structure or text an opcode writes.
constexpr size_t kScratch = 4096;

void Identity(const Vst2Effect& plugin, const CheckedCall& checked, char* scratch) {
  const auto dispatch = [&](const char* name, int32_t opcode, int32_t index = 0,
                            VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
    checked(name, [&] { plugin.Dispatch(opcode, index, value, ptr, opt); });
  };
  dispatch("effGetVstVersion", effGetVstVersion);
  dispatch("effGetPlugCategory", effGetPlugCategory);
  dispatch("effGetEffectName", effGetEffectName, 0, 0, scratch);
  dispatch("effGetVendorString", effGetVendorString, 0, 0, scratch);
  dispatch("effGetProductString", effGetProductString, 0, 0, scratch);
  dispatch("effGetVendorVersion", effGetVendorVersion);
  char canDo[] = "receiveVstTimeInfo";
  dispatch("effCanDo", effCanDo, 0, 0, canDo);
  dispatch("effSetSampleRate", effSetSampleRate, 0, 0, nullptr, 48000.0f);
  dispatch("effSetBlockSize", effSetBlockSize, 0, 512);
  if (plugin.NumInputs() > 0)
    dispatch("effGetInputProperties", effGetInputProperties, 0, 0, scratch);
  if (plugin.NumOutputs() > 0)
    dispatch("effGetOutputProperties", effGetOutputProperties, 0, 0, scratch);
  dispatch("effGetTailSize", effGetTailSize);
}

void Parameters(const Vst2Effect& plugin, const CheckedCall& checked, char* scratch) {
  for (int32_t i = 0; i < std::min(plugin.NumParams(), 64); ++i) {
    const auto text = [&](const char* name, int32_t opcode) {
      std::fill(scratch, scratch + kScratch, '\0');
      checked(name, [&] { plugin.Dispatch(opcode, i, 0, scratch); });
    };
    text("effGetParamName", effGetParamName);
    text("effGetParamLabel", effGetParamLabel);
    text("effGetParameterProperties", effGetParameterProperties);
    checked("effCanBeAutomated", [&] { plugin.Dispatch(effCanBeAutomated, i); });
    checked("setParameter", [&] { plugin.SetParameter(i, 0.75f); });
    checked("getParameter", [&] { plugin.GetParameter(i); });
    text("effGetParamDisplay", effGetParamDisplay);
    std::vector<char> display(scratch, scratch + 64);
    display.back() = '\0';
    checked("effString2Parameter",
            [&] { plugin.Dispatch(effString2Parameter, i, 0, display.data()); });
  }
}

void Programs(const Vst2Effect& plugin, const CheckedCall& checked, char* scratch) {
  checked("effGetProgram", [&] { plugin.Dispatch(effGetProgram); });
  checked("effGetProgramNameIndexed",
          [&] { plugin.Dispatch(effGetProgramNameIndexed, 0, -1, scratch); });
  if (plugin.NumPrograms() > 1)
    checked("effSetProgram", [&] { plugin.Dispatch(effSetProgram, 0, 1); });
  checked("effGetProgramName", [&] { plugin.Dispatch(effGetProgramName, 0, 0, scratch); });
  if (!(plugin.Effect().flags & effFlagsProgramChunks))
    return;
  void* chunk = nullptr;
  VstIntPtr size = 0;
  checked("effGetChunk", [&] { size = plugin.Dispatch(effGetChunk, 1, 0, &chunk); });
  if (size <= 0 || size > (64 << 20) || chunk == nullptr)
    return;
  std::vector<char> copy(static_cast<const char*>(chunk), static_cast<const char*>(chunk) + size);
  checked("effSetChunk", [&] { plugin.Dispatch(effSetChunk, 1, size, copy.data()); });
}

void Editor(const Vst2Effect& plugin, const CheckedCall& checked) {
  std::unique_ptr<EditorHost> editor;
  checked("effEditOpen", [&] { editor = std::make_unique<EditorHost>(plugin, true); });
  for (int i = 0; i < 3; ++i)
    checked("effEditIdle", [&] { editor->Idle(); });
  checked("effEditClose", [&] { editor->Close(); });
}

void Processing(Context& context, Vst2Effect& plugin, const CheckedCall& checked) {
  checked("effMainsChanged 1", [&] { plugin.Resume(); });
  checked("effStartProcess", [&] { plugin.StartProcess(); });
  if (plugin.CanProcess()) {
    const bool replacing = Replaces(plugin);
    AudioBlock block(plugin.NumInputs(), plugin.NumOutputs(), 512);
    for (int i = 0; i < 16; ++i) {
      block.Noise(context.Random(), i == 8 ? 1e-38f : 0.5f, 512);
      block.ClearOutputs(512);
      checked(replacing ? "processReplacing" : "process",
              [&] { ProcessBlock(block, plugin, 512, replacing); });
    }
  }
  checked("effStopProcess", [&] { plugin.StopProcess(); });
  checked("effMainsChanged 0", [&] { plugin.Suspend(); });
}

} // namespace

void WalkEveryKindOfVst2Call(Context& context, const CheckedCall& checked) {
  // Loaded first on its own, so that what the library's initialisers do is told apart from what
  // the entry point does.
  const std::string loadPath = LibraryLoadPath(context.Location());
  void* library = nullptr;
  checked("loading the library (its static initialisers)",
          [&] { library = dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL); });
  std::unique_ptr<Vst2Effect> plugin;
  checked("creating an instance through the entry point", [&] { plugin = Load(context); });
  checked("effOpen", [&] { plugin->Open(); });
  std::vector<char> scratch(kScratch, '\0');
  Identity(*plugin, checked, scratch.data());
  Parameters(*plugin, checked, scratch.data());
  Programs(*plugin, checked, scratch.data());
  if (context.Gui() && (plugin->Effect().flags & effFlagsHasEditor)) {
    checked("effEditGetRect", [&] {
      ERect* rect = nullptr;
      plugin->Dispatch(effEditGetRect, 0, 0, &rect);
    });
    Editor(*plugin, checked);
  }
  Processing(context, *plugin, checked);
  checked("effClose", [&] { plugin->Close(); });
  checked("unloading the library", [&] {
    plugin.reset();
    if (library)
      dlclose(library);
  });
}

namespace {

const bool registered = Register(
    PluginFormat::Vst2,
    {"process.state", [](Context& c) { CheckProcessState(c, WalkEveryKindOfVst2Call); }, {}});

} // namespace

} // namespace zhost::validate
