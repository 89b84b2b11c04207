#include "checks/SmallStack.h"

#include "checks/ForbiddenPages.h"
#include "hosting/Errors.h"

#include <pthread.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace zhost::validate {

namespace {

constexpr std::size_t kStack = 512 * 1024;
// Below the stack, forbidden: a frame larger than this lands beyond the watch.
constexpr std::size_t kBelow = 16 * 1024 * 1024;
constexpr unsigned char kPaint = 0xa5;

struct Run {
  const std::function<void()>* work;
  unsigned char* bottom;
  std::size_t used = 0;
};

void* Thread(void* argument) {
  Run& run = *static_cast<Run*>(argument);
  HandleFaultsOnThisThread();
  // Everything below this frame, less a margin for the calls that paint, is still unused.
  const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  const uintptr_t bottom = reinterpret_cast<uintptr_t>(run.bottom);
  const std::size_t unused = here - 1024 - bottom;
  std::memset(run.bottom, kPaint, unused);
  (*run.work)();
  std::size_t untouched = 0;
  while (untouched < unused && run.bottom[untouched] == kPaint)
    ++untouched;
  run.used = here - bottom - untouched;
  return nullptr;
}

} // namespace

void CheckSmallStack(Context& context, const std::function<void()>& work) {
  const std::size_t bytes = kBelow + kStack;
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED)
    throw HostError(std::string("cannot map a thread's stack: ") + std::strerror(errno));
  auto* region = static_cast<unsigned char*>(memory);
  mprotect(region, kBelow, PROT_NONE);
  ForbidPages(region, kBelow, "used more than 512 KiB of the audio thread's stack", false);
  Run run{&work, region + kBelow};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstack(&attributes, region + kBelow, kStack);
  pthread_t thread;
  const int made = pthread_create(&thread, &attributes, Thread, &run);
  pthread_attr_destroy(&attributes);
  if (made != 0)
    throw HostError(std::string("cannot start an audio thread: ") + std::strerror(made));
  pthread_join(thread, nullptr);
  AllowPages(region, kBelow);
  munmap(region, bytes);
  context.Note("stack", "the audio calls reached " + std::to_string((run.used + 1023) / 1024) +
                            " KiB deep into the audio thread's 512 KiB");
}

} // namespace zhost::validate
