// The CLAP file's sound, on every processor we build for: the same bytes as the VST 2.x plug-in
// for every factory program and for values set by hand; events inside a block, values and
// modulation, give the samples of the same values set between blocks.
#include "ClapTestHost.h"
#include "FactoryRenderHashes.h"
#include "Vst2Reference.h"
#include "abi/PluginHost.h"
#include "abi/effect_helpers.h"

using namespace claptest;

namespace {

TEST(ClapSound, EveryProgramSoundsAsTheVst2PluginWithTheSameValues) {
  const effecttest::PrivateSettings settings(factoryrender::kSeed);
  const testhost::Library vst2(ZINTRAX_PLUGIN_PATH);
  for (int32_t program = 0; program < factoryrender::kPrograms; ++program) {
    const testhost::Instance reference(vst2);
    const std::string hash = factoryrender::HashText(RenderHash(program));
    EXPECT_EQ(factoryrender::HashText(factoryrender::RenderHash(reference.Effect(), program, true)),
              hash)
        << "program " << program;
    if (program > 0) {
      EXPECT_EQ(factoryrender::HashText(factoryrender::kExpectedHashes[program]), hash);
    }
  }
}

// Values in their own units, as typed texts on the VST 2.x side and as real values here.
TEST(ClapSound, ValuesSetByHandSoundAsTheVst2Plugin) {
  const effecttest::PrivateSettings settings("4242");
  const std::array<double, 4> values[] = {{123.25, 3.5, 0.125, 0.875}, {50.0, 5.0, 1.0, 0.0}};
  const Stereo input = FactoryInput(30000);
  for (const auto& set : values) {
    const Stereo expected = Vst2Render(set, input);
    Effect clap;
    for (clap_id id = 0; id < 4; ++id)
      clap.Set(id, set[id]);
    clap.Activate(48000.0, 1, 256);
    EXPECT_TRUE(clap.Render(input, 256) == expected) << "Distance " << set[0];
  }
}

struct Point {
  uint32_t frame;
  clap_id id;
  double value;
  bool modulation;
};
// Frames of the whole render; modulation adds to the value, and an amount of 0 ends it.
const Point kPoints[] = {{700, 0, 200.0, false}, {700, 1, 4.0, false},  {1111, 2, 0.0, false},
                         {1300, 0, 120.0, true}, {1300, 3, 1.0, false}, {2047, 0, 600.0, false},
                         {2401, 1, -2.5, true},  {2999, 3, 0.2, false}, {3100, 0, 0.0, true},
                         {3500, 0, 700.0, true}};

// What the module plays at each point: base plus modulation, within the range.
TEST(ClapSound, EventsInsideABlockSoundAsTheSameValuesSetBetweenBlocks) {
  const effecttest::PrivateSettings settings("99");
  const Stereo input = FactoryInput(4096);
  Effect inside;
  inside.Activate(44100.0, 1, 1024);
  const Stereo withEvents = inside.Render(input, 1024, [](uint32_t done, uint32_t n, auto& list) {
    for (const Point& p : kPoints)
      if (p.frame >= done && p.frame < done + n) {
        if (p.modulation)
          list.Modulation(p.frame - done, p.id, p.value);
        else
          list.Value(p.frame - done, p.id, p.value);
      }
  });
  // The host reads back the values it set, without the modulation.
  EXPECT_EQ(600.0, inside.Value(0).value_or(0));
  EXPECT_EQ(4.0, inside.Value(1).value_or(0));

  Effect between;
  between.Activate(44100.0, 1, 1024);
  Stereo split(input.Frames());
  double base[4] = {750.0, 1.5, 0.5, 0.5}, modulation[4] = {};
  const double low[4] = {50.0, 1.0, 0.0, 0.0}, high[4] = {750.0, 5.0, 1.0, 1.0};
  uint32_t done = 0;
  for (std::size_t i = 0; i <= std::size(kPoints); ++i) {
    const uint32_t until = i < std::size(kPoints) ? kPoints[i].frame : uint32_t(input.Frames());
    if (until > done) {
      const float* in[2] = {&input.left[done], &input.right[done]};
      float* out[2] = {&split.left[done], &split.right[done]};
      between.Process(in, out, until - done);
      done = until;
    }
    if (i < std::size(kPoints)) {
      const Point& p = kPoints[i];
      (p.modulation ? modulation : base)[p.id] = p.value;
      zhost::ClapEventList change;
      change.Value(0, p.id, std::clamp(base[p.id] + modulation[p.id], low[p.id], high[p.id]));
      between.Flush(change);
    }
  }
  EXPECT_TRUE(withEvents == split);
}

// Switched on and off in the ringing tail: bypassed, the input (here silence); around each switch
// no step from sample to sample larger than the signal's own; and the loop rang on underneath,
// so that after the fade back the output is the one that was never bypassed.
TEST(ClapSound, BypassCrossfadesToTheInputAndBackWhileTheLoopRingsOn) {
  const effecttest::PrivateSettings settings("5");
  const Stereo input = FactoryInput(30000);
  const uint32_t on = 4000, off = 7000, fade = 882; // 20 ms at 44.1 kHz
  Effect plain;
  plain.SelectPreset(1);
  plain.Activate(44100.0, 1, 500);
  const Stereo reference = plain.Render(input, 500);
  Effect switched;
  switched.SelectPreset(1);
  switched.Activate(44100.0, 1, 500);
  const clap_id bypass = switched.Parameters().back().id;
  ASSERT_TRUE(switched.Parameters().back().flags & CLAP_PARAM_IS_BYPASS);
  const Stereo output = switched.Render(input, 500, [&](uint32_t done, uint32_t n, auto& list) {
    for (const uint32_t at : {on, off})
      if (at >= done && at < done + n)
        list.Value(at - done, bypass, at == on ? 1.0 : 0.0);
  });
  float ownStep = 0, stepAtSwitch = 0, ringing = 0;
  for (std::size_t i = 1; i < output.Frames(); ++i) {
    const float own = std::abs(reference.left[i] - reference.left[i - 1]);
    const float step = std::abs(output.left[i] - output.left[i - 1]);
    if (i >= on - fade && i < off + 2 * fade)
      ownStep = std::max(ownStep, own); // the tail's own, around the switches
    if ((i >= on && i < on + fade) || (i >= off && i < off + fade))
      stepAtSwitch = std::max(stepAtSwitch, step);
    if (i >= on - fade && i < on)
      ringing = std::max(ringing, std::abs(reference.left[i]));
  }
  EXPECT_GT(ringing, 0.01f) << "the switch falls in a ringing tail";
  EXPECT_LE(stepAtSwitch, ownStep);
  // Within each fade the output lies between the two and is mostly neither: a crossfade, not a cut.
  for (const uint32_t at : {on, off}) {
    int mixed = 0;
    for (std::size_t i = at; i < at + fade; ++i) {
      const float low = std::min(reference.left[i], input.left[i]);
      const float high = std::max(reference.left[i], input.left[i]);
      EXPECT_TRUE(output.left[i] >= low && output.left[i] <= high) << i;
      mixed += output.left[i] != reference.left[i] && output.left[i] != input.left[i];
    }
    EXPECT_GT(mixed, int(fade) / 2) << "at " << at;
  }
  for (std::size_t i = 0; i < output.Frames(); ++i) {
    const bool bypassed = i >= on + fade && i < off;
    const bool passed = i < on || i >= off + fade;
    if (bypassed)
      ASSERT_EQ(input.left[i], output.left[i]) << i;
    if (passed)
      ASSERT_EQ(reference.right[i], output.right[i]) << i;
  }
  EXPECT_EQ(0.0, switched.Value(bypass).value_or(-1));
  EXPECT_EQ("On", switched.Text(bypass, 1.0));
}

} // namespace
