// audio: noise through every sample rate and block size, blocks shorter than announced and
// empty ones, in-place and unaligned buffers, automation every 32 samples, sample-rate changes
// while resumed, long full-scale noise at every program, and the tail of an impulse with
// denormals left unflushed. Every output sample of processReplacing must be written, finite and
// normal, and nothing may be written past the block.
#include "checks/AudioBlock.h"
#include "checks/AudioChecks.h"
#include "checks/PageEdges.h"
#include "core/Validation.h"
#include "vst2/Vst2Subject.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace zhost::validate {

namespace {

// Suspends, sets the rate and the block size, resumes: how a host changes its set-up.
void Configure(Vst2Effect& plugin, float rate, int32_t blockSize) {
  plugin.Suspend();
  plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
  plugin.Dispatch(effSetBlockSize, 0, blockSize);
  plugin.Resume();
}

std::string Where(float rate, int32_t announced, int32_t frames) {
  char text[96];
  std::snprintf(text, sizeof text, "block of %d frames (announced %d) at %g Hz", frames, announced,
                static_cast<double>(rate));
  return text;
}

// Processes one block of noise and reports what its outputs held; answers whether it was clean.
bool NoiseBlock(Context& context, const Vst2Effect& plugin, AudioBlock& block, float rate,
                int32_t announced, int32_t frames, bool replacing, const char* layout = "") {
  context.Step("%s of %d frames (announced %d) at %g Hz%s",
               replacing ? "processReplacing" : "process", frames, announced,
               static_cast<double>(rate), layout);
  block.Noise(context.Random(), 0.5f, frames);
  const BlockFindings findings = RunBlock(block, plugin, frames, replacing);
  if (!findings.Clean())
    context.Fail(findings.Describe() + ", " + Where(rate, announced, frames) + layout);
  return findings.Clean();
}

void Matrix(Context& context) {
  std::vector<float> rates(std::begin(kCommonRates), std::end(kCommonRates));
  if (context.Strictness() >= 5)
    rates.assign(std::begin(kAllRates), std::end(kAllRates));
  const int32_t framesPerSize = context.Strictness() >= 8 ? 8192 : 2048;
  for (const float rate : rates) {
    auto plugin = LoadProcessing(context, rate, kBlockSizes[0]);
    const bool replacing = Replaces(*plugin);
    AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), 4096);
    for (const int32_t size : kBlockSizes) {
      Configure(*plugin, rate, size);
      for (int32_t done = 0; done < std::max(framesPerSize, 2 * size); done += size)
        if (!NoiseBlock(context, *plugin, block, rate, size, size, replacing))
          break;
    }
  }
}

void PageEdges(Context& context) {
  auto plugin = LoadProcessing(context, 44100.0f, 512);
  AEffect* effect = const_cast<AEffect*>(&plugin->Effect());
  const bool replacing = Replaces(*plugin);
  CheckPageEdges(context, replacing ? "processReplacing" : "process", plugin->NumInputs(),
                 plugin->NumOutputs(), 512, [&](EdgeBlock& block, int32_t frames) {
                   (replacing ? effect->processReplacing
                              : effect->process)(effect, block.Inputs(), block.Outputs(), frames);
                 });
}

void ShortBlocks(Context& context) {
  for (const int32_t announced : {512, 4096}) {
    auto plugin = LoadProcessing(context, 44100.0f, announced);
    const bool replacing = Replaces(*plugin);
    AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), announced);
    const int calls = context.Strictness() >= 8 ? 400 : 100;
    for (int call = 0; call < calls; ++call) {
      const auto frames =
          static_cast<int32_t>(call % 5 == 0 ? 0 : context.Between(1, announced - 1));
      NoiseBlock(context, *plugin, block, 44100.0f, announced, frames, replacing);
    }
  }
}

void Layouts(Context& context) {
  auto plugin = LoadProcessing(context, 48000.0f, 512);
  const bool replacing = Replaces(*plugin);
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), 512);
  ForEachLayout(block, true, [&](int32_t frames, const char* layout) {
    NoiseBlock(context, *plugin, block, 48000.0f, 512, frames, replacing, layout);
  });
}

void Accumulating(Context& context) {
  auto plugin = LoadProcessing(context, 44100.0f, 512);
  if (plugin->Effect().process == nullptr)
    context.Skip("the record has no accumulating process callback");
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), 512);
  for (int call = 0; call < 64; ++call)
    if (!NoiseBlock(context, *plugin, block, 44100.0f, 512, call % 2 ? 512 : 100, false))
      break;
}

void Automation(Context& context) {
  auto plugin = LoadProcessing(context, 44100.0f, 512);
  const int32_t params = plugin->NumParams();
  if (params <= 0)
    context.Skip("the plug-in has no parameters");
  const bool replacing = Replaces(*plugin);
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), 512);
  AutomateEvery32Frames(context, [&] {
    const auto index = static_cast<int32_t>(context.Between(0, params - 1));
    const auto value = static_cast<float>(context.Uniform(0.0, 1.0));
    context.Step("setParameter(%d, %g)", index, static_cast<double>(value));
    plugin->SetParameter(index, value);
    char where[64];
    std::snprintf(where, sizeof where, ", after setParameter(%d, %g)", index,
                  static_cast<double>(value));
    return NoiseBlock(context, *plugin, block, 44100.0f, 512, 32, replacing, where);
  });
}

void RateChanges(Context& context) {
  auto plugin = LoadProcessing(context, 44100.0f, 512);
  const bool replacing = Replaces(*plugin);
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), 512);
  for (int change = 0; change < 60; ++change) {
    const float rate = kAllRates[context.Between(0, std::size(kAllRates) - 1)];
    context.Step("effSetSampleRate %g while resumed", static_cast<double>(rate));
    plugin->Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    for (int i = 0; i < 4; ++i)
      NoiseBlock(context, *plugin, block, rate, 512, 512, replacing,
                 ", rate changed while resumed");
  }
}

// Full-scale noise for a long time at each program, as fast as the plug-in goes.
void ProgramNoise(Context& context) {
  constexpr int kMostPrograms = 32;
  auto plugin = LoadProcessing(context, 44100.0f, 512);
  const bool replacing = Replaces(*plugin);
  const int32_t programs = std::clamp(plugin->NumPrograms(), 1, kMostPrograms);
  if (plugin->NumPrograms() > kMostPrograms)
    context.Note("programs", "the first " + std::to_string(kMostPrograms) + " of " +
                                 std::to_string(plugin->NumPrograms()));
  const int seconds = context.Strictness() >= 10 ? 60 : 10;
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), 512);
  for (int32_t program = 0; program < programs; ++program) {
    context.Step("effSetProgram %d", program);
    if (plugin->NumPrograms() > 0)
      plugin->Dispatch(effSetProgram, 0, program);
    BlockFindings findings;
    for (int64_t done = 0; done < 44100LL * seconds && findings.Clean(); done += 512) {
      context.Step("%d s of full-scale noise at program %d", seconds, program);
      block.Noise(context.Random(), 1.0f, 512);
      findings.Add(RunBlock(block, *plugin, 512, replacing));
    }
    if (!findings.Clean())
      context.Fail(findings.Describe() + ", full-scale noise at program " +
                   std::to_string(program));
  }
  context.Note("noise per program", std::to_string(seconds) + " s");
}

void Decay(Context& context) {
  auto plugin = LoadProcessing(context, kTailRate, kTailBlock);
  const bool replacing = Replaces(*plugin);
  AudioBlock block(plugin->NumInputs(), plugin->NumOutputs(), kTailBlock);
  CheckTail(context, block, replacing,
            [&] { ProcessBlock(block, *plugin, kTailBlock, replacing); });
}

const bool registered =
    Register(PluginFormat::Vst2,
             {"audio.matrix", Matrix, {.strictness = 1, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Vst2, {"audio.short-blocks", ShortBlocks, {.strictness = 2}}) &&
    Register(PluginFormat::Vst2, {"audio.page-edges", PageEdges, {.strictness = 1}}) &&
    Register(PluginFormat::Vst2, {"audio.layouts", Layouts, {.strictness = 2}}) &&
    Register(PluginFormat::Vst2, {"audio.accumulating", Accumulating, {.strictness = 3}}) &&
    Register(PluginFormat::Vst2,
             {"audio.automation", Automation, {.strictness = 3, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Vst2, {"audio.rate-changes", RateChanges, {.strictness = 4}}) &&
    Register(PluginFormat::Vst2, {"audio.decay", Decay, {.strictness = 5, .timeoutSeconds = 90}}) &&
    Register(PluginFormat::Vst2,
             {"audio.program-noise", ProgramNoise, {.strictness = 7, .timeoutSeconds = 240}});

} // namespace

} // namespace zhost::validate
