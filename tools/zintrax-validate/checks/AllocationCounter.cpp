#include "checks/AllocationCounter.h"

#include "checks/Sanitized.h"

#include <cerrno>
#include <cstddef>

namespace {
// Plain thread-locals of the executable: reading them neither allocates nor calls anything.
thread_local int tCounting = 0;
thread_local uint64_t tCalls = 0;

inline void Count() {
  if (tCounting > 0)
    ++tCalls;
}
} // namespace

#if !defined(ZHOST_SANITIZED)
// glibc's own allocator under the names it keeps for those who replace the public ones.
extern "C" {
void* __libc_malloc(size_t size);
void __libc_free(void* pointer);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);

void* malloc(size_t size) {
  Count();
  return __libc_malloc(size);
}
void free(void* pointer) {
  if (pointer)
    Count();
  __libc_free(pointer);
}
void* calloc(size_t count, size_t size) {
  Count();
  return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
  Count();
  return __libc_realloc(pointer, size);
}
void* memalign(size_t alignment, size_t size) {
  Count();
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
  Count();
  return __libc_memalign(alignment, size);
}
void* valloc(size_t size) {
  Count();
  return __libc_valloc(size);
}
void* pvalloc(size_t size) {
  Count();
  return __libc_pvalloc(size);
}
int posix_memalign(void** result, size_t alignment, size_t size) {
  Count();
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
    return EINVAL;
  void* memory = __libc_memalign(alignment, size);
  if (!memory)
    return ENOMEM;
  *result = memory;
  return 0;
}
}
#endif

namespace zhost::validate {

bool AllocationCounter::Available() {
#if defined(ZHOST_SANITIZED)
  return false;
#else
  return true;
#endif
}

AllocationCounter::AllocationCounter() : FStart(tCalls) {
  ++tCounting;
}

void AllocationCounter::Stop() {
  if (!FRunning)
    return;
  FStopped = tCalls - FStart;
  FRunning = false;
  --tCounting;
}

uint64_t AllocationCounter::Calls() const {
  return FRunning ? tCalls - FStart : FStopped;
}

} // namespace zhost::validate
