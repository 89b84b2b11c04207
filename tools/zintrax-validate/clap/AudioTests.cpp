// audio and lifecycles, for CLAP plug-ins: blocks at the usual rates and sizes and odd ones, in
// place where the ports allow it and not, with value and modulation events inside them; the
// presets the file offers loaded and played; and the orders of calls hosts really make.
#include "checks/AudioBlock.h"
#include "checks/PageEdges.h"
#include "clap/ClapSubject.h"
#include "hosting/ClapPresets.h"

#include <string>

namespace zhost::validate {

namespace {

bool InPlaceAllowed(const ClapEffect& plugin) {
  clap_audio_port_info in{}, out{};
  return plugin.ports && plugin.ports->get(&plugin.Plugin(), 0, true, &in) &&
         plugin.ports->get(&plugin.Plugin(), 0, false, &out) && in.in_place_pair == out.id &&
         out.in_place_pair == in.id && in.in_place_pair != CLAP_INVALID_ID;
}

void Blocks(Context& context) {
  const ClapSubject subject(context.Location());
  const double rates[] = {22050.0, 44100.0, 48000.0, 96000.0, 192000.0};
  const uint32_t blocks[] = {1, 17, 64, 512, 1023, 4096};
  BlockFindings findings;
  int64_t errors = 0;
  ClapEventList events;
  for (double rate : rates)
    for (uint32_t block : blocks) {
      auto plugin = subject.Another();
      context.Step("activate at %g Hz for 1 to %u frames", rate, block);
      plugin->Activate(rate, 1, block);
      const std::vector<clap_param_info> params = Writable(*plugin);
      const bool inPlace = InPlaceAllowed(*plugin) && block % 2 == 1;
      AudioBlock buffers(int32_t(plugin->InputChannels()), int32_t(plugin->OutputChannels()),
                         int32_t(block));
      buffers.SetLayout(inPlace, int(block % 16));
      for (int n = 0; n < 40; ++n) {
        const auto frames = n % 5 == 4 ? uint32_t(context.Between(1, block)) : block;
        context.Step("%g Hz, at most %u frames: a block of %u%s", rate, block, frames,
                     inPlace ? " in place" : "");
        buffers.Noise(context.Random(), 0.5f, int32_t(frames));
        buffers.Ready(int32_t(frames), true);
        RandomEvents(context, params, frames, events);
        errors += plugin->Process(buffers.Inputs(), buffers.Outputs(), frames, &events) ==
                  CLAP_PROCESS_ERROR;
        findings.Add(buffers.Check(int32_t(frames), true));
      }
    }
  if (errors > 0)
    context.Fail(std::to_string(errors) + " blocks answered CLAP_PROCESS_ERROR");
  if (!findings.Clean())
    context.Fail(findings.Describe());
}

void PageEdges(Context& context) {
  const ClapSubject subject(context.Location());
  ClapEffect& plugin = *subject.plugin;
  plugin.Activate(44100.0, 1, 512);
  CheckPageEdges(context, "process", int32_t(plugin.InputChannels()),
                 int32_t(plugin.OutputChannels()), 512, [&](EdgeBlock& block, int32_t frames) {
                   plugin.Process(block.Inputs(), block.Outputs(), uint32_t(frames));
                 });
}

void Presets(Context& context) {
  const ClapSubject subject(context.Location());
  const std::vector<ClapPreset> presets = CrawlPresets(subject.library);
  if (presets.empty())
    context.Skip("the file offers no presets inside it");
  const auto* load = static_cast<const clap_plugin_preset_load*>(
      subject.plugin->Plugin().get_extension(&subject.plugin->Plugin(), CLAP_EXT_PRESET_LOAD));
  if (!load)
    context.Abort("presets are offered, but the plug-in has no clap.preset-load");
  ClapEffect& plugin = *subject.plugin;
  plugin.Activate(48000.0, 1, 512);
  AudioBlock block(int32_t(plugin.InputChannels()), int32_t(plugin.OutputChannels()), 512);
  BlockFindings findings;
  for (const ClapPreset& preset : presets) {
    context.Step("loading the preset %s", Printable(preset.name).c_str());
    const int rescans = plugin.Rescans();
    if (!load->from_location(&plugin.Plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr,
                             preset.loadKey.c_str()))
      context.Fail("the preset " + Printable(preset.name) + " did not load");
    else if (plugin.Rescans() == rescans)
      context.Note("rescan", "a preset loaded without a rescan of the host's values");
    for (int n = 0; n < 8; ++n) {
      block.Noise(context.Random(), 0.5f, 512);
      block.Ready(512, true);
      plugin.Process(block.Inputs(), block.Outputs(), 512);
      findings.Add(block.Check(512, true));
    }
  }
  if (!findings.Clean())
    context.Fail(findings.Describe());
}

// Qtractor's order (deactivate while processing, state loaded while active), re-activation at
// other rates, reset, blocks of every length up to the largest announced.
void Orders(Context& context) {
  const ClapSubject subject(context.Location());
  ClapEffect& plugin = *subject.plugin;
  AudioBlock block(int32_t(plugin.InputChannels()), int32_t(plugin.OutputChannels()), 2048);
  BlockFindings findings;
  const auto play = [&](uint32_t frames) {
    block.Noise(context.Random(), 0.5f, int32_t(frames));
    block.Ready(int32_t(frames), true);
    plugin.Process(block.Inputs(), block.Outputs(), frames);
    findings.Add(block.Check(int32_t(frames), true));
  };
  const std::optional<std::vector<uint8_t>> state = plugin.Save();
  for (int round = 0; round < 6; ++round) {
    const double rate = round % 3 == 0 ? 44100.0 : round % 3 == 1 ? 96000.0 : 8000.0;
    context.Step("round %d: activate at %g Hz", round, rate);
    plugin.Activate(rate, 32, 2048);
    play(32);
    play(2048);
    if (state && round % 2 == 1) {
      context.Step("round %d: state loaded while active", round);
      plugin.Load(*state);
    }
    if (round % 3 == 2 && plugin.Plugin().reset) {
      context.Step("round %d: reset", round);
      plugin.Plugin().reset(&plugin.Plugin());
    }
    play(uint32_t(context.Between(32, 2048)));
    if (round % 2 == 0)
      plugin.StopProcessing();
    context.Step("round %d: deactivate%s", round, round % 2 ? " while processing" : "");
    plugin.Deactivate();
  }
  if (!findings.Clean())
    context.Fail(findings.Describe());
}

const bool registered =
    Register(PluginFormat::Clap,
             {"audio.blocks", Blocks, {.strictness = 1, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Clap, {"programs.presets", Presets, {.strictness = 1}}) &&
    Register(PluginFormat::Clap, {"audio.page-edges", PageEdges, {.strictness = 1}}) &&
    Register(PluginFormat::Clap, {"lifecycle.orders", Orders, {.strictness = 1}});

} // namespace

} // namespace zhost::validate
