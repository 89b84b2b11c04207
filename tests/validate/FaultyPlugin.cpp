// A small, well-behaved VST 2.x effect for the validator's own tests: a stereo gain with two
// parameters, two programs and chunks. Built once as it is (it must pass every test) and once per
// fault, each compile definition FAULT_xxx breaking one thing that one validator test must catch.
#include "PluginEntries.h"
#include "framework/DAEffect.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t kParams = 2;
constexpr int32_t kPrograms = 2;
constexpr int32_t kChunkMagic = 0x46414c54; // "FALT"

struct Program {
  char name[24];
  float values[kParams];
};

struct Chunk {
  int32_t magic;
  int32_t count; // programs in a bank chunk, 1 in a program chunk
  Program programs[kPrograms];
};

struct Faulty {
  AEffect effect{};
  audioMasterCallback host = nullptr;
  Program programs[kPrograms] = {{"Unity", {0.5f, 0.0f}}, {"Quiet", {0.25f, 1.0f}}};
  int32_t current = 0;
  Chunk chunk{};
  int32_t gets = 0;
};

Faulty& Of(AEffect* effect) {
  return *static_cast<Faulty*>(effect->object);
}

float* Values(Faulty& faulty) {
  return faulty.programs[faulty.current].values;
}

void Copy(void* ptr, const char* text, size_t size) {
  char* out = static_cast<char*>(ptr);
  const size_t length = std::min(std::strlen(text), size - 1);
  std::memcpy(out, text, length);
  out[length] = '\0';
}

void SetParameter(AEffect* effect, int32_t index, float value) {
#ifdef FAULT_BAD_INDEX_WRITE
  // Indexes outside the list land on a parameter inside it.
  index &= 1;
#endif
  if (index < 0 || index >= kParams)
    return;
#ifdef FAULT_NAN_PARAMETER
  if (std::isnan(value)) {
    Values(Of(effect))[index] = 1.5f;
    return;
  }
#endif
  Values(Of(effect))[index] = std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f;
}

float GetParameter(AEffect* effect, int32_t index) {
  if (index < 0 || index >= kParams)
    return 0.0f;
  return Values(Of(effect))[index];
}

void ProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t frames) {
  const float gain = 2.0f * Values(Of(effect))[0];
  for (int c = 0; c < 2; ++c)
    for (int32_t n = 0; n < frames; ++n)
      outputs[c][n] = inputs[c][n] * gain;
}

VstIntPtr ParamText(Faulty& faulty, int32_t opcode, int32_t index, void* ptr) {
  if (index < 0 || index >= kParams)
    return 0;
  char text[16];
  switch (opcode) {
  case effGetParamName:
#ifdef FAULT_UNTERMINATED_TEXT
    std::memcpy(ptr, index == 0 ? "GainGain" : "ModeMode", 8);
    return 0;
#endif
    Copy(ptr, index == 0 ? "Gain" : "Mode", 8);
    return 0;
  case effGetParamLabel:
    Copy(ptr, index == 0 ? "x" : "", 8);
    return 0;
  default:
#ifdef FAULT_TEXT_OVERRUN
    std::memset(ptr, '7', 299);
    static_cast<char*>(ptr)[299] = '\0';
    return 0;
#endif
    std::snprintf(text, sizeof text, "%.2f", Values(faulty)[index] * (index == 0 ? 2.0 : 1.0));
    Copy(ptr, text, 8);
    return 0;
  }
}

VstIntPtr GetChunk(Faulty& faulty, int32_t index, void* ptr) {
  faulty.chunk.magic = kChunkMagic;
  if (index == 0) {
    faulty.chunk.count = kPrograms;
    std::copy(faulty.programs, faulty.programs + kPrograms, faulty.chunk.programs);
  } else {
    faulty.chunk.count = 1;
    faulty.chunk.programs[0] = faulty.programs[faulty.current];
  }
#ifdef FAULT_CHUNK_DRIFT
  // A counter of saves inside the saved state: no two chunks are alike.
  faulty.chunk.programs[0].name[23] = static_cast<char>(++faulty.gets);
#endif
  *static_cast<void**>(ptr) = &faulty.chunk;
  return static_cast<VstIntPtr>(offsetof(Chunk, programs) + faulty.chunk.count * sizeof(Program));
}

VstIntPtr SetChunk(Faulty& faulty, int32_t index, VstIntPtr size, const void* ptr) {
#ifdef FAULT_HUGE_CHUNK_CRASH
  if (size > (1 << 20))
    *static_cast<volatile int*>(nullptr) = 1;
#endif
  Chunk chunk{};
  const auto expected = static_cast<VstIntPtr>(offsetof(Chunk, programs) +
                                               (index == 0 ? kPrograms : 1) * sizeof(Program));
  if (ptr == nullptr || size != expected)
    return 0;
  std::memcpy(&chunk, ptr, static_cast<size_t>(size));
  if (chunk.magic != kChunkMagic || chunk.count != (index == 0 ? kPrograms : 1))
    return 0;
  for (int32_t p = 0; p < chunk.count; ++p) {
    chunk.programs[p].name[23] = '\0';
#ifndef FAULT_CHUNK_UNCHECKED
    for (float& value : chunk.programs[p].values)
      value = std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f;
#endif
  }
  if (index == 0)
    std::copy(chunk.programs, chunk.programs + kPrograms, faulty.programs);
  else
    faulty.programs[faulty.current] = chunk.programs[0];
  return 1;
}

VstIntPtr Dispatcher(AEffect* effect, int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                     float) {
  Faulty& faulty = Of(effect);
  switch (opcode) {
  case effClose:
    delete &faulty;
    return 1;
#ifdef FAULT_EXIT_IN_OPEN
  case effOpen:
    _exit(3);
#endif
  case effSetProgram:
    if (value >= 0 && value < kPrograms)
      faulty.current = static_cast<int32_t>(value);
#ifdef FAULT_PROGRAM_DRIFT
    Values(faulty)[1] = std::fmod(Values(faulty)[1] + 0.125f, 1.0f);
#endif
    return 0;
  case effGetProgram:
    return faulty.current;
  case effSetProgramName:
    Copy(faulty.programs[faulty.current].name, static_cast<const char*>(ptr), 24);
    return 0;
  case effGetProgramName:
    Copy(ptr, faulty.programs[faulty.current].name, 24);
    return 0;
  case effGetProgramNameIndexed:
    if (index < 0 || index >= kPrograms)
      return 0;
#ifdef FAULT_PROGRAM_NAMES
    Copy(ptr, faulty.programs[(index + 1) % kPrograms].name, 24);
    return 1;
#endif
    Copy(ptr, faulty.programs[index].name, 24);
    return 1;
  case effGetParamName:
  case effGetParamLabel:
  case effGetParamDisplay:
    return ParamText(faulty, opcode, index, ptr);
  case effCanBeAutomated:
#ifdef FAULT_HANG
    for (;;)
      pause();
#endif
    return index >= 0 && index < kParams ? 1 : 0;
  case effString2Parameter: {
    if (index < 0 || index >= kParams || ptr == nullptr)
      return 0;
    float real = 0.0f;
    if (std::sscanf(static_cast<const char*>(ptr), "%f", &real) != 1)
      return 0;
    SetParameter(effect, index, real / (index == 0 ? 2.0f : 1.0f));
    return 1;
  }
  case effGetChunk:
    return GetChunk(faulty, index, ptr);
  case effSetChunk:
    return SetChunk(faulty, index, value, ptr);
  case effGetEffectName:
  case effGetProductString:
    Copy(ptr, "Faulty", 32);
    return 1;
  case effGetVendorString:
    Copy(ptr, "Validator tests", 64);
    return 1;
  case effGetPlugCategory:
    return 1;
  case effGetVstVersion:
    return 2400;
  default:
    return 0;
  }
}

} // namespace

AEffect* CreateTestPlugin(audioMasterCallback host) {
#ifdef FAULT_OLD_HOST_CRASH
  // Trusts a host that answers no version to be something it is not.
  if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
    *static_cast<volatile int*>(nullptr) = 1;
#endif
  auto* faulty = new Faulty;
  faulty->host = host;
  AEffect& effect = faulty->effect;
  effect.magic = kEffectMagic;
  effect.dispatcher = &Dispatcher;
  effect.setParameter = &SetParameter;
  effect.getParameter = &GetParameter;
  effect.processReplacing = &ProcessReplacing;
  effect.numPrograms = kPrograms;
  effect.numParams = kParams;
  effect.numInputs = 2;
  effect.numOutputs = 2;
  effect.flags = effFlagsCanReplacing | effFlagsProgramChunks;
  effect.ioRatio = 1.0f;
  effect.object = faulty;
#ifndef FAULT_NO_UNIQUE_ID
  effect.uniqueID = FourCharCode('F', 'a', 'l', 't');
#endif
  effect.version = 1;
  return &effect;
}
