// The checks under the validator's dynamic tests, on buffers and resources this test sets up
// itself: what a block of output held, the allocator's calls counted per thread, and the
// process's descriptors and threads.
#include "validate/AllocationCounter.h"
#include "validate/AudioBlock.h"
#include "validate/ProcessResources.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <memory>
#include <thread>

using namespace zhost::validate;

TEST(DynamicChecks, ABlockTellsUnwrittenNonFiniteSubnormalAndOverrunSamples) {
  AudioBlock block(2, 2, 8);
  block.PrepareOutputs(8);
  EXPECT_EQ(block.Check(8, true).unwritten, 16);
  EXPECT_EQ(block.Check(8, false).nonFinite, 16); // an accumulating call cannot leave them so

  for (int i = 0; i < 8; ++i)
    block.Output(1)[i] = 0.5f;
  for (int i = 0; i < 7; ++i)
    block.Output(0)[i] = 0.25f;
  block.Output(1)[2] = std::numeric_limits<float>::denorm_min();
  block.Output(1)[3] = std::numeric_limits<float>::infinity();
  block.Output(1)[8] = 0.0f; // one past the block
  const BlockFindings findings = block.Check(8, true);
  EXPECT_EQ(findings.unwritten, 1);
  EXPECT_EQ(findings.subnormal, 1);
  EXPECT_EQ(findings.nonFinite, 1);
  EXPECT_EQ(findings.pastEnd, 1);
  EXPECT_EQ(findings.first, "not written at output 1, frame 7");

  // In place, an output holds its input until written, and only the guard after it is marked.
  block.SetLayout(true, 3);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(block.Output(0)) % 64, 12u);
  EXPECT_EQ(block.Output(0), block.Input(0));
  block.Silence(8, 1.0f);
  block.PrepareOutputs(8);
  EXPECT_TRUE(block.Check(8, true).Clean());
  EXPECT_FLOAT_EQ(block.Peak(8), 1.0f);
  block.Input(1)[8] = 1.0f;
  EXPECT_EQ(block.Check(8, true).pastEnd, 1);
}

// A new and a delete the compiler may not leave out.
static void Boxed() {
  int* boxed = new int(3);
  __asm__ volatile("" : : "r"(boxed) : "memory");
  delete boxed;
}

TEST(DynamicChecks, TheAllocatorCountIsThisThreadsAlone) {
  if (!AllocationCounter::Available())
    GTEST_SKIP() << "the sanitizer owns the allocator";
  AllocationCounter counter;
  auto* kept = static_cast<int*>(std::malloc(64));
  *kept = 1;
  std::thread([] { std::make_unique<int[]>(1000)[0] = 2; }).join();
  const uint64_t afterThread = counter.Calls();
  std::free(kept);
  Boxed();
  counter.Stop();
  // The malloc, then the thread's own start-up as this thread makes it, but none of the
  // thread's allocations; then free, new and delete.
  EXPECT_GE(afterThread, 1u);
  EXPECT_EQ(counter.Calls(), afterThread + 3);
  Boxed();
  EXPECT_EQ(counter.Calls(), afterThread + 3);
}

TEST(DynamicChecks, ResourcesCountDescriptorsAndThreads) {
  const ProcessResources before = ProcessResources::Measure();
  const int descriptor = open("/dev/null", O_RDONLY | O_CLOEXEC);
  std::atomic<bool> stop{false};
  std::thread running([&] {
    while (!stop.load())
      std::this_thread::yield();
  });
  const ProcessResources during = ProcessResources::Measure();
  EXPECT_EQ(during.descriptors, before.descriptors + 1);
  EXPECT_EQ(during.threads, before.threads + 1);
  stop = true;
  running.join();
  close(descriptor);
  const ProcessResources after = ProcessResources::Settled(before.threads);
  EXPECT_EQ(after.descriptors, before.descriptors);
  EXPECT_EQ(after.threads, before.threads);
}
