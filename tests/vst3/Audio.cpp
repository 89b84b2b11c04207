// The bundle's sound: the same bytes as the VST 2.x plug-in for the same seed, input and values;
// automation points inside a block give what the same changes between blocks give; a block of
// no samples only applies changes.
#include "FactoryRenderHashes.h"
#include "Vst3TestHost.h"
#include "abi/effect_helpers.h"

using namespace vst3test;

namespace {

TEST(Vst3Audio, EveryProgramSoundsAsTheVst2PluginWithTheSameValues) {
  const effecttest::PrivateSettings settings(factoryrender::kSeed);
  const testhost::Library vst2(ZINTRAX_PLUGIN_PATH);
  for (int32_t program = 0; program < factoryrender::kPrograms; ++program) {
    const testhost::Instance reference(vst2);
    const std::string hash = factoryrender::HashText(RenderHash(program));
    EXPECT_EQ(factoryrender::HashText(factoryrender::RenderHash(reference.Effect(), program, true)),
              hash)
        << "program " << program;
    // A VST 2.x host that selects any program but the first sets every value after opening,
    // as the VST3 plug-in does: the recorded factory renders hold for those.
    if (program > 0) {
      EXPECT_EQ(factoryrender::HashText(factoryrender::kExpectedHashes[program]), hash)
          << "program " << program;
    }
  }
}

// Points: (frame of the whole render, parameter, normalised value).
struct Point {
  int32 frame;
  ParamID id;
  double value;
};
const Point kPoints[] = {{700, 0, 0.125},  {700, 1, 0.9},     {1111, 2, 0.0}, {1300, 0, 0.75},
                         {1300, 3, 1.0},   {1919, 1000, 1.0}, {2047, 0, 0.3}, {2400, 1000, 0.0},
                         {2401, 1, 0.375}, {2999, 3, 0.2}};

TEST(Vst3Audio, PointsInsideABlockSoundAsTheSameChangesBetweenBlocks) {
  const effecttest::PrivateSettings settings("99");
  const Stereo input = FactoryInput(4096);
  Effect inside;
  inside.Start(44100.0, 1024);
  const Stereo withPoints = inside.Render(input, 1024, [](int32 done, auto& changes) {
    for (const Point& p : kPoints)
      if (p.frame >= done && p.frame < done + 1024)
        changes.Add(p.id, p.frame - done, p.value);
  });

  Effect between;
  between.Start(44100.0, 1024);
  Stereo split(input.Frames());
  auto changes = TRef<zhost::Vst3ParameterChanges>::Adopt(new zhost::Vst3ParameterChanges);
  int32 done = 0;
  for (std::size_t i = 0; i <= std::size(kPoints); ++i) {
    const int32 until = i < std::size(kPoints) ? kPoints[i].frame : int32(input.Frames());
    if (until > done) {
      ASSERT_EQ(kResultOk,
                between.Process(&input.left[std::size_t(done)], &input.right[std::size_t(done)],
                                &split.left[std::size_t(done)], &split.right[std::size_t(done)],
                                until - done));
      done = until;
    }
    if (i < std::size(kPoints)) {
      changes->Clear();
      changes->Add(kPoints[i].id, 0, kPoints[i].value);
      // A block of no samples and no buffers applies the change and returns.
      ProcessData flush{};
      flush.symbolicSampleSize = kSample32;
      flush.inputParameterChanges = changes.get();
      ASSERT_EQ(kResultOk, between.processor->process(&flush));
    }
  }
  EXPECT_TRUE(withPoints == split);
  EXPECT_FLOAT_EQ(0.2f, float(between.controller->getParamNormalized(3)));
}

TEST(Vst3Audio, InPlaceBuffersGiveTheSameSamples) {
  const effecttest::PrivateSettings settings("7");
  const Stereo input = FactoryInput(8192);
  Effect apart;
  apart.Start(48000.0, 1024);
  const Stereo expected = apart.Render(input, 1024);
  Effect inPlace;
  inPlace.Start(48000.0, 1024);
  Stereo buffer = input;
  for (std::size_t done = 0; done < buffer.Frames(); done += 1024)
    ASSERT_EQ(kResultOk, inPlace.Process(&buffer.left[done], &buffer.right[done],
                                         &buffer.left[done], &buffer.right[done], 1024));
  EXPECT_TRUE(expected == buffer);
}

} // namespace

namespace {

// The bypass switched on and off by points inside blocks: bypassed, the input comes out; after
// the fade back, the output is the one that was never bypassed.
TEST(Vst3Audio, TheBypassGivesTheInputAndLetsTheLoopRingOnUnderneath) {
  const effecttest::PrivateSettings settings("8");
  const Stereo input = FactoryInput(12000);
  const int32 on = 3100, off = 7000, fade = 882;
  Effect plain;
  plain.Start(44100.0, 512);
  const Stereo reference = plain.Render(input, 512);
  Effect switched;
  ParameterInfo info{};
  switched.controller->getParameterInfo(switched.controller->getParameterCount() - 1, &info);
  ASSERT_EQ(kCanAutomate | kIsBypass, info.flags);
  const ParamID bypass = info.id;
  switched.Start(44100.0, 512);
  const Stereo output = switched.Render(input, 512, [&](int32 done, auto& changes) {
    for (const int32 at : {on, off})
      if (at >= done && at < done + 512)
        changes.Add(bypass, at - done, at == on ? 1.0 : 0.0);
  });
  for (int32 i = 0; i < int32(input.Frames()); ++i) {
    if (i >= on + fade && i < off)
      ASSERT_EQ(input.left[std::size_t(i)], output.left[std::size_t(i)]) << i;
    if (i < on || i >= off + fade)
      ASSERT_EQ(reference.right[std::size_t(i)], output.right[std::size_t(i)]) << i;
  }
  EXPECT_EQ(0.0, switched.controller->getParamNormalized(bypass));
}

} // namespace
