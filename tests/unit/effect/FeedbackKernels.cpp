// Every kernel of the signal path that this processor runs against the portable kernel, over
// long randomised runs: the samples, the buffers and the state carried from run to run must
// be the same to the bit.
#include "effect/FeedbackKernels.h"
#include "effect/FeedbackPath.h"
#include "effect/FeedbackSteps.h"
#include "effect/ParameterMapping.h"
#include "framework/DFloatingPoint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

uint32_t Bits(float x) {
  return std::bit_cast<uint32_t>(x);
}

// Envelope values a few frames before the decay's step changes: where the step of a binade
// grows, where a power of two is crossed, where the envelope becomes quiet, where it leaves
// the normal floats.
std::vector<float> EnvelopeEdges() {
  std::vector<float> edges;
  const auto step = [](float e) { return Bits(e) - Bits(Decayed(e)); };
  for (const float start : {0.7f, 3e-3f, 1e-30f}) {
    float recent[4] = {start, start, start, start};
    for (float e = start; step(e) == step(start); e = Decayed(e)) {
      std::rotate(recent, recent + 1, recent + 4);
      recent[3] = e;
    }
    edges.push_back(recent[0]);
  }
  for (const float limit : {0.5f, kQuietFloat, FLT_MIN})
    edges.push_back(std::bit_cast<float>(Bits(limit) + 25));
  return edges;
}

// A reproducible stream of choices.
class TChoices {
public:
  explicit TChoices(uint32_t seed) : FState(seed * 2654435761u + 1u) {}
  uint32_t Next() {
    FState = FState * 1664525u + 1013904223u;
    return FState >> 8;
  }
  float Uniform(float low, float high) { return low + (high - low) * float(Next()) / 16777216.0f; }
  int Below(int n) { return int(Next() % uint32_t(n)); }
  template <class T, std::size_t N> T Of(const T (&values)[N]) { return values[Below(int(N))]; }
  int Of(std::initializer_list<int> values) { return values.begin()[Below(int(values.size()))]; }

private:
  uint32_t FState;
};

// A stretch of input: plucks and tones up to a level, silence, denormal and other odd samples,
// or the next envelope edge above the level, placed first, last, or a few frames before the end
// of a batch of the longest length (so that the next batch decays across the edge) in the
// stretch, among silence.
void Fill(TChoices& choices, float level, std::vector<float>& edges, float* left, float* right,
          int frames) {
  const float odd[] = {0.0f,
                       -0.0f,
                       1e-40f,
                       -1e-45f,
                       FLT_MIN,
                       -FLT_MIN,
                       1e-38f,
                       3e38f,
                       -FLT_MAX,
                       1.0e-5f,
                       2e-5f,
                       -1.0f,
                       std::numeric_limits<float>::infinity(),
                       std::numeric_limits<float>::quiet_NaN()};
  const int kind = choices.Below(6);
  const int edgeAt = choices.Of({0, frames - 1, std::min(frames - 1, 61)});
  for (int i = 0; i < frames; ++i) {
    float l = 0.0f, r = 0.0f;
    switch (kind) {
    case 0: // a pluck: decaying noise
    case 1: {
      const float decay = level * std::exp(-float(i) / 300.0f);
      l = decay * choices.Uniform(-1.0f, 1.0f);
      r = kind == 0 ? decay * choices.Uniform(-1.0f, 1.0f) : l;
      break;
    }
    case 2: // a tone
      l = level * std::sin(float(i) * 0.05f);
      r = level * std::sin(float(i) * 0.031f);
      break;
    case 3: // odd samples among silence
      if (choices.Below(4) == 0) {
        l = choices.Of(odd);
        r = choices.Of(odd);
      }
      break;
    case 4: // an envelope edge among silence
      if (i == edgeAt && !edges.empty()) {
        l = r = edges.front();
        edges.erase(edges.begin());
      }
      break;
    default: // silence
      break;
    }
    left[i] = l;
    right[i] = r;
  }
}

// A kernel with its buffers and state, run block by block as TFeedbackPath runs it.
struct TKernelUnderTest {
  static constexpr int32_t kHalf = TFeedbackPath::FHalfLength;

  explicit TKernelUnderTest(TKernel kernel, uint32_t seed)
      : Kernel(kernel), Run(KernelFunction(kernel)), Random(seed) {}

  void Process(const float* in0, const float* in1, float* out0, float* out1, int32_t frames,
               const TFrameRun& coefficients) {
    for (int32_t done = 0; done < frames;) {
      TFrameRun run = coefficients;
      run.In[0] = in0 + done, run.In[1] = in1 + done, run.Out[0] = out0 + done,
      run.Out[1] = out1 + done;
      run.Frames = std::min(frames - done, WritePos + 1);
      run.WritePos = WritePos;
      run.History = History.data(), run.Feedback = Feedback.data();
      run.Lowpass = Lowpass, run.Envelope = Envelope, run.Random = Random;
      Run(run);
      Lowpass = run.Lowpass, Envelope = run.Envelope, Random = run.Random;
      done += run.Frames;
      WritePos -= run.Frames;
      if (WritePos < 0) {
        WritePos = kHalf - 1;
        std::copy_n(History.begin(), kFilterTaps - 1, History.begin() + kHalf);
        std::copy_n(Feedback.begin(), kHalf, Feedback.begin() + kHalf);
      }
    }
  }

  // Where this state first differs from the other's, or "".
  std::string Difference(const TKernelUnderTest& other) const {
    if (Bits(Envelope) != Bits(other.Envelope))
      return "envelope";
    if (std::memcmp(&Lowpass, &other.Lowpass, sizeof Lowpass) != 0)
      return "low-pass state";
    if (Random.State() != other.Random.State())
      return "generator";
    if (std::memcmp(History.data(), other.History.data(), History.size() * sizeof History[0]))
      return "history";
    if (std::memcmp(Feedback.data(), other.Feedback.data(), Feedback.size() * sizeof Feedback[0]))
      return "feedback store";
    return "";
  }

  TKernel Kernel;
  TKernelFunction Run;
  std::vector<TFrame<double>> History = std::vector<TFrame<double>>(kHalf + kFilterTaps);
  std::vector<TFrame<float>> Feedback = std::vector<TFrame<float>>(2 * kHalf);
  int32_t WritePos = 0;
  TFrame<double> Lowpass{};
  float Envelope = 0.0f;
  TRandomGenerator Random;
};

} // namespace

TEST(FeedbackKernels, EveryKernelGivesThePortableKernelsSamplesAndState) {
  TImpulseTable table = UnitImpulseTable();
  ReadImpulseBytes(EmbeddedImpulses(), table, 0, kImpulseBlocks);
  std::vector<float> allEdges = EnvelopeEdges();
  std::sort(allEdges.begin(), allEdges.end());
  const int blockSizes[] = {1, 2, 3, 5, 7, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 255, 480, 2049};
  const float levels[] = {1.0f, 0.3f, 3e-3f, 2.2e-5f, 1.5e-5f, 1e-35f, 0.0f};
  // The floating-point state that TFeedbackPath gives its kernels.
  const TMaskedFloatingPoint floatingPoint(TDenormals::Flushed);

  for (uint32_t seed = 1; seed <= 128; ++seed) {
    TChoices choices(seed);
    // Plucks and tones stay below the seed's level; the edges above it come in rising order,
    // so that each of them lifts the envelope.
    const float level = choices.Of(levels);
    std::vector<float> edges;
    std::copy_if(allEdges.begin(), allEdges.end(), std::back_inserter(edges),
                 [&](float edge) { return edge > level; });
    std::vector<TKernelUnderTest> kernels;
    for (const TKernel kernel : KernelsFor(TCPU()))
      kernels.emplace_back(kernel, seed);
    TFrameRun coefficients{};
    std::array<TFrame<double>, kFilterTaps> taps{};
    coefficients.Taps = taps.data();
    std::vector<float> in[2], out[2], expected[2];
    for (int block = 0, frame = 0; frame < 20000; ++block) {
      // New coefficients between blocks, now and then: across the parameters' ranges and
      // beyond, with delays down to the shortest the buffers allow.
      if (block % 4 == 0) {
        const bool wide = choices.Below(6) == 0;
        const float distance = choices.Uniform(50.0f, 750.0f);
        const float feeding = wide ? choices.Uniform(0.2f, 8.0f) : choices.Uniform(1.0f, 5.0f);
        TImpulseResponse blend;
        BlendImpulses(table, choices.Uniform(0.0f, 1.0f), choices.Uniform(0.0f, 1.0f), blend);
        for (int j = 0; j < kFilterTaps; ++j)
          taps[std::size_t(j)] = {blend[std::size_t(j)], blend[std::size_t(j)]};
        coefficients.Delay =
            wide ? choices.Uniform(TFeedbackPath::kShortestDelay, TFeedbackPath::kLongestDelay)
                 : DelayForDistance(distance, kImpulseTaps);
        coefficients.FeedbackGain = FeedbackGainForDistance(distance);
        coefficients.IdleFeed = IdleFeedForFeeding(feeding);
        coefficients.Drive = feeding;
      }
      const int frames = choices.Below(3) == 0 ? choices.Of(blockSizes) : 1 + choices.Below(600);
      for (int c = 0; c < 2; ++c)
        in[c].assign(std::size_t(frames), 0.0f);
      Fill(choices, level * choices.Uniform(0.1f, 1.0f), edges, in[0].data(), in[1].data(), frames);
      const bool inPlace = choices.Below(4) == 0;
      for (TKernelUnderTest& kernel : kernels) {
        out[0] = in[0], out[1] = in[1];
        kernel.Process(inPlace ? out[0].data() : in[0].data(),
                       inPlace ? out[1].data() : in[1].data(), out[0].data(), out[1].data(), frames,
                       coefficients);
        if (&kernel == &kernels.front()) {
          expected[0] = out[0], expected[1] = out[1];
          continue;
        }
        const std::string where = kernel.Difference(kernels.front());
        ASSERT_EQ(where, "") << KernelName(kernel.Kernel) << ", seed " << seed << ", block "
                             << block;
        for (int c = 0; c < 2; ++c)
          for (std::size_t i = 0; i < std::size_t(frames); ++i)
            ASSERT_EQ(Bits(out[c][i]), Bits(expected[c][i]))
                << KernelName(kernel.Kernel) << ", seed " << seed << ", frame " << frame + int(i)
                << ", channel " << c << ": " << out[c][i] << " instead of " << expected[c][i];
      }
      frame += frames;
    }
  }
}

TEST(FeedbackKernels, TheFastestKernelUnlessTheEnvironmentAsksForThePortableOne) {
  const TCPU cpu;
  const TKernel fastest = KernelsFor(cpu).back();
  EXPECT_EQ(KernelsFor(cpu).front(), TKernel::Portable);
  EXPECT_EQ(PreferredKernel(cpu), fastest);
  setenv("ZINTRAX_PORTABLE_KERNEL", "1", 1);
  EXPECT_EQ(PreferredKernel(cpu), TKernel::Portable);
  setenv("ZINTRAX_PORTABLE_KERNEL", "0", 1);
  EXPECT_EQ(PreferredKernel(cpu), fastest);
  unsetenv("ZINTRAX_PORTABLE_KERNEL");
#if defined(__x86_64__)
  EXPECT_EQ(fastest, __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")
                         ? TKernel::AVX2
                         : TKernel::SSE2);
#elif defined(__aarch64__)
  EXPECT_EQ(fastest, TKernel::NEON);
#endif
}
