// The feedback signal path against the straightforward scalar baseline (effect_baseline.h),
// both on the same input in the same run: time per stereo frame and speed relative to
// real time at 44.1 kHz. Before timing, both run over the whole input once and must agree
// sample for sample; the run stops with an error otherwise. The ratio of the two times is
// printed at the end.
#include "effect/FeedbackPath.h"
#include "effect/ParameterMapping.h"
#include "effect_baseline.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {
constexpr int kSampleRate = 44100;
constexpr int kFrames = 4 * kSampleRate;
constexpr int kBlock = 256;
constexpr uint32_t kSeed = 12345;
// The "encore" program: the loop keeps ringing after the input stops, so the timed work
// covers both the plucks and a saturated feedback tone.
constexpr float kDistance = 300.0f, kFeeding = 2.0f, kX = 0.1f, kY = 0.2f;

struct TInput {
  std::vector<float> left, right;
  TInput() : left(kFrames), right(kFrames) {
    uint32_t noise = 1;
    for (int i = 0; i < kFrames; ++i) {
      const int age = i % (kSampleRate / 2);
      const double envelope = i < kFrames / 2 ? std::exp(-age / 2000.0) : 0.0;
      noise = noise * 1664525u + 1013904223u;
      const double n = (noise >> 8) / double(1 << 24) - 0.5;
      left[i] = float(envelope * (0.6 * std::sin(i * 0.031) + 0.3 * n));
      right[i] = float(envelope * (0.5 * std::sin(i * 0.029) - 0.3 * n));
    }
  }
};

const TInput& Input() {
  static const TInput input;
  return input;
}

template <bool NarrowOnly> struct TFast {
  TFeedbackPath path{NarrowOnly ? TFeedbackPath::TVectorWidth::Narrow
                                : TFeedbackPath::WidestAvailable()};
  TRandomGenerator random{kSeed};
  TFast() {
    TImpulseTable table = UnitImpulseTable();
    ReadImpulseBytes(EmbeddedImpulses(), table, 0, kImpulseBlocks);
    path.Open(table);
    path.SetDistance(kDistance, kImpulseTaps);
    path.SetFeeding(kFeeding);
    path.SetPadPosition(kX, kY);
  }
  void Process(const float* in0, const float* in1, float* out0, float* out1, int n) {
    path.Process(in0, in1, out0, out1, n, kFeeding, random);
  }
};

struct TBaseline {
  TBaselinePath path{kSeed};
  TBaseline() {
    TImpulseTable table = UnitImpulseTable();
    ReadImpulseBytes(EmbeddedImpulses(), table, 0, kImpulseBlocks);
    TImpulseResponse blend;
    BlendImpulses(table, kX, kY, blend);
    path.SetBlend(blend.data());
    path.Delay = DelayForDistance(kDistance, kImpulseTaps);
    path.FeedbackGain = FeedbackGainForDistance(kDistance);
    path.IdleFeed = IdleFeedForFeeding(kFeeding);
    path.Drive = kFeeding;
  }
  void Process(const float* in0, const float* in1, float* out0, float* out1, int n) {
    path.Process(in0, in1, out0, out1, n);
  }
};

template <class TPath>
void Render(TPath& path, std::vector<float>& left, std::vector<float>& right) {
  const TInput& input = Input();
  for (int i = 0; i < kFrames; i += kBlock)
    path.Process(&input.left[i], &input.right[i], &left[i], &right[i],
                 std::min(kBlock, kFrames - i));
}

// Both paths over the whole input: the number of samples that differ.
template <class TPath> int Disagreements() {
  std::vector<float> fastL(kFrames), fastR(kFrames), baseL(kFrames), baseR(kFrames);
  TPath fast;
  TBaseline baseline;
  Render(fast, fastL, fastR);
  Render(baseline, baseL, baseR);
  int differing = 0;
  for (int i = 0; i < kFrames; ++i)
    differing +=
        std::memcmp(&fastL[i], &baseL[i], 4) != 0 || std::memcmp(&fastR[i], &baseR[i], 4) != 0;
  return differing;
}

template <class TPath> void SignalPath(benchmark::State& state) {
  static const int differing = Disagreements<TPath>();
  if (differing) {
    state.SkipWithError((std::to_string(differing) + " frames differ from the baseline").c_str());
    return;
  }
  TPath path;
  std::vector<float> left(kFrames), right(kFrames);
  for (auto _ : state) {
    Render(path, left, right);
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
  }
  const double frames = double(state.iterations()) * kFrames;
  state.counters["per_frame"] =
      benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["x_realtime"] =
      benchmark::Counter(frames / kSampleRate, benchmark::Counter::kIsRate);
}
BENCHMARK(SignalPath<TBaseline>)->Name("Baseline")->Unit(benchmark::kMillisecond);
// The path as the plug-in runs it (two frames per register where AVX2 is available) and its
// one-frame-per-register build, which every x86-64 processor runs.
BENCHMARK(SignalPath<TFast<false>>)->Name("FeedbackPath")->Unit(benchmark::kMillisecond);
BENCHMARK(SignalPath<TFast<true>>)->Name("FeedbackPathNarrow")->Unit(benchmark::kMillisecond);

// Keeps the processor time per iteration of each benchmark (the machine may be shared, which
// stretches the wall-clock time) to print the ratio at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration)
        FTimes[run.run_name.function_name] = run.GetAdjustedCPUTime();
  }
  void PrintRatios() const {
    const auto base = FTimes.find("Baseline");
    if (base == FTimes.end())
      return;
    for (const auto& [name, time] : FTimes)
      if (name != "Baseline")
        std::printf("%s is %.2f times as fast as Baseline\n", name.c_str(), base->second / time);
  }

private:
  std::map<std::string, double> FTimes;
};
} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
