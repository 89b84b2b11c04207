// The feedback signal path, through each kernel this processor runs and in blocks of several
// sizes, against the straightforward scalar baseline (effect_baseline.h), all on the same input
// in the same run: time per stereo frame and speed relative to real time at 44.1 kHz. Before
// timing, each runs over the whole input once and must agree with the baseline sample for
// sample; the run stops with an error otherwise. The ratios of the times (medians, with
// --benchmark_repetitions) are printed at the end.
#include "effect/FeedbackPath.h"
#include "effect/ParameterMapping.h"
#include "effect_baseline.h"
#include "framework/DCPU.h"

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
constexpr int kCheckBlock = 256;
constexpr int kBlocks[] = {1, 32, 64, 512, 4096};
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

struct TFast {
  TFeedbackPath path;
  TRandomGenerator random{kSeed};
  explicit TFast(TKernel kernel) : path(kernel) {
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
void Render(TPath& path, int block, std::vector<float>& left, std::vector<float>& right) {
  const TInput& input = Input();
  for (int i = 0; i < kFrames; i += block)
    path.Process(&input.left[i], &input.right[i], &left[i], &right[i],
                 std::min(block, kFrames - i));
}

// The kernel and the baseline over the whole input: the number of frames that differ.
int Disagreements(TKernel kernel) {
  std::vector<float> fastL(kFrames), fastR(kFrames), baseL(kFrames), baseR(kFrames);
  TFast fast(kernel);
  TBaseline baseline;
  Render(fast, kCheckBlock, fastL, fastR);
  Render(baseline, kCheckBlock, baseL, baseR);
  int differing = 0;
  for (int i = 0; i < kFrames; ++i)
    differing +=
        std::memcmp(&fastL[i], &baseL[i], 4) != 0 || std::memcmp(&fastR[i], &baseR[i], 4) != 0;
  return differing;
}

template <class TPath>
void SignalPath(benchmark::State& state, TPath& path, int block, int differing) {
  if (differing) {
    state.SkipWithError((std::to_string(differing) + " frames differ from the baseline").c_str());
    return;
  }
  std::vector<float> left(kFrames), right(kFrames);
  for (auto _ : state) {
    Render(path, block, left, right);
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
  }
  const double frames = double(state.iterations()) * kFrames;
  state.counters["per_frame"] =
      benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["x_realtime"] =
      benchmark::Counter(frames / kSampleRate, benchmark::Counter::kIsRate);
}

void Register() {
  benchmark::RegisterBenchmark("Baseline", [](benchmark::State& state) {
    TBaseline baseline;
    SignalPath(state, baseline, kBlocks[std::size(kBlocks) - 1], 0);
  })->Unit(benchmark::kMillisecond);
  for (const TKernel kernel : KernelsFor(TCPU()))
    for (const int block : kBlocks) {
      const std::string name = std::string(KernelName(kernel)) + "/" + std::to_string(block);
      benchmark::RegisterBenchmark(name.c_str(), [kernel, block](benchmark::State& state) {
        static std::map<TKernel, int> checked;
        if (!checked.count(kernel))
          checked[kernel] = Disagreements(kernel);
        TFast fast(kernel);
        SignalPath(state, fast, block, checked[kernel]);
      })->Unit(benchmark::kMillisecond);
    }
}

// Keeps the processor time per frame of each benchmark (the machine may be shared, which
// stretches the wall-clock time), the median where repetitions give one, to print the ratios
// at the end.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred)
        continue;
      const std::string name = run.run_name.function_name;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        FMedians[name] = run.GetAdjustedCPUTime();
      else if (run.run_type == Run::RT_Iteration)
        FTimes[name] = run.GetAdjustedCPUTime();
    }
  }
  void PrintRatios() const {
    const auto time = [this](const std::string& name) {
      const auto median = FMedians.find(name);
      if (median != FMedians.end())
        return median->second;
      const auto last = FTimes.find(name);
      return last == FTimes.end() ? 0.0 : last->second;
    };
    const double base = time("Baseline");
    if (base == 0.0)
      return;
    for (const TKernel kernel : KernelsFor(TCPU())) {
      const std::string prefix = std::string(KernelName(kernel)) + "/";
      const double large = time(prefix + "4096"), small = time(prefix + "32");
      if (large == 0.0 || small == 0.0)
        continue;
      std::printf("%-8s in blocks of 4096 is %5.2f times as fast as Baseline; blocks of 32 take "
                  "%+5.1f %% per frame\n",
                  KernelName(kernel), base / large, 100.0 * (small / large - 1.0));
    }
  }

private:
  std::map<std::string, double> FTimes, FMedians;
};
} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Register();
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
