// audio, for LV2 plug-ins: noise at every sample rate and run length up to the longest block the
// host announced, runs of 0 frames, in-place (unless the plug-in says it breaks) and unaligned
// buffers, controls changed every 32 frames, deactivation and activation between runs, full-scale
// noise at every preset, and the tail of an impulse with denormals left unflushed. Every output
// sample must be written, finite and normal, and nothing may be written past the run.
#include "checks/AudioChecks.h"
#include "checks/PageEdges.h"
#include "lv2/Lv2Subject.h"

#include <cstdio>
#include <string>

namespace zhost::validate {

namespace {

constexpr int32_t kLongestRun = 4096;

// An instance at that rate and longest block, activated.
std::unique_ptr<Lv2Effect> Activated(Lv2Library& target, float rate, int32_t maxBlock) {
  auto subject = std::make_unique<Lv2Effect>(target, rate, maxBlock);
  subject->Activate();
  return subject;
}

// Runs one block of noise and reports what its outputs held; answers whether it was clean.
bool NoiseRun(Context& context, Lv2Effect& subject, AudioBlock& block, int32_t frames,
              const char* where = "", float peak = 0.5f) {
  context.Step("run of %d frames (longest %d) at %g Hz%s", frames, subject.MaxBlock(),
               static_cast<double>(subject.Rate()), where);
  block.Noise(context.Random(), peak, frames);
  block.Ready(frames, true);
  subject.Run(block.Inputs(), block.Outputs(), frames);
  const BlockFindings findings = block.Check(frames, true);
  if (!findings.Clean()) {
    char text[96];
    std::snprintf(text, sizeof text, ", run of %d frames (longest %d) at %g Hz", frames,
                  subject.MaxBlock(), static_cast<double>(subject.Rate()));
    context.Fail(findings.Describe() + text + where);
  }
  return findings.Clean();
}

AudioBlock BlockFor(const Lv2Effect& subject) {
  return AudioBlock(subject.NumInputs(), subject.NumOutputs(), subject.MaxBlock());
}

void Matrix(Context& context) {
  Lv2Library target(context.Location());
  std::vector<float> rates(std::begin(kCommonRates), std::end(kCommonRates));
  if (context.Strictness() >= 5)
    rates.assign(std::begin(kAllRates), std::end(kAllRates));
  const int32_t framesPerLength = context.Strictness() >= 8 ? 8192 : 2048;
  for (const float rate : rates) {
    auto subject = Activated(target, rate, kLongestRun);
    AudioBlock block = BlockFor(*subject);
    for (const int32_t length : kBlockSizes)
      for (int32_t done = 0; done < std::max(framesPerLength, 2 * length); done += length)
        if (!NoiseRun(context, *subject, block, length))
          break;
  }
}

void PageEdges(Context& context) {
  Lv2Library target(context.Location());
  auto subject = Activated(target, 44100.0f, 512);
  CheckPageEdges(context, "run", subject->NumInputs(), subject->NumOutputs(), 512,
                 [&](EdgeBlock& block, int32_t frames) {
                   subject->Run(block.Inputs(), block.Outputs(), frames);
                 });
}

void ShortRuns(Context& context) {
  Lv2Library target(context.Location());
  for (const int32_t longest : {512, 4096}) {
    auto subject = Activated(target, 44100.0f, longest);
    AudioBlock block = BlockFor(*subject);
    const int runs = context.Strictness() >= 8 ? 400 : 100;
    for (int run = 0; run < runs; ++run) {
      const auto frames = static_cast<int32_t>(run % 5 == 0 ? 0 : context.Between(1, longest));
      NoiseRun(context, *subject, block, frames);
    }
  }
}

void Layouts(Context& context) {
  Lv2Library target(context.Location());
  auto subject = Activated(target, 48000.0f, 512);
  AudioBlock block = BlockFor(*subject);
  if (!subject->InPlaceAllowed())
    context.Note("in place", "not tried: the plug-in declares lv2:inPlaceBroken");
  ForEachLayout(block, subject->InPlaceAllowed(), [&](int32_t frames, const char* layout) {
    NoiseRun(context, *subject, block, frames, layout);
  });
}

void Automation(Context& context) {
  Lv2Library target(context.Location());
  auto subject = Activated(target, 44100.0f, 512);
  if (subject->NumControls() == 0)
    context.Skip("the plug-in has no control inputs");
  AudioBlock block = BlockFor(*subject);
  AutomateEvery32Frames(context, [&] {
    const size_t control = SetRandomControl(*subject, context.Random());
    char where[96];
    std::snprintf(where, sizeof where, ", after %s was set to %g",
                  target.Controls()[control]->symbol.c_str(),
                  static_cast<double>(subject->Control(control)));
    return NoiseRun(context, *subject, block, 32, where);
  });
}

// deactivate and activate again between runs, as a host resets an instance.
void Reactivation(Context& context) {
  Lv2Library target(context.Location());
  auto subject = Activated(target, 48000.0f, 512);
  AudioBlock block = BlockFor(*subject);
  for (int round = 0; round < 40 && context.Failures() == 0; ++round) {
    context.Step("deactivate and activate, round %d", round);
    subject->Deactivate();
    if (round % 3 == 0 && subject->NumControls() > 0)
      SetRandomControl(*subject, context.Random());
    subject->Activate();
    for (int i = 0; i < 4; ++i)
      NoiseRun(context, *subject, block, 512, ", after deactivate and activate");
  }
}

// Full-scale noise for a long time at each preset, as fast as the plug-in goes.
void PresetNoise(Context& context) {
  constexpr size_t kMostPresets = 32;
  Lv2Library target(context.Location());
  auto subject = Activated(target, 44100.0f, 512);
  const size_t presets = target.Description().Presets().size();
  if (presets > kMostPresets)
    context.Note("presets",
                 "the first " + std::to_string(kMostPresets) + " of " + std::to_string(presets));
  const int seconds = context.Strictness() >= 10 ? 60 : 10;
  AudioBlock block = BlockFor(*subject);
  for (size_t preset = 0; preset < std::max<size_t>(1, std::min(presets, kMostPresets)); ++preset) {
    std::string where = ", full-scale noise at the controls' defaults";
    if (presets > 0) {
      context.Step("preset %s", target.Description().Presets()[preset].label.c_str());
      ApplyPreset(*subject, preset);
      where = ", full-scale noise at preset " + target.Description().Presets()[preset].label;
    }
    for (int64_t done = 0; done < 44100LL * seconds; done += 512)
      if (!NoiseRun(context, *subject, block, 512, where.c_str(), 1.0f))
        break;
  }
  context.Note("noise per preset", std::to_string(seconds) + " s");
}

void Decay(Context& context) {
  Lv2Library target(context.Location());
  auto subject = Activated(target, kTailRate, kTailBlock);
  AudioBlock block = BlockFor(*subject);
  CheckTail(
      context, block, true, [&] { subject->Run(block.Inputs(), block.Outputs(), kTailBlock); },
      target.Description().IsGenerator());
}

const bool registered =
    Register(PluginFormat::Lv2,
             {"audio.matrix", Matrix, {.strictness = 1, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Lv2, {"audio.short-blocks", ShortRuns, {.strictness = 2}}) &&
    Register(PluginFormat::Lv2, {"audio.page-edges", PageEdges, {.strictness = 1}}) &&
    Register(PluginFormat::Lv2, {"audio.layouts", Layouts, {.strictness = 2}}) &&
    Register(PluginFormat::Lv2,
             {"audio.automation", Automation, {.strictness = 3, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Lv2, {"audio.reactivation", Reactivation, {.strictness = 4}}) &&
    Register(PluginFormat::Lv2, {"audio.decay", Decay, {.strictness = 5, .timeoutSeconds = 90}}) &&
    Register(PluginFormat::Lv2,
             {"audio.preset-noise", PresetNoise, {.strictness = 7, .timeoutSeconds = 240}});

} // namespace

} // namespace zhost::validate
