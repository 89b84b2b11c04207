#include "hosting/Vst2Effect.h"

#include "hosting/Errors.h"
#include "hosting/PluginFormat.h"
#include "hosting/Vst2Host.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace zhost {

namespace {

using EntryPoint = AEffect* (*)(audioMasterCallback);

// Far beyond every text bound of the interface, so that a plug-in that writes more than the
// standard allows still stays inside the buffer.
constexpr size_t kTextBuffer = 1024;

// Counts beyond these are a broken record rather than a plug-in anyone could use.
constexpr int32_t kMostChannels = 256;
constexpr int32_t kMostItems = 100000;

struct LibraryCloser {
  void operator()(void* library) const { dlclose(library); }
};

} // namespace

Vst2Effect::Vst2Effect(const std::string& path, const EntryChoice& entry) : FPath(path) {
  struct stat info {};
  if (path.empty())
    throw HostError("no plug-in given, and this build has no Zintrax.so to use instead");
  if (stat(path.c_str(), &info) != 0)
    throw HostError(path + ": no such file");
  if (!S_ISREG(info.st_mode))
    throw HostError(path + ": not a file");

  const std::string loadPath = LibraryLoadPath(path);
  dlerror();
  std::unique_ptr<void, LibraryCloser> library(dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!library) {
    const char* reason = dlerror();
    throw HostError("cannot load " + path + ": " + (reason ? reason : "unknown reason"));
  }
  void* symbol = nullptr;
  if (!entry.name.empty()) {
    symbol = dlsym(library.get(), entry.name.c_str());
    if (symbol == nullptr)
      throw HostError(path + " exports no " + entry.name);
  } else {
    symbol = dlsym(library.get(), "VSTPluginMain");
    if (symbol == nullptr)
      symbol = dlsym(library.get(), "main");
    if (symbol == nullptr)
      throw HostError(path +
                      " is not a VST 2.x plug-in: it exports neither VSTPluginMain nor main");
  }

  AEffect* effect =
      reinterpret_cast<EntryPoint>(symbol)(entry.callback ? entry.callback : &HostCallback);
  if (effect == nullptr)
    throw HostError(path + ": the plug-in refused to create an instance");
  if (effect->magic != kEffectMagic || effect->dispatcher == nullptr ||
      effect->setParameter == nullptr || effect->getParameter == nullptr)
    throw HostError(path + ": the entry point did not answer a VST effect record");
  const auto within = [](int32_t count, int32_t most) { return count >= 0 && count <= most; };
  if (!within(effect->numParams, kMostItems) || !within(effect->numPrograms, kMostItems) ||
      !within(effect->numInputs, kMostChannels) || !within(effect->numOutputs, kMostChannels)) {
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    throw HostError(path + ": the effect record holds impossible counts of channels, " +
                    "parameters or programs");
  }
  FEffect = effect;
  FLibrary = library.release();
}

Vst2Effect::~Vst2Effect() {
  Close();
  dlclose(FLibrary);
}

VstIntPtr Vst2Effect::Dispatch(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                               float opt) const {
  return FEffect->dispatcher(FEffect, opcode, index, value, ptr, opt);
}

std::string Vst2Effect::Text(int32_t opcode, int32_t index, VstIntPtr value) const {
  std::vector<char> buffer(kTextBuffer, '\0');
  Dispatch(opcode, index, value, buffer.data());
  buffer.back() = '\0';
  return buffer.data();
}

std::string Vst2Effect::ProgramName(int32_t index) const {
  std::vector<char> buffer(kTextBuffer, '\0');
  if (Dispatch(effGetProgramNameIndexed, index, -1, buffer.data()) != 0) {
    buffer.back() = '\0';
    return buffer.data();
  }
  const VstIntPtr current = Dispatch(effGetProgram);
  Dispatch(effSetProgram, 0, index);
  std::string name = Text(effGetProgramName);
  Dispatch(effSetProgram, 0, current);
  return name;
}

void Vst2Effect::Open() {
  if (FOpen || FClosed)
    return;
  Dispatch(effOpen);
  FOpen = true;
}

void Vst2Effect::Resume() {
  if (FResumed || FClosed)
    return;
  Dispatch(effMainsChanged, 0, 1);
  FResumed = true;
}

void Vst2Effect::StartProcess() {
  if (FStarted || FClosed)
    return;
  Dispatch(effStartProcess);
  FStarted = true;
}

void Vst2Effect::StopProcess() {
  if (!FStarted)
    return;
  Dispatch(effStopProcess);
  FStarted = false;
}

void Vst2Effect::Suspend() {
  if (!FResumed)
    return;
  Dispatch(effMainsChanged, 0, 0);
  FResumed = false;
}

void Vst2Effect::Close() {
  if (FClosed)
    return;
  StopProcess();
  Suspend();
  Dispatch(effClose);
  FClosed = true;
  FOpen = false;
}

bool Vst2Effect::CanProcess() const {
  const bool replacing = (FEffect->flags & effFlagsCanReplacing) && FEffect->processReplacing;
  return replacing || FEffect->process != nullptr;
}

void Vst2Effect::Process(float** inputs, float** outputs, int32_t frames) const {
  // Cleared for both callbacks: the accumulating one adds to them, and a replacing plug-in that
  // leaves an output alone then gives silence rather than the previous block again.
  for (int32_t c = 0; c < FEffect->numOutputs; ++c)
    std::fill(outputs[c], outputs[c] + frames, 0.0f);
  if ((FEffect->flags & effFlagsCanReplacing) && FEffect->processReplacing)
    FEffect->processReplacing(FEffect, inputs, outputs, frames);
  else
    FEffect->process(FEffect, inputs, outputs, frames);
}

} // namespace zhost
