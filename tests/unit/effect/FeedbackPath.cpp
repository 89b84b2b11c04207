// The signal path driven directly: against the straightforward implementation kept with the
// benchmark, against hand-computed samples, and for its behaviour at the edges.
#include "effect/FeedbackPath.h"
#include "effect/ParameterMapping.h"

#include "../bench/effect_baseline.h"

#include "CountingAllocator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

namespace {
// The calling thread's floating-point control register (rounding, exception masks, flushing).
uint64_t ControlRegister() {
#if defined(__x86_64__) || defined(__i386__)
  uint32_t csr;
  __asm__ volatile("stmxcsr %0" : "=m"(csr));
  return csr;
#elif defined(__aarch64__)
  uint64_t fpcr;
  __asm__ volatile("mrs %0, fpcr" : "=r"(fpcr));
  return fpcr;
#else
  return 0;
#endif
}

struct TSettingsOfTest {
  float distance, feeding, x, y;
};

TImpulseTable EmbeddedTable() {
  TImpulseTable table = UnitImpulseTable();
  ReadImpulseBytes(EmbeddedImpulses(), table, 0, kImpulseBlocks);
  return table;
}

struct TSignal {
  std::vector<float> left, right;
};

// Bursts of noise and tones with silences between them, long enough for many wraps.
TSignal TestSignal(int frames, uint32_t seed) {
  TSignal s{std::vector<float>(frames), std::vector<float>(frames)};
  for (int i = 0; i < frames; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const float noise = float(seed >> 8) / float(1 << 24) - 0.5f;
    const float gate = (i / 3000) % 3 == 0 ? std::exp(-float(i % 3000) / 500.0f) : 0.0f;
    s.left[i] = gate * (0.8f * std::sin(float(i) * 0.07f) + noise);
    s.right[i] = gate * (0.5f * std::sin(float(i) * 0.011f) - noise);
  }
  return s;
}

// Both implementations with the same coefficients and seed.
struct TPair {
  explicit TPair(TKernel kernel = PreferredKernel(TCPU())) : fast(kernel) { fast.Open(table); }
  TImpulseTable table = EmbeddedTable();
  TFeedbackPath fast;
  TRandomGenerator random{99};
  TBaselinePath baseline{99};

  void Set(const TSettingsOfTest& s) {
    fast.SetDistance(s.distance, kImpulseTaps);
    fast.SetFeeding(s.feeding);
    fast.SetPadPosition(s.x, s.y);
    baseline.Delay = DelayForDistance(s.distance, kImpulseTaps);
    baseline.FeedbackGain = FeedbackGainForDistance(s.distance);
    baseline.IdleFeed = IdleFeedForFeeding(s.feeding);
    baseline.Drive = s.feeding;
    TImpulseResponse blend;
    BlendImpulses(table, s.x, s.y, blend);
    baseline.SetBlend(blend.data());
  }
  // Processes in blocks of the given sizes; answers the number of differing samples.
  int Compare(const TSignal& in, const std::vector<int>& blocks, float drive) {
    const int frames = int(in.left.size());
    std::vector<float> fl(frames), fr(frames), bl(frames), br(frames);
    for (int i = 0, b = 0; i < frames; ++b) {
      const int n = std::min(blocks[b % blocks.size()], frames - i);
      fast.Process(&in.left[i], &in.right[i], &fl[i], &fr[i], n, drive, random);
      i += n;
    }
    baseline.Process(in.left.data(), in.right.data(), bl.data(), br.data(), frames);
    int differing = 0;
    for (int i = 0; i < frames; ++i)
      differing += fl[i] != bl[i] || fr[i] != br[i];
    return differing;
  }
};
} // namespace

TEST(FeedbackPath, AgreesBitForBitWithTheStraightforwardPath) {
  const TSettingsOfTest cases[] = {{750, 1.5f, 0.5f, 0.5f}, {750, 2.5f, 0.7f, 0.9f},
                                   {300, 2.0f, 0.1f, 0.2f}, {50, 5.0f, 1.0f, 0.0f},
                                   {51, 1.0f, 0.0f, 1.0f},  {749.9f, 3.3f, 0.25f, 0.75f}};
  for (const TKernel kernel : KernelsFor(TCPU()))
    for (const TSettingsOfTest& c : cases) {
      TPair pair(kernel);
      pair.Set(c);
      EXPECT_EQ(0, pair.Compare(TestSignal(30000, 5), {512}, c.feeding)) << c.distance;
      EXPECT_EQ(
          0, pair.Compare(TestSignal(20000, 6), {1, 3, 8, 9, 100, 2047, 2048, 2049, 7}, c.feeding))
          << c.distance;
    }
}

TEST(FeedbackPath, ParameterChangesTakeEffectFromTheNextBlockWithoutTouchingTheState) {
  TPair pair;
  pair.Set({750, 1.5f, 0.5f, 0.5f});
  EXPECT_EQ(0, pair.Compare(TestSignal(10000, 1), {256}, 1.5f));
  pair.Set({120, 4.0f, 0.9f, 0.1f});
  EXPECT_EQ(0, pair.Compare(TestSignal(10000, 2), {64}, 4.0f));
  pair.Set({600, 1.2f, 0.0f, 0.0f});
  EXPECT_EQ(0, pair.Compare(TestSignal(10000, 3), {1000}, 1.2f));
}

TEST(FeedbackPath, HandComputedSamplesAfterOpen) {
  // Delay 80, unit-impulse blend, gain of 750 cm, drive 1.5: silence settles from
  // SoftClip(1.5 * gain * 0.5e-24) towards a floor, and an impulse of 1.0 gives
  // SoftClip(1.5) = 252 / 276.
  TFeedbackPath path;
  path.SetDistance(750.0f, 0);
  path.SetFeeding(1.5f);
  path.Open(EmbeddedTable());
  EXPECT_EQ(80.0f, path.Delay());
  EXPECT_EQ(FeedbackGainForDistance(750.0f), path.FeedbackGain()); // open keeps the gain
  TRandomGenerator random(1);
  const float silence[12] = {};
  float left[12], right[12];
  path.Process(silence, silence, left, right, 12, 1.5f, random);
  const float expected[12] = {
      2.7745275881751417e-25f, 4.161791505522229e-25f, 4.855423094417223e-25f,
      5.20223888886472e-25f,   5.375647279126535e-25f, 5.462350981219376e-25f,
      5.505702832265797e-25f,  5.527379250827073e-25f, 5.538216720550612e-25f,
      5.543636194969481e-25f,  5.546345932178915e-25f, 5.547700307745566e-25f};
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(expected[i], left[i]) << i;
    EXPECT_EQ(expected[i], right[i]) << i;
  }
  const float one = 1.0f, zero = 0.0f;
  path.Process(&one, &zero, left, right, 1, 1.5f, random);
  EXPECT_EQ(static_cast<float>(252.0 / 276.0), left[0]);
}

TEST(FeedbackPath, BeforeOpenAndAfterCloseItWritesSilenceAndLeavesTheGeneratorAlone) {
  TFeedbackPath path;
  TRandomGenerator random(5);
  std::vector<float> in(100, 0.5f), left(100, 3.0f), right(100, 3.0f);
  path.SetPadPosition(0.3f, 0.3f); // no blend exists yet: ignored
  path.Process(in.data(), in.data(), left.data(), right.data(), 100, 1.5f, random);
  EXPECT_EQ(std::vector<float>(100, 0.0f), left);
  EXPECT_EQ(std::vector<float>(100, 0.0f), right);
  EXPECT_EQ(5u, random.State());
  path.Open(EmbeddedTable());
  path.Close();
  path.Process(in.data(), in.data(), left.data(), right.data(), 100, 1.5f, random);
  EXPECT_EQ(std::vector<float>(100, 0.0f), left);
}

TEST(FeedbackPath, AReopenedPathStartsWithSilentBuffersButKeepsItsFilterAndEnvelope) {
  TFeedbackPath reopened, fresh;
  for (TFeedbackPath* path : {&reopened, &fresh}) {
    path->SetDistance(750.0f, kImpulseTaps);
    path->Open(EmbeddedTable());
  }
  TRandomGenerator random(2), sameRandom(2);
  const TSignal loud = TestSignal(3000, 3);
  std::vector<float> left(3000), right(3000);
  reopened.Process(loud.left.data(), loud.right.data(), left.data(), right.data(), 3000, 1.5f,
                   random);
  reopened.Close();
  reopened.Open(EmbeddedTable());
  // Silence in: the fresh path settles towards the floor from zero, the reopened one starts
  // from the low-pass state it had, and its store factor stays 1 while the envelope is high.
  const std::vector<float> silence(200, 0.0f);
  std::vector<float> a(200), b(200), c(200), d(200);
  random = TRandomGenerator(7), sameRandom = TRandomGenerator(7);
  reopened.Process(silence.data(), silence.data(), a.data(), b.data(), 200, 1.5f, random);
  fresh.Process(silence.data(), silence.data(), c.data(), d.data(), 200, 1.5f, sameRandom);
  EXPECT_NE(a[0], c[0]);
  EXPECT_GT(std::abs(a[0]), 1e-6f);
  // Nothing of the loud signal comes back through the delay: the buffers were cleared.
  EXPECT_LT(std::abs(a[150]), std::abs(a[0]));
}

TEST(FeedbackPath, DelaysBeyondTheBuffersAreHeldAtTheLongestSafeDelay) {
  TPair pair;
  pair.Set({5000, 2.0f, 0.5f, 0.5f});
  EXPECT_EQ(DelayForDistance(5000, kImpulseTaps), pair.fast.Delay()); // the mapped value is kept
  pair.baseline.Delay = TFeedbackPath::kLongestDelay;
  EXPECT_EQ(0, pair.Compare(TestSignal(12000, 4), {300}, 2.0f));

  TPair shortest;
  shortest.Set({-5000, 2.0f, 0.5f, 0.5f});
  shortest.baseline.Delay = TFeedbackPath::kShortestDelay;
  EXPECT_EQ(0, shortest.Compare(TestSignal(12000, 4), {300}, 2.0f));
}

TEST(FeedbackPath, AStoreFactorThatIsNotFiniteCountsAsZero) {
  TPair pair;
  pair.Set({300, -1.0f, 0.5f, 0.5f}); // Feeding -1: 3 / 0
  EXPECT_TRUE(std::isinf(pair.fast.IdleFeed()));
  pair.baseline.IdleFeed = 0.0f;
  pair.baseline.Drive = 1.5f;
  TSignal quiet{std::vector<float>(5000, 1e-6f), std::vector<float>(5000, -1e-6f)};
  EXPECT_EQ(0, pair.Compare(quiet, {512}, 1.5f));
}

TEST(FeedbackPath, RunsWithDenormalsFlushedAndGivesTheCallerItsStateBack) {
  TFeedbackPath path;
  path.Open(EmbeddedTable());
  TRandomGenerator random(3);
  std::vector<float> tiny(64, 1e-40f), left(64), right(64);
  std::fesetround(FE_DOWNWARD);
  const uint64_t caller = ControlRegister();
  path.Process(tiny.data(), tiny.data(), left.data(), right.data(), 64, 1.5f, random);
  const uint64_t after = ControlRegister();
  std::fesetround(FE_TONEAREST);
  EXPECT_EQ(caller, after);
  TFeedbackPath reference;
  reference.Open(EmbeddedTable());
  TRandomGenerator sameRandom(3);
  std::vector<float> zero(64, 0.0f), refLeft(64), refRight(64);
  reference.Process(zero.data(), zero.data(), refLeft.data(), refRight.data(), 64, 1.5f,
                    sameRandom);
  EXPECT_EQ(refLeft, left);
}

TEST(FeedbackPath, NeitherProcessingNorParameterChangesAllocate) {
  TFeedbackPath path;
  const long beforeOpen = gAllocations.load();
  path.Open(EmbeddedTable());
  EXPECT_GT(gAllocations.load(), beforeOpen); // the count sees the buffers of open
  TRandomGenerator random(8);
  const TSignal in = TestSignal(8192, 9);
  std::vector<float> left(8192), right(8192);
  const long before = gAllocations.load();
  for (int i = 0; i < 8192; i += 128) {
    path.SetDistance(50.0f + float(i % 700), kImpulseTaps);
    path.SetFeeding(1.0f + float(i % 4));
    path.SetPadPosition(float(i % 10) / 10.0f, 0.4f);
    path.Process(&in.left[i], &in.right[i], &left[i], &right[i], 128, 2.0f, random);
  }
  EXPECT_EQ(before, gAllocations.load());
}

TEST(FeedbackPath, ParameterChangesFromOtherThreadsNeverUpsetTheAudioThread) {
  TFeedbackPath path;
  path.Open(EmbeddedTable());
  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (int w = 0; w < 2; ++w)
    writers.emplace_back([&, w] {
      for (int i = 0; !stop.load(); ++i) {
        path.SetPadPosition(float((i + w) % 11) / 10.0f, float(i % 7) / 6.0f);
        path.SetDistance(50.0f + float((i * 37) % 701), kImpulseTaps);
        path.SetFeeding(1.0f + float(i % 5));
      }
    });
  TRandomGenerator random(4);
  const TSignal in = TestSignal(200000, 11);
  std::vector<float> left(in.left.size()), right(in.left.size());
  for (std::size_t i = 0; i < in.left.size(); i += 64)
    path.Process(&in.left[i], &in.right[i], &left[i], &right[i], 64, 3.0f, random);
  stop = true;
  for (std::thread& t : writers)
    t.join();
  for (std::size_t i = 0; i < left.size(); ++i)
    ASSERT_TRUE(std::abs(left[i]) <= 1.0f && std::abs(right[i]) <= 1.0f) << i;
}
