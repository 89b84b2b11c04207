// A small VST 2.x plug-in that the host's tests load in place of a real one. It multiplies each
// input by a gain, writes a log of every call it receives, and changes its behaviour through
// environment variables:
//   FAKE_PLUGIN_LOG=FILE     append one line per call ("main", "dispatcher OPCODE INDEX VALUE",
//                            "process FRAMES", "seed TEXT") and the host's answers it asks for
//   FAKE_PLUGIN_REFUSE=1     the entry point answers null
//   FAKE_PLUGIN_MONO=1       one input and one output instead of two and two
//   FAKE_PLUGIN_ACCUMULATE=1 only the accumulating process callback, no processReplacing
//   FAKE_PLUGIN_EXIT_AT=N    the process ends itself in the N-th audio call (a crashing plug-in)
// Parameters: "Gain" (0..2, label "x", takes texts), "Mode" (0..10, refuses texts).
// Programs: "Unity" (gain 1) and "Half" (gain 0.5).
#include "framework/DAEffect.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Fake {
  AEffect effect{};
  audioMasterCallback host = nullptr;
  float gain = 0.5f; // normalised: gain / 2
  float mode = 0.0f; // normalised: mode / 10
  int32_t program = 0;
  long calls = 0;
  long exitAt = 0;
};

const char* const kProgramNames[] = {"Unity", "Half"};
const float kProgramGains[] = {0.5f, 0.25f};

void Log(const std::string& line) {
  const char* path = std::getenv("FAKE_PLUGIN_LOG");
  if (path == nullptr)
    return;
  if (FILE* file = std::fopen(path, "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

bool Flag(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::strcmp(value, "1") == 0;
}

Fake& Of(AEffect* effect) {
  return *static_cast<Fake*>(effect->object);
}

void Copy(void* ptr, const std::string& text) {
  std::strcpy(static_cast<char*>(ptr), text.c_str());
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

VstIntPtr Dispatcher(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                     float opt) {
  Fake& fake = Of(effect);
  char line[96];
  std::snprintf(line, sizeof line, "dispatcher %d %d %lld", opcode, index,
                static_cast<long long>(value));
  Log(opcode == effSetSampleRate ? std::string(line).append(" ").append(Number(opt)) : line);
  switch (opcode) {
  case effClose:
    delete &fake;
    return 1;
  case effMainsChanged:
    // What the host says about itself once the plug-in is switched on.
    if (value == 1) {
      auto ask = [&](int32_t request) {
        return std::to_string(fake.host(effect, request, 0, 0, nullptr, 0.0f));
      };
      Log("host rate " + ask(audioMasterGetSampleRate) + " block " + ask(audioMasterGetBlockSize));
    }
    return 0;
  case effSetProgram:
    if (value >= 0 && value < 2) {
      fake.program = static_cast<int32_t>(value);
      fake.gain = kProgramGains[value];
    }
    return 0;
  case effGetProgram:
    return fake.program;
  case effGetProgramName:
    Copy(ptr, kProgramNames[fake.program]);
    return 0;
  case effGetProgramNameIndexed:
    if (index < 0 || index >= 2)
      return 0;
    Copy(ptr, kProgramNames[index]);
    return 1;
  case effGetParamName:
    Copy(ptr, index == 0 ? "Gain" : "Mode");
    return 0;
  case effGetParamLabel:
    Copy(ptr, index == 0 ? "x" : "");
    return 0;
  case effGetParamDisplay:
    Copy(ptr, index == 0 ? Number(fake.gain * 2.0) : Number(std::round(fake.mode * 1000) / 100));
    return 0;
  case effString2Parameter: {
    if (index != 0 || ptr == nullptr)
      return 0;
    char* end = nullptr;
    const double real = std::strtod(static_cast<const char*>(ptr), &end);
    if (*end != '\0' || !std::isfinite(real))
      return 0;
    fake.gain = static_cast<float>(real / 2.0);
    return 1;
  }
  case effCanBeAutomated:
    return index == 0 ? 1 : 0;
  case effGetEffectName:
    Copy(ptr, "Fake");
    return 1;
  case effGetVendorString:
    Copy(ptr, "Test Vendor");
    return 1;
  case effGetProductString:
    Copy(ptr, "Fake Product");
    return 1;
  case effGetVendorVersion:
    return 7;
  case effGetPlugCategory:
    return 1;
  case effGetVstVersion:
    return 2400;
  case effCanDo:
    return std::strcmp(static_cast<const char*>(ptr), "2in2out") == 0 ? 1 : 0;
  default:
    return 0;
  }
}

void Run(AEffect* effect, float** inputs, float** outputs, int32_t frames, bool accumulate) {
  Fake& fake = Of(effect);
  Log("process " + std::to_string(frames));
  if (fake.exitAt > 0 && ++fake.calls >= fake.exitAt)
    _exit(3);
  for (int32_t c = 0; c < effect->numOutputs; ++c)
    for (int32_t n = 0; n < frames; ++n) {
      const float out = inputs[c % effect->numInputs][n] * fake.gain * 2.0f;
      outputs[c][n] = accumulate ? outputs[c][n] + out : out;
    }
}

void ProcessReplacing(AEffect* e, float** in, float** out, int32_t n) {
  Run(e, in, out, n, false);
}
void Process(AEffect* e, float** in, float** out, int32_t n) {
  Run(e, in, out, n, true);
}

void SetParameter(AEffect* effect, int32_t index, float value) {
  (index == 0 ? Of(effect).gain : Of(effect).mode) = value;
}

float GetParameter(AEffect* effect, int32_t index) {
  return index == 0 ? Of(effect).gain : Of(effect).mode;
}

AEffect* CreateFake(audioMasterCallback host) {
  Log("main");
  const char* seed = std::getenv("ZINTRAX_SEED");
  Log(std::string("seed ") + (seed ? seed : "none"));
  Log("host version " + std::to_string(host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f)));
  if (Flag("FAKE_PLUGIN_REFUSE"))
    return nullptr;
  Fake* fake = new Fake;
  fake->host = host;
  AEffect& e = fake->effect;
  e.magic = kEffectMagic;
  e.dispatcher = Dispatcher;
  e.process = Process;
  e.setParameter = SetParameter;
  e.getParameter = GetParameter;
  e.numPrograms = 2;
  e.numParams = 2;
  e.numInputs = e.numOutputs = Flag("FAKE_PLUGIN_MONO") ? 1 : 2;
  e.flags = Flag("FAKE_PLUGIN_ACCUMULATE") ? 0 : effFlagsCanReplacing;
  e.object = fake;
  e.uniqueID = FourCharCode('F', 'a', 'k', 'e');
  e.version = 1;
  e.processReplacing = Flag("FAKE_PLUGIN_ACCUMULATE") ? nullptr : ProcessReplacing;
  if (const char* exitAt = std::getenv("FAKE_PLUGIN_EXIT_AT"))
    fake->exitAt = std::atol(exitAt);
  return &e;
}

} // namespace

// Built twice: once exporting VSTPluginMain, once only the older name main.
#ifdef FAKE_EXPORT_MAIN
extern "C" __attribute__((visibility("default"))) AEffect*
FakeMain(audioMasterCallback host) __asm__("main");
AEffect* FakeMain(audioMasterCallback host) {
  return CreateFake(host);
}
#else
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
  return CreateFake(host);
}
#endif
