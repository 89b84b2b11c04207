// Instances live through the orders real hosts produce, including the odd ones, and the two
// audio callbacks agree.
#include "abi/PluginHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace testhost;

namespace {
class Lifecycle : public ::testing::Test {
protected:
  void SetUp() override {
    Log().Clear();
    setenv("ZINTRAX_SEED", "12345", 1); // instances built from here on draw the same numbers
  }
  void TearDown() override { unsetenv("ZINTRAX_SEED"); }
  Library library;
};

// A test signal: a decaying tone burst per channel.
AudioBuffers Signal(int frames) {
  AudioBuffers in(2, frames);
  for (int ch = 0; ch < 2; ++ch)
    for (int i = 0; i < frames; ++i)
      in.data[ch][i] =
          static_cast<float>(0.5 * std::sin(0.01 * i * (ch + 1)) * std::exp(-i / 4000.0));
  return in;
}
} // namespace

TEST_F(Lifecycle, HundredFullLifecycles) {
  AudioBuffers in = Signal(512);
  AudioBuffers out(2, 512);
  for (int round = 0; round < 100; ++round) {
    AEffect* e = library.Instantiate();
    ASSERT_NE(e, nullptr) << "round " << round;
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    e->processReplacing(e, in.Pointers(), out.Pointers(), 512);
    e->process(e, in.Pointers(), out.Pointers(), 512);
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    ASSERT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
  }
}

TEST_F(Lifecycle, OddOrdersOfRealHosts) {
  AudioBuffers in = Signal(256);
  AudioBuffers out(2, 256);
  {
    Instance plugin(library); // closed without effMainsChanged off or even effOpen
  }
  {
    Instance plugin(library);
    plugin.Dispatch(effOpen);
    plugin.Dispatch(effMainsChanged, 0, 1);
    plugin.Dispatch(effMainsChanged, 0, 1); // on twice, as Ardour does
    plugin.Effect()->processReplacing(plugin.Effect(), in.Pointers(), out.Pointers(), 256);
  } // closed while on
  {
    Instance plugin(library);
    plugin.Dispatch(effOpen); // processing before effMainsChanged on
    plugin.Effect()->processReplacing(plugin.Effect(), in.Pointers(), out.Pointers(), 256);
    plugin.Effect()->process(plugin.Effect(), in.Pointers(), out.Pointers(), 256);
  }
  {
    Instance plugin(library);
    plugin.Dispatch(effOpen);
    EXPECT_EQ(plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, 0.0f), 1);
    plugin.Dispatch(effSetBlockSize, 0, 0);
    plugin.Dispatch(effSetBlockSizeAndSampleRate, 0, 0, nullptr, 0.0f);
    plugin.Dispatch(effMainsChanged, 0, 1);
    plugin.Effect()->processReplacing(plugin.Effect(), in.Pointers(), out.Pointers(), 256);
    plugin.Effect()->process(plugin.Effect(), in.Pointers(), out.Pointers(), 256);
    plugin.Dispatch(effSetBlockSize, 0, -5);
    plugin.Dispatch(effSetSampleRate, 0, 0, nullptr, std::nanf(""));
    plugin.Effect()->process(plugin.Effect(), in.Pointers(), out.Pointers(), 256);
  }
}

TEST_F(Lifecycle, ZeroFramesAndMissingBuffersChangeNothing) {
  Instance plugin(library);
  plugin.Start();
  AEffect* e = plugin.Effect();
  AudioBuffers in = Signal(64);
  AudioBuffers out(2, 64, 0.75f);
  e->process(e, in.Pointers(), out.Pointers(), 0);
  e->processReplacing(e, in.Pointers(), out.Pointers(), 0);
  e->processReplacing(e, in.Pointers(), out.Pointers(), -64);
  e->process(e, in.Pointers(), out.Pointers(), -64);
  e->processReplacing(e, nullptr, out.Pointers(), 64);
  e->process(e, in.Pointers(), nullptr, 64);
  float* halfMissing[2] = {out.pointers[0], nullptr};
  e->processReplacing(e, in.Pointers(), halfMissing, 64);
  for (const auto& channel : out.data)
    for (float sample : channel)
      ASSERT_EQ(sample, 0.75f);
}

TEST_F(Lifecycle, AccumulatingAddsWhatReplacingWrites) {
  constexpr int kFrames = 40000; // far more than the announced block size
  AudioBuffers in = Signal(kFrames);
  Instance replacing(library);
  Instance accumulating(library);
  replacing.Start(44100.0f, 64);
  accumulating.Start(44100.0f, 64);

  AudioBuffers replaced(2, kFrames, 0.0f);
  replacing.Effect()->processReplacing(replacing.Effect(), in.Pointers(), replaced.Pointers(),
                                       kFrames);
  AudioBuffers added(2, kFrames, 0.0f);
  accumulating.Effect()->process(accumulating.Effect(), in.Pointers(), added.Pointers(), kFrames);
  EXPECT_EQ(added.data, replaced.data)
      << "the accumulating path adds exactly what the replacing path writes";

  AudioBuffers again(2, kFrames, 1.0f);
  accumulating.Effect()->process(accumulating.Effect(), in.Pointers(), again.Pointers(), 32);
  replacing.Effect()->processReplacing(replacing.Effect(), in.Pointers(), replaced.Pointers(), 32);
  for (int ch = 0; ch < 2; ++ch)
    for (int i = 0; i < 32; ++i)
      ASSERT_NEAR(again.data[ch][i], 1.0f + replaced.data[ch][i], 1e-6f);
  for (int ch = 0; ch < 2; ++ch)
    EXPECT_EQ(again.data[ch][32], 1.0f) << "samples beyond the call stay untouched";
}

TEST_F(Lifecycle, EveryAudioCallAsksForTheTempo) {
  Log().answer = [](const HostCall& call) -> VstIntPtr {
    return call.opcode == audioMasterTempoAt ? 1200000 : 0;
  };
  Instance plugin(library);
  plugin.Start();
  AudioBuffers in = Signal(32);
  AudioBuffers out(2, 32);
  plugin.Effect()->processReplacing(plugin.Effect(), in.Pointers(), out.Pointers(), 32);
  EXPECT_FALSE(Log().Of(audioMasterTempoAt).empty()) << "every audio call asks for the tempo";
  EXPECT_EQ(Log().Of(audioMasterTempoAt).back().value, 0);
}
