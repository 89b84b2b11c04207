// The CLAP file as hosts meet it: its entry and factories, the descriptor, the parameters'
// infos and texts, the presets inside it, its state (the VST3 plug-in's record, through streams
// that move a few bytes at a time; bad ones refused with nothing changed), and lifecycles hosts
// really make.
#include "ClapTestHost.h"
#include "abi/effect_helpers.h"
#include "hosting/ClapPresets.h"
#include "vst3/Vst3TestHost.h"

#include <random>

using namespace claptest;

namespace {

clap_id Bypass(const Effect& effect) {
  return effect.Parameters().back().id;
}

std::vector<double> Values(const Effect& effect) {
  std::vector<double> values;
  for (const clap_param_info& info : effect.Parameters())
    values.push_back(effect.Value(info.id).value_or(-1));
  return values;
}

TEST(ClapPlugin, EntryIsCountedAndOffersItsFactoriesAndOneDescriptor) {
  const clap_plugin_entry& entry = Library().Entry();
  EXPECT_GE(entry.clap_version.major, 1u);
  // A host and a plug-in inside it may both enter: only the last deinit ends it, and one too
  // many does nothing.
  ASSERT_TRUE(entry.init(ZINTRAX_CLAP_FILE));
  entry.deinit();
  entry.deinit();
  ASSERT_TRUE(entry.init(ZINTRAX_CLAP_FILE));
  EXPECT_EQ(nullptr, entry.get_factory("clap.plugin-factory-x"));
  EXPECT_EQ(nullptr, entry.get_factory("clap.nothing"));
  EXPECT_NE(nullptr, entry.get_factory("clap.preset-discovery-factory/draft-2"));

  ASSERT_EQ(1u, Library().Plugins().size());
  const clap_plugin_descriptor& d = *Library().Plugins()[0];
  EXPECT_STREQ("com.merrowlake.zintrax", d.id);
  EXPECT_STREQ("Zintrax", d.name);
  EXPECT_STREQ("MerrowlakeAudio", d.vendor);
  EXPECT_STREQ(ZINTRAX_VERSION, d.version);
  std::vector<std::string> features;
  for (const char* const* f = d.features; *f; ++f)
    features.push_back(*f);
  EXPECT_EQ((std::vector<std::string>{"audio-effect", "stereo", "distortion"}), features);
  const clap_plugin_factory& factory = Library().Factory();
  zhost::ClapEffect effect(Library());
  EXPECT_EQ(&d, effect.Plugin().desc);
  clap_host host{};
  EXPECT_EQ(nullptr, factory.create_plugin(&factory, &host, "com.merrowlake.zintrax2"));
  EXPECT_EQ(nullptr, factory.create_plugin(&factory, &host, "com.merrowlake.zintra"));
  EXPECT_EQ(nullptr, factory.get_plugin_descriptor(&factory, 1));
  entry.deinit();
}

TEST(ClapPlugin, ParametersSpeakTheirOwnUnitsAndTexts) {
  Effect effect;
  ASSERT_EQ(5u, effect.Parameters().size());
  EXPECT_EQ(CLAP_PARAM_IS_BYPASS | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_AUTOMATABLE,
            effect.Parameters()[4].flags);
  const clap_param_info& distance = effect.Parameters()[0];
  EXPECT_STREQ("Distance", distance.name);
  EXPECT_EQ(50.0, distance.min_value);
  EXPECT_EQ(750.0, distance.max_value);
  EXPECT_EQ(CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_MODULATABLE, distance.flags);
  for (const clap_param_info& info : effect.Parameters())
    EXPECT_EQ(info.default_value, effect.Value(info.id).value_or(-1)) << info.name;
  EXPECT_EQ("250 cm", effect.Text(0, 250.0));
  EXPECT_EQ(250.0, effect.Parse(0, "250 cm").value_or(0));
  EXPECT_EQ(333.0, effect.Parse(0, " 333 ").value_or(0));
  EXPECT_FALSE(effect.Parse(0, "far").has_value());
  EXPECT_FALSE(effect.Parse(4, "1").has_value());
  EXPECT_EQ("", effect.Text(7, 1.0));
  // Out of range, and events of another space or for no parameter, change nothing.
  zhost::ClapEventList events;
  events.Value(0, 1, 99.0);
  events.Value(0, 2, 0.25, 1);
  events.Value(0, 9, 0.25);
  effect.Flush(events);
  EXPECT_EQ((std::vector<double>{750.0, 5.0, 0.5, 0.5, 0.0}), Values(effect));
}

TEST(ClapPlugin, PresetsInsideTheFileAreTheFactoryProgramsAndLoadAsThey) {
  const std::vector<zhost::ClapPreset> presets = zhost::CrawlPresets(Library());
  ASSERT_EQ(3u, presets.size());
  EXPECT_EQ("on stage", presets[0].name);
  EXPECT_EQ("2", presets[2].loadKey);
  EXPECT_EQ(std::vector<std::string>{"com.merrowlake.zintrax"}, presets[1].pluginIds);
  Effect effect;
  ASSERT_TRUE(effect.SelectPreset(2));
  EXPECT_EQ((std::vector<double>{300.0, 2.0, double(0.1f), double(0.2f), 0.0}), Values(effect));
  EXPECT_EQ(1, effect.Rescans());
  EXPECT_FALSE(effect.SelectPreset(3));
  const auto* load = static_cast<const clap_plugin_preset_load*>(
      effect.Plugin().get_extension(&effect.Plugin(), CLAP_EXT_PRESET_LOAD_COMPAT));
  ASSERT_NE(nullptr, load);
  EXPECT_FALSE(
      load->from_location(&effect.Plugin(), CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp/x", "1"));
  EXPECT_FALSE(
      load->from_location(&effect.Plugin(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "01"));
}

TEST(ClapPlugin, StateIsTheVst3RecordRoundTripsAndBadOnesAreRefused) {
  const effecttest::PrivateSettings settings("7");
  Effect effect;
  effect.SelectPreset(1);
  effect.Set(0, 432.5);
  // Modulation is not a value: the state keeps what the host set.
  zhost::ClapEventList modulation;
  modulation.Modulation(0, 0, 100.0);
  effect.Flush(modulation);
  const auto saved = effect.Save(7);
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(saved, effect.Save());

  vst3test::Effect vst3;
  vst3::ParameterInfo program{};
  vst3.controller->getParameterInfo(4, &program);
  vst3.controller->setParamNormalized(program.id, 0.5);
  vst3.controller->setParamNormalized(0, vst3.controller->plainParamToNormalized(0, 432.5));
  EXPECT_EQ(*saved, vst3.ComponentState());

  Effect other;
  ASSERT_TRUE(other.Load(*saved, 1));
  EXPECT_EQ(1, other.Rescans());
  EXPECT_EQ(Values(effect), Values(other));
  EXPECT_EQ(saved, other.Save(3));

  std::mt19937 random(3);
  std::vector<uint8_t> noise(1 << 20);
  for (uint8_t& b : noise)
    b = uint8_t(random());
  std::vector<uint8_t> newer = *saved;
  newer[8] = 9; // a format version this one does not know
  const std::vector<std::vector<uint8_t>> bad = {
      {}, {saved->begin(), saved->end() - 1}, newer, noise, {'Z', 'n', 't', 'x'}};
  for (const std::vector<uint8_t>& bytes : bad) {
    EXPECT_FALSE(other.Load(bytes, 5)) << bytes.size() << " bytes";
    EXPECT_EQ(saved, other.Save());
  }
  EXPECT_EQ(1, other.Rescans());

  // The bypass is kept too.
  effect.Set(Bypass(effect), 1.0);
  ASSERT_TRUE(other.Load(*effect.Save()));
  EXPECT_EQ(1.0, other.Value(Bypass(other)).value_or(0));
}

// Qtractor deactivates without stopping and loads state while active; hosts re-activate at
// other rates, hand blocks of no frames, and process in place.
TEST(ClapPlugin, LifecyclesHostsMakeWork) {
  const effecttest::PrivateSettings settings("11");
  const Stereo input = FactoryInput(64 * 47);
  Effect reference;
  reference.SelectPreset(2);
  reference.Activate(48000.0, 64, 64);
  const Stereo expected = reference.Render(input, 64);

  Effect effect;
  effect.Activate(44100.0, 32, 512);
  effect.Render(input, 512);
  effect.Deactivate(); // still processing
  const auto state = [] {
    Effect source;
    source.SelectPreset(2);
    return *source.Save();
  }();
  effect.Activate(44100.0, 1, 100);
  ASSERT_TRUE(effect.Load(state));
  effect.Deactivate();
  // A new rate is a new signal path with the same settings.
  effect.Activate(48000.0, 1, 4096);
  EXPECT_EQ(CLAP_PROCESS_CONTINUE, effect.Process(nullptr, nullptr, 0));
  Stereo inPlace = input;
  for (std::size_t done = 0; done < inPlace.Frames(); done += 64) {
    float* io[2] = {&inPlace.left[done], &inPlace.right[done]};
    effect.Process(io, io, 64);
  }
  EXPECT_TRUE(inPlace == expected);
}

} // namespace
