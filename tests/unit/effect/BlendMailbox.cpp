// The hand-over of the blended response between threads.
#include "effect/BlendMailbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {
// Cabinets that make the blend at (x, 0) equal to x at every tap.
TImpulseTable Ramp() {
  TImpulseTable t{};
  t[1].fill(1.0f);
  return t;
}

bool AllTapsEqual(const TImpulseResponse& r) {
  for (float v : r)
    if (v != r[0])
      return false;
  return true;
}
} // namespace

TEST(BlendMailbox, TheAudioSideTakesTheLatestBlendOnce) {
  TBlendMailbox mailbox;
  const TImpulseTable cabinets = Ramp();
  TImpulseResponse blend{};
  EXPECT_FALSE(mailbox.Take(blend));
  mailbox.Request(cabinets, 0.25f, 0.0f);
  mailbox.Request(cabinets, 0.5f, 0.0f);
  ASSERT_TRUE(mailbox.Take(blend));
  EXPECT_EQ(0.5f, blend[63]);
  EXPECT_FALSE(mailbox.Take(blend));
  mailbox.Request(cabinets, 0.75f, 0.0f);
  mailbox.Discard();
  EXPECT_FALSE(mailbox.Take(blend));
  EXPECT_EQ(0.5f, blend[0]);
}

TEST(BlendMailbox, ConcurrentWritersNeverHandOverAHalfWrittenBlendAndTheLastRequestWins) {
  TBlendMailbox mailbox;
  const TImpulseTable cabinets = Ramp();
  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (int w = 0; w < 3; ++w)
    writers.emplace_back([&, w] {
      for (int i = 0; !stop.load(); ++i)
        mailbox.Request(cabinets, float((i * 3 + w) % 1000) / 1000.0f, 0.0f);
    });
  TImpulseResponse blend{};
  int taken = 0;
  // On a loaded machine the writers may not run at all for a while: go on until they did.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (int i = 0; i < 200000 || (taken == 0 && std::chrono::steady_clock::now() < deadline); ++i)
    if (mailbox.Take(blend)) {
      ++taken;
      ASSERT_TRUE(AllTapsEqual(blend)) << i;
    }
  stop = true;
  for (std::thread& t : writers)
    t.join();
  EXPECT_GT(taken, 0);
  mailbox.Request(cabinets, 0.125f, 0.0f);
  ASSERT_TRUE(mailbox.Take(blend));
  EXPECT_EQ(0.125f, blend[17]);
}
