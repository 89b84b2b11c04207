// The render that proves every build of the plug-in sounds the same to the byte: each factory
// program, with a fixed seed, processes the same signal through processReplacing in fixed
// blocks, and the output bytes are hashed. It speaks to the plug-in only through its effect
// record, so the Linux and the Windows tests share it; each test loads its platform's library
// and sets ZINTRAX_SEED to kSeed before the instance is made.
#pragma once

#include "framework/DAEffectX.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace factoryrender {

inline constexpr const char* kSeed = "20240917";
inline constexpr int kPrograms = 3;
inline constexpr float kSampleRate = 44100.0f;
inline constexpr int kBlockFrames = 480;
inline constexpr int kFrames = 250 * kBlockFrames; // 2.7 s: three bursts and their ring-out
// Each factory program's values: Distance, Feeding, X-Axis, Y-Axis.
inline constexpr float kProgramValues[kPrograms][4] = {
    {750.0f, 1.5f, 0.5f, 0.5f}, {750.0f, 2.5f, 0.7f, 0.9f}, {300.0f, 2.0f, 0.1f, 0.2f}};

struct TSignal {
  std::vector<float> Left, Right;
};

// Noise bursts with a linear decay, different on each channel, and silence between them. Only
// exact integer steps and single rounded float operations: the same bits on every platform.
inline TSignal Input() {
  TSignal signal{std::vector<float>(kFrames), std::vector<float>(kFrames)};
  uint32_t noise = 1;
  for (int burst = 0; burst < 3; ++burst)
    for (int i = 0; i < 3000; ++i) {
      const float decay = 0.9f * float(3000 - i) / 3000.0f;
      noise = noise * 1664525u + 1013904223u;
      const float left = float(int32_t(noise) >> 8) / float(1 << 23);
      noise = noise * 1664525u + 1013904223u;
      const float right = float(int32_t(noise) >> 8) / float(1 << 23);
      const int at = burst * 40000 + i;
      signal.Left[at] = decay * left;
      signal.Right[at] = decay * (0.5f * left - right);
    }
  return signal;
}

// 64-bit FNV-1a.
inline uint64_t Hash(const void* data, std::size_t size, uint64_t hash = 0xcbf29ce484222325u) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0; i < size; ++i)
    hash = (hash ^ bytes[i]) * 0x100000001b3u;
  return hash;
}

// The hash as FactoryRenderHashes.h writes it.
inline std::string HashText(uint64_t hash) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llxu", static_cast<unsigned long long>(hash));
  return text;
}

// Opens the instance, selects the program and renders Input(): the hash of each block's left
// then right output, block after block. Leaves the instance open with mains on. With setValues
// the program's values are also given one by one, exactly, as texts: a VST 2.x instance selecting
// its current program (the first) sets none, and runs with the state after opening until a
// value is given.
inline uint64_t RenderHash(AEffect* effect, int32_t program, bool setValues = false) {
  const auto dispatch = [effect](int32_t opcode, int32_t index, VstIntPtr value, float opt) {
    return effect->dispatcher(effect, opcode, index, value, nullptr, opt);
  };
  dispatch(effOpen, 0, 0, 0.0f);
  dispatch(effSetSampleRate, 0, 0, kSampleRate);
  dispatch(effSetBlockSize, 0, kBlockFrames, 0.0f);
  dispatch(effSetProgram, 0, program, 0.0f);
  for (int32_t i = 0; setValues && i < 4; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(kProgramValues[program][i]));
    effect->dispatcher(effect, effString2Parameter, i, 0, text, 0.0f);
  }
  dispatch(effMainsChanged, 0, 1, 0.0f);
  TSignal input = Input();
  std::vector<float> left(kBlockFrames), right(kBlockFrames);
  uint64_t hash = 0xcbf29ce484222325u;
  for (int done = 0; done < kFrames; done += kBlockFrames) {
    float* inputs[2] = {&input.Left[std::size_t(done)], &input.Right[std::size_t(done)]};
    float* outputs[2] = {left.data(), right.data()};
    effect->processReplacing(effect, inputs, outputs, kBlockFrames);
    hash = Hash(left.data(), left.size() * sizeof(float), hash);
    hash = Hash(right.data(), right.size() * sizeof(float), hash);
  }
  return hash;
}

} // namespace factoryrender
