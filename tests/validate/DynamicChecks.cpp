// The checks under the validator's dynamic tests, on buffers and resources this test sets up
// itself: what a block of output held, the allocator's and the waiting calls counted per thread,
// the process's descriptors and threads, and every item of the process's state a plug-in must
// leave alone.
#include "checks/AllocationCounter.h"
#include "checks/AudioBlock.h"
#include "checks/BlockingCounter.h"
#include "checks/FloatingPointState.h"
#include "checks/ProcessResources.h"
#include "checks/ProcessState.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
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

TEST(DynamicChecks, WaitingCallsAreCountedOnTheirOwnThreadButTriesAndWakesAreNot) {
  if (!BlockingCounter::Available())
    GTEST_SKIP() << "the sanitizer intercepts these calls";
  std::mutex mutex;
  sem_t semaphore;
  sem_init(&semaphore, 0, 0);
  const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  std::atomic<int> word{0};
  BlockingCounter counter;
  ASSERT_TRUE(mutex.try_lock());
  mutex.unlock();
  sem_post(&semaphore);
  syscall(SYS_futex, &word, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
  std::thread([&] { const std::lock_guard<std::mutex> other(mutex); }).join();
  { const std::lock_guard<std::mutex> guard(mutex); }
  sem_wait(&semaphore);
  std::this_thread::yield();
  EXPECT_EQ(write(devNull, "x", 1), 1);
  // The word is not 1: the call answers at once, but it is a wait all the same.
  syscall(SYS_futex, &word, FUTEX_WAIT_PRIVATE, 1, nullptr, nullptr, 0);
  counter.Stop();
  fsync(devNull);
  BlockingTally tally;
  tally.Add(counter);
  EXPECT_EQ(tally.Describe(), "1 pthread_mutex_lock, 1 sem_wait, 1 sched_yield, 1 write, "
                              "1 pthread_create, 1 pthread_join, 1 futex waits (syscall)");
  EXPECT_EQ(tally.Total(), 7u);
  close(devNull);
  sem_destroy(&semaphore);
}

TEST(DynamicChecks, ALibraryLoadingItsNeighbourByNameStillFindsIt) {
  void* loader = dlopen(LOADS_BESIDE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(loader, nullptr) << dlerror();
  using LoadBeside = void* (*)(const char*);
  const auto load = reinterpret_cast<LoadBeside>(dlsym(loader, "LoadBeside"));
  ASSERT_NE(load, nullptr);
  BlockingCounter counter;
  void* beside = load(BESIDE_NAME);
  counter.Stop();
  EXPECT_NE(beside, nullptr) << dlerror();
  BlockingTally tally;
  tally.Add(counter);
  if (BlockingCounter::Available()) {
    EXPECT_EQ(tally.Describe(), "1 dlopen");
  }
  if (beside)
    dlclose(beside);
  dlclose(loader);
}

TEST(DynamicChecks, ThreadsBesidesTheKnownOnesAreNamed) {
  const ThreadNames known = RunningThreads();
  EXPECT_TRUE(ThreadsBesides(known, std::chrono::milliseconds(0)).empty());
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    pthread_setname_np(pthread_self(), "probe");
    while (!stop.load())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const ThreadNames besides = ThreadsBesides(known, std::chrono::milliseconds(0));
  ASSERT_EQ(besides.size(), 1u);
  EXPECT_EQ(besides.begin()->second, "probe");
  EXPECT_EQ(ThreadList(besides),
            "1 thread (" + std::to_string(besides.begin()->first) + " \"probe\")");
  stop = true;
  worker.join();
  EXPECT_TRUE(ThreadsBesides(known, std::chrono::seconds(1)).empty());
}

int IgnoreXError(Display*, XErrorEvent*) {
  return 0;
}

TEST(DynamicChecks, TheProcessStateNamesEveryItemThatChanged) {
  using testing::HasSubstr;
  const ProcessState before = ProcessState::Capture();
  EXPECT_TRUE(Changes(before, ProcessState::Capture()).empty());

  const std::string time = std::setlocale(LC_TIME, nullptr);
  std::setlocale(LC_TIME, time == "C.UTF-8" ? "C" : "C.UTF-8");
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGUSR2, &ignore, &previous);
  sigset_t usr1, mask;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &usr1, &mask);
  const std::filesystem::path directory = std::filesystem::current_path();
  std::filesystem::current_path(directory == "/" ? "/tmp" : "/");
  const mode_t creation = umask(0);
  umask(creation == 0077 ? 0022 : 0077);
  setenv("ZINTRAX_STATE_PROBE", "1", 1);
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  rlimit fewer = files;
  fewer.rlim_cur = files.rlim_cur - 1;
  setrlimit(RLIMIT_NOFILE, &fewer);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const int input = dup(STDIN_FILENO);
  dup2(ends[0], STDIN_FILENO);
  const FloatingPointState floating = FloatingPointState::Read();
  FloatingPointState flushing = floating;
  flushing.mxcsr |= kMxcsrFlushBits;
  flushing.Write();
  const XErrorHandler handler = XSetErrorHandler(IgnoreXError);

  const std::vector<std::string> changes = Changes(before, ProcessState::Capture());

  XSetErrorHandler(handler);
  floating.Write();
  dup2(input, STDIN_FILENO);
  close(input);
  close(ends[0]);
  close(ends[1]);
  setrlimit(RLIMIT_NOFILE, &files);
  unsetenv("ZINTRAX_STATE_PROBE");
  umask(creation);
  std::filesystem::current_path(directory);
  pthread_sigmask(SIG_SETMASK, &mask, nullptr);
  sigaction(SIGUSR2, &previous, nullptr);
  std::setlocale(LC_TIME, time.c_str());

  std::string all;
  for (const std::string& change : changes)
    all += change + "\n";
  EXPECT_THAT(all, HasSubstr("the locale's LC_TIME: \"" + time + "\" -> "));
  EXPECT_THAT(all, HasSubstr("the disposition of SIGUSR2: SIG_DFL -> SIG_IGN\n"));
  EXPECT_THAT(all, HasSubstr("the calling thread's signal mask: {} -> {SIGUSR1}\n"));
  EXPECT_THAT(all, HasSubstr("the working directory: \"" + directory.string() + "\" -> "));
  EXPECT_THAT(all, HasSubstr("the file-creation mask: "));
  EXPECT_THAT(all, HasSubstr("the environment variable ZINTRAX_STATE_PROBE: unset -> \"1\"\n"));
  EXPECT_THAT(all, HasSubstr("the resource limit RLIMIT_NOFILE: soft "));
  EXPECT_THAT(all, HasSubstr("where standard input leads: "));
  if (kHasFloatingPointState) {
    EXPECT_THAT(all, HasSubstr("the floating-point control state: MXCSR 1F80"));
  }
  EXPECT_THAT(all, HasSubstr("Xlib's error handler: "));
  EXPECT_EQ(changes.size(), kHasFloatingPointState ? 10u : 9u) << all;
  EXPECT_EQ(Changes(before, ProcessState::Capture()), std::vector<std::string>{});
}
