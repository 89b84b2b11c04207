// The audio paths through the four processing modes, block re-buffering with overlap and the
// settings they depend on.
#include "TestModule.h"

#include <gtest/gtest.h>

#include <string>

using namespace fwtest;

namespace {
struct Channels {
  Channels(int channels, int frames, float fill = 0.0f)
      : data(static_cast<std::size_t>(channels), std::vector<float>(frames, fill)) {
    for (auto& channel : data) {
      channel.reserve(1);
      pointers.push_back(channel.data());
    }
  }
  float** Pointers() { return pointers.data(); }
  std::vector<std::vector<float>> data;
  std::vector<float*> pointers;
};

// A handler that writes input * 2 + 1 and remembers every call's first inputs.
struct Recorder {
  std::vector<std::vector<float>> seenInputs;
  TProcessAudioEvent Handler(int inputs, int outputs) {
    return [this, inputs, outputs](const float* const* in, float* const* out, int32_t n) {
      seenInputs.emplace_back(in[0], in[0] + n);
      for (int ch = 0; ch < outputs; ++ch)
        for (int i = 0; i < n; ++i)
          out[ch][i] = (ch < inputs ? in[ch][i] : 0.0f) * 2.0f + 1.0f;
    };
  }
};

std::vector<float> Ramp(int from, int count) {
  std::vector<float> r;
  for (int i = 0; i < count; ++i)
    r.push_back(static_cast<float>(from + i));
  return r;
}
} // namespace

TEST(AudioPaths, NormalModeReplacingAndAccumulating) {
  Built built;
  TTestModule& m = built.Module();
  Recorder recorder;
  m.SetOnProcess(recorder.Handler(2, 2));
  m.SetOnProcessReplacing(recorder.Handler(2, 2));
  Channels in(2, 4, 3.0f), out(2, 4, 100.0f);
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 4);
  EXPECT_EQ(out.data[1], std::vector<float>(4, 7.0f));
  built.Effect()->process(built.Effect(), in.Pointers(), out.Pointers(), 4);
  EXPECT_EQ(out.data[0], std::vector<float>(4, 14.0f));
}

TEST(AudioPaths, AccumulatingProcessesLongCallsInPieces) {
  Built built;
  TTestModule& m = built.Module();
  m.SetBlockSize(16);
  std::vector<int32_t> pieces;
  m.SetOnProcess([&](const float* const* in, float* const* out, int32_t n) {
    pieces.push_back(n);
    for (int ch = 0; ch < 2; ++ch)
      for (int i = 0; i < n; ++i)
        out[ch][i] = in[ch][i];
  });
  constexpr int kFrames = 1000;
  Channels in(2, kFrames), out(2, kFrames, 0.5f);
  for (int i = 0; i < kFrames; ++i)
    in.data[0][i] = in.data[1][i] = static_cast<float>(i);
  built.Effect()->process(built.Effect(), in.Pointers(), out.Pointers(), kFrames);
  ASSERT_GT(pieces.size(), 1u);
  int32_t total = 0;
  for (int32_t n : pieces)
    total += n;
  EXPECT_EQ(total, kFrames);
  for (int i = 0; i < kFrames; ++i)
    ASSERT_EQ(out.data[1][i], i + 0.5f);
}

TEST(AudioPaths, ZeroFramesStillReachTheHandler) {
  Built built;
  int calls = 0;
  built.Module().SetOnProcessReplacing([&](const float* const*, float* const*, int32_t n) {
    EXPECT_EQ(n, 0);
    ++calls;
  });
  built.Module().SetOnProcess([&](const float* const*, float* const*, int32_t n) {
    EXPECT_EQ(n, 0);
    ++calls;
  });
  Channels in(2, 0), out(2, 0);
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 0);
  built.Effect()->process(built.Effect(), in.Pointers(), out.Pointers(), 0);
  EXPECT_EQ(calls, 2);
}

TEST(AudioPaths, CopyAndMuteModes) {
  Built built;
  TTestModule& m = built.Module();
  Channels in(2, 8, 0.25f), out(2, 8, 9.0f);
  m.SetProcessingMode(pmCopy);
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 8);
  EXPECT_EQ(out.data, in.data);
  m.SetProcessingMode(pmMute);
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 8);
  EXPECT_EQ(out.data[0], std::vector<float>(8, 0.0f));
  Channels kept(2, 8, 4.0f);
  built.Effect()->process(built.Effect(), in.Pointers(), kept.Pointers(), 8);
  EXPECT_EQ(kept.data[0], std::vector<float>(8, 4.0f)) << "muting adds nothing";
}

TEST(AudioPaths, BlockSaveDelaysByOneBlock) {
  Built built;
  TTestModule& m = built.Module();
  m.SetBlockModeSize(4);
  Recorder recorder;
  m.SetOnProcessReplacing(recorder.Handler(2, 2));
  m.SetProcessingMode(pmBlockSave);
  EXPECT_GE(m.InitialDelay(), 4);
  EXPECT_EQ(built.Effect()->initialDelay, m.InitialDelay());

  Channels first(2, 3), out(2, 3, 9.0f);
  first.data[0] = Ramp(1, 3);
  first.pointers[0] = first.data[0].data();
  built.Effect()->processReplacing(built.Effect(), first.Pointers(), out.Pointers(), 3);
  EXPECT_TRUE(recorder.seenInputs.empty());
  EXPECT_EQ(out.data[0], std::vector<float>(3, 0.0f));

  Channels second(2, 3);
  second.data[0] = Ramp(4, 3);
  second.pointers[0] = second.data[0].data();
  built.Effect()->processReplacing(built.Effect(), second.Pointers(), out.Pointers(), 3);
  ASSERT_EQ(recorder.seenInputs.size(), 1u);
  EXPECT_EQ(recorder.seenInputs[0], Ramp(1, 4));
  EXPECT_EQ(out.data[0], (std::vector<float>{0.0f, 3.0f, 5.0f}));
}

TEST(AudioPaths, BlockSaveOverlapRepeatsTheEndOfTheLastBlock) {
  Built built;
  TTestModule& m = built.Module();
  m.SetBlockModeSize(8);
  m.SetBlockModeOverlap(2);
  Recorder recorder;
  m.SetOnProcess(recorder.Handler(2, 2));
  m.SetProcessingMode(pmBlockSave);
  EXPECT_EQ(m.InitialDelay(), 6);
  Channels in(2, 18), out(2, 18);
  in.data[0] = Ramp(1, 18);
  in.pointers[0] = in.data[0].data();
  built.Effect()->process(built.Effect(), in.Pointers(), out.Pointers(), 18);
  ASSERT_EQ(recorder.seenInputs.size(), 3u);
  for (std::size_t call = 1; call < recorder.seenInputs.size(); ++call) {
    const auto& previous = recorder.seenInputs[call - 1];
    EXPECT_EQ(recorder.seenInputs[call][0], previous[6]);
    EXPECT_EQ(recorder.seenInputs[call][1], previous[7]);
  }
  EXPECT_EQ(recorder.seenInputs[1], Ramp(5, 8));
}

TEST(AudioPaths, OverlapSetInsideBlockModeKeepsTheFillPosition) {
  Built built;
  TTestModule& m = built.Module();
  m.SetBlockModeSize(8);
  Recorder recorder;
  m.SetOnProcessReplacing(recorder.Handler(2, 2));
  m.SetProcessingMode(pmBlockSave);
  m.SetBlockModeOverlap(2);
  EXPECT_EQ(m.InitialDelay(), 8) << "8 already covers the new 6";
  Channels in(2, 14), out(2, 14);
  in.data[0] = Ramp(1, 14);
  in.pointers[0] = in.data[0].data();
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 7);
  EXPECT_TRUE(recorder.seenInputs.empty()) << "the first block still takes 8 new samples";
  in.pointers[0] = in.data[0].data() + 7;
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 7);
  ASSERT_EQ(recorder.seenInputs.size(), 2u);
  EXPECT_EQ(recorder.seenInputs[0], Ramp(1, 8));
  EXPECT_EQ(recorder.seenInputs[1], Ramp(7, 8));
}

TEST(AudioPaths, AHostCallThatFillsTheBlockRaisesTheHandler) {
  Built built;
  TTestModule& m = built.Module();
  m.SetBlockModeSize(4);
  Recorder recorder;
  m.SetOnProcessReplacing(recorder.Handler(2, 2));
  m.SetProcessingMode(pmBlockSave);
  Channels in(2, 4), out(2, 4);
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 4);
  EXPECT_EQ(recorder.seenInputs.size(), 1u);
}

TEST(AudioPaths, BlockSettingsKeepTheirInvariant) {
  Built built;
  TTestModule& m = built.Module();
  m.SetBlockModeSize(8);
  m.SetBlockModeOverlap(8);
  EXPECT_EQ(m.BlockModeOverlap(), 0);
  m.SetBlockModeOverlap(-1);
  EXPECT_EQ(m.BlockModeOverlap(), 0);
  m.SetBlockModeOverlap(5);
  m.SetBlockModeSize(5);
  EXPECT_EQ(m.BlockModeSize(), 8) << "a size not above the overlap is refused";
  m.SetBlockModeSize(0);
  m.SetBlockModeSize(-3);
  EXPECT_EQ(m.BlockModeSize(), 8);
  m.SetInitialDelay(-4);
  EXPECT_EQ(m.InitialDelay(), 0);
}

TEST(AudioPaths, BlockModeSurvivesChannelChangesAndModeSwitches) {
  Built built;
  TTestModule& m = built.Module();
  Recorder recorder;
  m.SetOnProcessReplacing(recorder.Handler(1, 3));
  m.SetBlockModeSize(16);
  m.SetProcessingMode(pmBlockSave);
  m.SetNumInputs(1);
  m.SetNumOutputs(3);
  Channels in(1, 40), out(3, 40);
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 40);
  EXPECT_EQ(recorder.seenInputs.size(), 2u);
  m.SetProcessingMode(pmNormal);
  m.SetProcessingMode(pmBlockSave);
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 40);
  EXPECT_EQ(recorder.seenInputs.size(), 4u);
}

TEST(AudioPaths, SettersTellTheHost) {
  Built built;
  TTestModule& m = built.Module();
  Requests().clear();
  m.SetNumOutputs(1);
  m.SetInitialDelay(12);
  EXPECT_EQ(RequestsOf(audioMasterIOChanged).size(), 2u);
  EXPECT_EQ(built.Effect()->numOutputs, 1);
  EXPECT_EQ(built.Effect()->initialDelay, 12);
  m.SetNumInputs(-1);
  EXPECT_EQ(built.Effect()->numInputs, 2);
}

TEST(AudioPaths, RateAndBlockEventsOnlyOnChange) {
  Built built;
  TTestModule& m = built.Module();
  std::vector<float> rates;
  std::vector<int32_t> sizes;
  std::string order;
  m.OnSampleRateChange = [&](TObject*, float rate) {
    rates.push_back(rate);
    order += 'r';
  };
  m.OnBlockSizeChange = [&](TObject*, int32_t size) {
    sizes.push_back(size);
    order += 'b';
  };
  EXPECT_EQ(built.Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f), 1);
  built.Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  built.Dispatch(effSetBlockSize, 0, 1024);
  built.Dispatch(effSetBlockSize, 0, 256);
  EXPECT_EQ(rates, std::vector<float>{48000.0f});
  EXPECT_EQ(sizes, std::vector<int32_t>{256});
  built.Dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 48000.0f);
  EXPECT_EQ(rates.size(), 2u) << "the combined request always raises both";
  EXPECT_EQ(sizes.size(), 2u);
  EXPECT_EQ(order, "rbrb") << "the rate first, then the block size";
  EXPECT_EQ(built.Dispatch(effSetBlockSizeAndSampleRate, 0, 64, nullptr, 96000.0f), 1);
  EXPECT_EQ(m.SampleRate(), 96000.0f);
  EXPECT_EQ(m.BlockSize(), 64);
  EXPECT_EQ(rates.back(), 96000.0f);
  EXPECT_EQ(sizes.back(), 64);
}

TEST(AudioPaths, TempoComesFromTheHost) {
  Built built;
  HostAnswer() = [](const Request& r) -> VstIntPtr {
    return r.opcode == audioMasterTempoAt ? 1200000 : 0;
  };
  Channels in(2, 1), out(2, 1);
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 1);
  EXPECT_FLOAT_EQ(built.Module().Tempo(), 120.0f);
}

TEST(AudioPaths, QueuedMidiGoesOutOnce) {
  Built built;
  TTestModule& m = built.Module();
  HostAnswer() = [](const Request&) -> VstIntPtr { return 1; };
  m.MidiOutEvent(0).midiData[0] = static_cast<char>(0x90);
  m.SetMidiOutCount(1);
  Channels in(2, 1), out(2, 1);
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 1);
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 1);
  const auto sent = RequestsOf(audioMasterProcessEvents);
  ASSERT_EQ(sent.size(), 1u);
  const auto* events = static_cast<const VstEvents*>(sent[0].ptr);
  EXPECT_EQ(events, m.MidiOutEvents());
  EXPECT_EQ(m.MidiOutEvents()->numEvents, 0);
  EXPECT_EQ(m.MidiOutEvent(0).type, kVstMidiType);
  EXPECT_EQ(m.MidiOutEvent(0).byteSize, 24);
}

TEST(AudioPaths, AHandlerThatThrowsLosesOnlyItsBlock) {
  Built built;
  bool fail = true;
  built.Module().SetOnProcessReplacing([&](const float* const*, float* const* out, int32_t n) {
    if (fail)
      throw std::runtime_error("handler failed");
    std::fill_n(out[0], n, 2.0f);
  });
  Channels in(2, 4), out(2, 4);
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 4);
  fail = false;
  built.Effect()->processReplacing(built.Effect(), in.Pointers(), out.Pointers(), 4);
  EXPECT_EQ(out.data[0], std::vector<float>(4, 2.0f));
}
