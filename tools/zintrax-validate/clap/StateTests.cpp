// state, for CLAP plug-ins: values set by events saved and loaded into a fresh instance give the
// same values, the same bytes and (for a plug-in whose output repeats) the same sound, through
// streams that move a few bytes at a time too, and the host is asked to rescan; empty, cut and
// random states are refused without harm.
#include "checks/AudioBlock.h"
#include "clap/ClapSubject.h"

#include <string>

namespace zhost::validate {

namespace {

std::vector<double> Values(const ClapEffect& plugin) {
  std::vector<double> values;
  for (const clap_param_info& info : plugin.Parameters())
    values.push_back(plugin.Value(info.id).value_or(-1.0));
  return values;
}

// What the plug-in plays of a noise seeded by seed, activated afresh.
std::vector<float> Heard(ClapEffect& plugin, uint32_t seed) {
  plugin.Activate(48000.0, 1, 512);
  AudioBlock block(int32_t(plugin.InputChannels()), int32_t(plugin.OutputChannels()), 512);
  std::mt19937 random(seed);
  std::vector<float> heard;
  for (int i = 0; i < 16; ++i) {
    block.Noise(random, 0.5f, 512);
    block.Ready(512, true);
    plugin.Process(block.Inputs(), block.Outputs(), 512);
    for (int32_t c = 0; c < block.NumOutputs(); ++c)
      heard.insert(heard.end(), block.Output(c), block.Output(c) + 512);
  }
  plugin.StopProcessing();
  plugin.Deactivate();
  return heard;
}

void RoundTrip(Context& context) {
  const ClapSubject subject(context.Location());
  if (!subject.plugin->state)
    context.Skip("the plug-in keeps no state (clap.state)");
  ClapEventList events;
  for (const clap_param_info& info : Writable(*subject.plugin))
    if (!(info.flags & CLAP_PARAM_IS_BYPASS))
      events.Value(0, info.id, RandomValue(context, info));
  subject.plugin->Flush(events);
  for (const std::size_t chunk : {std::size_t(SIZE_MAX), std::size_t(1), std::size_t(7)}) {
    context.Step("save and load in pieces of at most %zu bytes", chunk);
    const std::optional<std::vector<uint8_t>> saved = subject.plugin->Save(chunk);
    if (!saved || saved->empty())
      context.Abort("save failed or wrote nothing");
    auto other = subject.Another();
    if (!other->Load(*saved, chunk))
      context.Abort("load refused what save wrote");
    if (Values(*other) != Values(*subject.plugin))
      context.Fail("the values after a load differ from the saved instance's");
    if (other->Save() != saved)
      context.Fail("saving again after a load gives other bytes");
    if (other->Rescans() == 0 && Values(*other) != Values(*subject.Another()))
      context.Fail("the values changed on load without a rescan of the host's");
  }
  context.Step("the same input through the saved instance and two loaded from its state");
  const std::optional<std::vector<uint8_t>> saved = subject.plugin->Save();
  auto loaded = subject.Another(), twin = subject.Another();
  if (!saved || !loaded->Load(*saved) || !twin->Load(*saved))
    context.Abort("load refused what save wrote");
  const std::vector<float> heard = Heard(*loaded, context.Seed());
  if (heard != Heard(*twin, context.Seed()))
    context.Note("output", "two instances loaded from one state play one input differently, so "
                           "the sound after a load was not compared");
  else if (heard != Heard(*subject.plugin, context.Seed()))
    context.Fail("an instance loaded from the state plays the same input differently from the "
                 "saved one");
}

void Invalid(Context& context) {
  const ClapSubject subject(context.Location());
  ClapEffect& plugin = *subject.plugin;
  if (!plugin.state)
    context.Skip("the plug-in keeps no state (clap.state)");
  const std::optional<std::vector<uint8_t>> before = plugin.Save();
  context.Step("load of an empty stream");
  if (plugin.Load({}))
    context.Fail("an empty state was loaded");
  if (before && before->size() > 1) {
    context.Step("load of a state cut one byte short");
    if (plugin.Load({before->begin(), before->end() - 1}))
      context.Fail("a state one byte short was loaded");
  }
  std::vector<uint8_t> noise(1 << 20);
  for (int round = 0; round < 3; ++round) {
    for (uint8_t& b : noise)
      b = uint8_t(context.Random()());
    context.Step("load of 1 MiB of random bytes, round %d", round);
    plugin.Load(noise, 4096);
  }
  if (before && plugin.Save() != before)
    context.Note("state", "refused states changed what the plug-in saves");
}

const bool registered =
    Register(PluginFormat::Clap, {"state.round-trip", RoundTrip, {.strictness = 1}}) &&
    Register(PluginFormat::Clap, {"state.invalid", Invalid, {.strictness = 1}});

} // namespace

} // namespace zhost::validate
