// The feedback signal path, through each kernel this processor runs and in blocks of several
// sizes, against the straightforward scalar baseline (effect_baseline.h), all on the same input
// in the same run: time per stereo frame and speed relative to real time at 44.1 kHz. Before
// timing, each runs over the whole input once and must agree with the baseline sample for
// sample; the run stops with an error otherwise. The times per block size and their ratios are
// measured again with all configurations taking turns and printed at the end (PrintRatios).
#include "effect/FeedbackPath.h"
#include "effect/ParameterMapping.h"
#include "effect_baseline.h"
#include "framework/DCPU.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
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

// The times again and their ratios, measured apart from the table above: every configuration
// (each kernel in each block size, and the baseline) renders the same stretch of input in turn,
// round after round, each timed in this thread's processor time, and the medians are compared.
// Taking turns puts all of them under the same load of a shared machine, which the separate time
// slots of the table do not.
void PrintRatios() {
  constexpr int kStretch = 8192, kRounds = 41;
  struct TConfiguration {
    std::string Name;
    int Block;
    std::function<void(const float*, const float*, float*, float*, int)> Process;
    std::vector<double> Times;
  };
  std::vector<TConfiguration> configurations;
  auto baseline = std::make_shared<TBaseline>();
  configurations.push_back({"Baseline",
                            4096,
                            [baseline](const float* in0, const float* in1, float* out0, float* out1,
                                       int n) { baseline->Process(in0, in1, out0, out1, n); },
                            {}});
  for (const TKernel kernel : KernelsFor(TCPU()))
    for (const int block : kBlocks) {
      auto fast = std::make_shared<TFast>(kernel);
      configurations.push_back({std::string(KernelName(kernel)) + "/" + std::to_string(block),
                                block,
                                [fast](const float* in0, const float* in1, float* out0, float* out1,
                                       int n) { fast->Process(in0, in1, out0, out1, n); },
                                {}});
    }
  const TInput& input = Input();
  std::vector<float> left(kFrames), right(kFrames);
  for (int round = 0; round < kRounds; ++round) {
    const int first = round * kStretch % (kFrames - kStretch);
    for (TConfiguration& c : configurations) {
      timespec start, end;
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
      for (int i = first; i < first + kStretch; i += c.Block)
        c.Process(&input.left[i], &input.right[i], &left[i], &right[i],
                  std::min(c.Block, first + kStretch - i));
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
      benchmark::DoNotOptimize(left.data());
      c.Times.push_back(double(end.tv_sec - start.tv_sec) * 1e9 +
                        double(end.tv_nsec - start.tv_nsec));
    }
  }
  std::map<std::string, double> medians;
  for (TConfiguration& c : configurations) {
    std::nth_element(c.Times.begin(), c.Times.begin() + kRounds / 2, c.Times.end());
    medians[c.Name] = c.Times[kRounds / 2] / kStretch;
  }
  std::printf("Medians of %d interleaved rounds of %d frames, in ns per frame, by block size:\n",
              kRounds, kStretch);
  const double base = medians["Baseline"];
  std::printf("%-8s %8.2f (blocks of 4096)\n", "Baseline", base);
  std::printf("%-8s", "");
  for (const int block : kBlocks)
    std::printf(" %8d", block);
  std::printf("\n");
  for (const TKernel kernel : KernelsFor(TCPU())) {
    const std::string prefix = std::string(KernelName(kernel)) + "/";
    std::printf("%-8s", KernelName(kernel));
    for (const int block : kBlocks)
      std::printf(" %8.2f", medians[prefix + std::to_string(block)]);
    std::printf("\n");
  }
  for (const TKernel kernel : KernelsFor(TCPU())) {
    const std::string prefix = std::string(KernelName(kernel)) + "/";
    const double large = medians[prefix + "4096"], small = medians[prefix + "32"];
    std::printf("%-8s %5.2f times as fast as Baseline in blocks of 4096; in blocks of 32 %+5.1f %% "
                "per frame\n",
                KernelName(kernel), base / large, 100.0 * (small / large - 1.0));
  }
}
} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Register();
  benchmark::RunSpecifiedBenchmarks();
  PrintRatios();
  benchmark::Shutdown();
  return 0;
}
