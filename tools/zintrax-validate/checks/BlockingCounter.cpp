// The C library's waiting calls, replaced in the executable: each counts itself on the calling
// thread and goes on to the C library's own, found once with dlsym(RTLD_NEXT). The executable
// exports them (Interposed.list), so a plug-in's calls reach them before the C library's.
#undef _FORTIFY_SOURCE

#include "checks/BlockingCounter.h"

#include "checks/Sanitized.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <sys/epoll.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <threads.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <numeric>

// Each entry: the result, the name, the parameters and the arguments passed on. They pass their
// arguments straight on; the variadic ones and syscall are written out below.
#define ZHOST_PLAIN_CALLS(X)                                                                       \
  X(int, pthread_mutex_lock, (pthread_mutex_t * m), (m))                                           \
  X(int, pthread_mutex_timedlock, (pthread_mutex_t * m, const timespec* t), (m, t))                \
  X(int, pthread_mutex_clocklock, (pthread_mutex_t * m, clockid_t c, const timespec* t),           \
    (m, c, t))                                                                                     \
  X(int, pthread_rwlock_rdlock, (pthread_rwlock_t * l), (l))                                       \
  X(int, pthread_rwlock_wrlock, (pthread_rwlock_t * l), (l))                                       \
  X(int, pthread_rwlock_timedrdlock, (pthread_rwlock_t * l, const timespec* t), (l, t))            \
  X(int, pthread_rwlock_timedwrlock, (pthread_rwlock_t * l, const timespec* t), (l, t))            \
  X(int, pthread_rwlock_clockrdlock, (pthread_rwlock_t * l, clockid_t c, const timespec* t),       \
    (l, c, t))                                                                                     \
  X(int, pthread_rwlock_clockwrlock, (pthread_rwlock_t * l, clockid_t c, const timespec* t),       \
    (l, c, t))                                                                                     \
  X(int, pthread_spin_lock, (pthread_spinlock_t * l), (l))                                         \
  X(int, mtx_lock, (mtx_t * m), (m))                                                               \
  X(int, mtx_timedlock, (mtx_t * m, const timespec* t), (m, t))                                    \
  X(int, pthread_cond_wait, (pthread_cond_t * c, pthread_mutex_t * m), (c, m))                     \
  X(int, pthread_cond_timedwait, (pthread_cond_t * c, pthread_mutex_t * m, const timespec* t),     \
    (c, m, t))                                                                                     \
  X(int, pthread_cond_clockwait,                                                                   \
    (pthread_cond_t * c, pthread_mutex_t * m, clockid_t k, const timespec* t), (c, m, k, t))       \
  X(int, cnd_wait, (cnd_t * c, mtx_t * m), (c, m))                                                 \
  X(int, cnd_timedwait, (cnd_t * c, mtx_t * m, const timespec* t), (c, m, t))                      \
  X(int, sem_wait, (sem_t * s), (s))                                                               \
  X(int, sem_timedwait, (sem_t * s, const timespec* t), (s, t))                                    \
  X(int, sem_clockwait, (sem_t * s, clockid_t c, const timespec* t), (s, c, t))                    \
  X(int, pthread_barrier_wait, (pthread_barrier_t * b), (b))                                       \
  X(unsigned, sleep, (unsigned s), (s))                                                            \
  X(int, usleep, (useconds_t u), (u))                                                              \
  X(int, nanosleep, (const timespec* t, timespec* r), (t, r))                                      \
  X(int, clock_nanosleep, (clockid_t c, int f, const timespec* t, timespec* r), (c, f, t, r))      \
  X(int, thrd_sleep, (const timespec* t, timespec* r), (t, r))                                     \
  X(int, sched_yield, (), ())                                                                      \
  X(void, thrd_yield, (), ())                                                                      \
  X(int, pause, (), ())                                                                            \
  X(ssize_t, read, (int f, void* b, size_t n), (f, b, n))                                          \
  X(ssize_t, write, (int f, const void* b, size_t n), (f, b, n))                                   \
  X(ssize_t, pread, (int f, void* b, size_t n, off_t o), (f, b, n, o))                             \
  X(ssize_t, pread64, (int f, void* b, size_t n, off64_t o), (f, b, n, o))                         \
  X(ssize_t, pwrite, (int f, const void* b, size_t n, off_t o), (f, b, n, o))                      \
  X(ssize_t, pwrite64, (int f, const void* b, size_t n, off64_t o), (f, b, n, o))                  \
  X(ssize_t, readv, (int f, const iovec* v, int n), (f, v, n))                                     \
  X(ssize_t, writev, (int f, const iovec* v, int n), (f, v, n))                                    \
  X(ssize_t, preadv, (int f, const iovec* v, int n, off_t o), (f, v, n, o))                        \
  X(ssize_t, pwritev, (int f, const iovec* v, int n, off_t o), (f, v, n, o))                       \
  X(int, creat, (const char* p, mode_t m), (p, m))                                                 \
  X(int, close, (int f), (f))                                                                      \
  X(int, fsync, (int f), (f))                                                                      \
  X(int, fdatasync, (int f), (f))                                                                  \
  X(FILE*, fopen, (const char* p, const char* m), (p, m))                                          \
  X(FILE*, fopen64, (const char* p, const char* m), (p, m))                                        \
  X(int, fclose, (FILE * f), (f))                                                                  \
  X(size_t, fread, (void* b, size_t s, size_t n, FILE* f), (b, s, n, f))                           \
  X(size_t, fwrite, (const void* b, size_t s, size_t n, FILE* f), (b, s, n, f))                    \
  X(char*, fgets, (char* b, int n, FILE* f), (b, n, f))                                            \
  X(int, fputs, (const char* s, FILE* f), (s, f))                                                  \
  X(int, puts, (const char* s), (s))                                                               \
  X(int, fputc, (int c, FILE* f), (c, f))                                                          \
  X(int, putc, (int c, FILE* f), (c, f))                                                           \
  X(int, putchar, (int c), (c))                                                                    \
  X(int, fflush, (FILE * f), (f))                                                                  \
  X(int, vprintf, (const char* m, va_list a), (m, a))                                              \
  X(int, vfprintf, (FILE * f, const char* m, va_list a), (f, m, a))                                \
  X(int, __vprintf_chk, (int l, const char* m, va_list a), (l, m, a))                              \
  X(int, __vfprintf_chk, (FILE * f, int l, const char* m, va_list a), (f, l, m, a))                \
  X(int, poll, (pollfd * p, nfds_t n, int t), (p, n, t))                                           \
  X(int, ppoll, (pollfd * p, nfds_t n, const timespec* t, const sigset_t* s), (p, n, t, s))        \
  X(int, select, (int n, fd_set* r, fd_set* w, fd_set* e, timeval* t), (n, r, w, e, t))            \
  X(int, pselect, (int n, fd_set* r, fd_set* w, fd_set* e, const timespec* t, const sigset_t* s),  \
    (n, r, w, e, t, s))                                                                            \
  X(int, epoll_wait, (int f, epoll_event* e, int n, int t), (f, e, n, t))                          \
  X(int, epoll_pwait, (int f, epoll_event* e, int n, int t, const sigset_t* s), (f, e, n, t, s))   \
  X(int, socket, (int d, int t, int p), (d, t, p))                                                 \
  X(int, connect, (int f, const sockaddr* a, socklen_t l), (f, a, l))                              \
  X(int, accept, (int f, sockaddr* a, socklen_t* l), (f, a, l))                                    \
  X(int, accept4, (int f, sockaddr* a, socklen_t* l, int g), (f, a, l, g))                         \
  X(ssize_t, send, (int f, const void* b, size_t n, int g), (f, b, n, g))                          \
  X(ssize_t, sendto, (int f, const void* b, size_t n, int g, const sockaddr* a, socklen_t l),      \
    (f, b, n, g, a, l))                                                                            \
  X(ssize_t, sendmsg, (int f, const msghdr* m, int g), (f, m, g))                                  \
  X(ssize_t, recv, (int f, void* b, size_t n, int g), (f, b, n, g))                                \
  X(ssize_t, recvfrom, (int f, void* b, size_t n, int g, sockaddr* a, socklen_t* l),               \
    (f, b, n, g, a, l))                                                                            \
  X(ssize_t, recvmsg, (int f, msghdr* m, int g), (f, m, g))                                        \
  X(int, pthread_create, (pthread_t * t, const pthread_attr_t* a, void* (*s)(void*), void* p),     \
    (t, a, s, p))                                                                                  \
  X(int, pthread_join, (pthread_t t, void** r), (t, r))                                            \
  X(int, pthread_timedjoin_np, (pthread_t t, void** r, const timespec* s), (t, r, s))              \
  X(int, pthread_clockjoin_np, (pthread_t t, void** r, clockid_t c, const timespec* s),            \
    (t, r, c, s))                                                                                  \
  X(int, thrd_create, (thrd_t * t, thrd_start_t s, void* p), (t, s, p))                            \
  X(int, thrd_join, (thrd_t t, int* r), (t, r))                                                    \
  X(int, dlclose, (void* l), (l))

// The calls written out by hand; futex stands for syscall(SYS_futex) with a waiting operation.
#define ZHOST_OTHER_CALLS(X)                                                                       \
  X(open)                                                                                          \
  X(open64)                                                                                        \
  X(openat) X(openat64) X(printf) X(fprintf) X(__printf_chk) X(__fprintf_chk) X(dlopen) X(futex)

namespace {

enum Kind : size_t {
#define ZHOST_KIND(result, name, ...) k_##name,
  ZHOST_PLAIN_CALLS(ZHOST_KIND)
#undef ZHOST_KIND
#define ZHOST_KIND(name) k_##name,
      ZHOST_OTHER_CALLS(ZHOST_KIND)
#undef ZHOST_KIND
          kKinds
};
static_assert(kKinds <= zhost::validate::kBlockingKinds);

constexpr const char* kNames[] = {
#define ZHOST_NAME(result, name, ...) #name,
    ZHOST_PLAIN_CALLS(ZHOST_NAME)
#undef ZHOST_NAME
#define ZHOST_NAME(name) #name,
        ZHOST_OTHER_CALLS(ZHOST_NAME)
#undef ZHOST_NAME
};

// Plain thread-locals of the executable: counting neither allocates nor calls anything.
thread_local int tCounting = 0;
thread_local uint64_t tCalls[zhost::validate::kBlockingKinds];

[[maybe_unused]] inline void Count(Kind kind) {
  if (tCounting > 0)
    ++tCalls[kind];
}

#if !defined(ZHOST_SANITIZED)
std::atomic<void*> gNext[kKinds];

// The C library's own function of that name.
template <typename Function> Function Next(Kind kind) {
  void* next = gNext[kind].load(std::memory_order_relaxed);
  if (next == nullptr) {
    next = dlsym(RTLD_NEXT, kind == k_futex ? "syscall" : kNames[kind]);
    gNext[kind].store(next, std::memory_order_relaxed);
  }
  return reinterpret_cast<Function>(next);
}

bool NeedsMode(int flags) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

bool FutexWaits(long operation) {
  switch (operation & FUTEX_CMD_MASK) {
  case FUTEX_WAIT:
  case FUTEX_WAIT_BITSET:
  case FUTEX_LOCK_PI:
  case FUTEX_LOCK_PI2:
  case FUTEX_WAIT_REQUEUE_PI:
    return true;
  default:
    return false;
  }
}
#endif

} // namespace

#if !defined(ZHOST_SANITIZED)
extern "C" {

#define ZHOST_PASS_ON(result, name, parameters, arguments)                                         \
  __attribute__((visibility("default"))) result name parameters {                                  \
    Count(k_##name);                                                                               \
    return Next<result(*) parameters>(k_##name) arguments;                                         \
  }
ZHOST_PLAIN_CALLS(ZHOST_PASS_ON)
#undef ZHOST_PASS_ON

__attribute__((visibility("default"))) int open(const char* path, int flags, ...) {
  Count(k_open);
  va_list rest;
  va_start(rest, flags);
  const unsigned mode = NeedsMode(flags) ? va_arg(rest, unsigned) : 0;
  va_end(rest);
  return Next<int (*)(const char*, int, ...)>(k_open)(path, flags, mode);
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...) {
  Count(k_open64);
  va_list rest;
  va_start(rest, flags);
  const unsigned mode = NeedsMode(flags) ? va_arg(rest, unsigned) : 0;
  va_end(rest);
  return Next<int (*)(const char*, int, ...)>(k_open64)(path, flags, mode);
}

__attribute__((visibility("default"))) int openat(int directory, const char* path, int flags, ...) {
  Count(k_openat);
  va_list rest;
  va_start(rest, flags);
  const unsigned mode = NeedsMode(flags) ? va_arg(rest, unsigned) : 0;
  va_end(rest);
  return Next<int (*)(int, const char*, int, ...)>(k_openat)(directory, path, flags, mode);
}

__attribute__((visibility("default"))) int openat64(int directory, const char* path, int flags,
                                                    ...) {
  Count(k_openat64);
  va_list rest;
  va_start(rest, flags);
  const unsigned mode = NeedsMode(flags) ? va_arg(rest, unsigned) : 0;
  va_end(rest);
  return Next<int (*)(int, const char*, int, ...)>(k_openat64)(directory, path, flags, mode);
}

__attribute__((visibility("default"))) int printf(const char* format, ...) {
  Count(k_printf);
  va_list rest;
  va_start(rest, format);
  const int written = Next<int (*)(const char*, va_list)>(k_vprintf)(format, rest);
  va_end(rest);
  return written;
}

__attribute__((visibility("default"))) int fprintf(FILE* file, const char* format, ...) {
  Count(k_fprintf);
  va_list rest;
  va_start(rest, format);
  const int written = Next<int (*)(FILE*, const char*, va_list)>(k_vfprintf)(file, format, rest);
  va_end(rest);
  return written;
}

__attribute__((visibility("default"))) int __printf_chk(int level, const char* format, ...) {
  Count(k___printf_chk);
  va_list rest;
  va_start(rest, format);
  const int written =
      Next<int (*)(int, const char*, va_list)>(k___vprintf_chk)(level, format, rest);
  va_end(rest);
  return written;
}

__attribute__((visibility("default"))) int __fprintf_chk(FILE* file, int level, const char* format,
                                                         ...) {
  Count(k___fprintf_chk);
  va_list rest;
  va_start(rest, format);
  const int written =
      Next<int (*)(FILE*, int, const char*, va_list)>(k___vfprintf_chk)(file, level, format, rest);
  va_end(rest);
  return written;
}

__attribute__((visibility("default"))) long syscall(long number, ...) {
  va_list rest;
  va_start(rest, number);
  long arguments[6];
  for (long& argument : arguments)
    argument = va_arg(rest, long);
  va_end(rest);
  if ((number == SYS_futex && FutexWaits(arguments[1])) || number == SYS_futex_waitv)
    Count(k_futex);
  return Next<long (*)(long, ...)>(k_futex)(number, arguments[0], arguments[1], arguments[2],
                                            arguments[3], arguments[4], arguments[5]);
}

// Counts a dlopen and answers the C library's. dlopen reads its caller's return address to
// choose where it searches (the caller's RUNPATH, $ORIGIN), so the replacement jumps on to the
// real one with the plug-in's return address still in place.
__attribute__((used)) void* ZhostNextDlopen() {
  Count(k_dlopen);
  return Next<void*>(k_dlopen);
}

} // extern "C"

#if defined(__x86_64__)
__asm__(".text\n"
        ".globl dlopen\n"
        ".type dlopen, @function\n"
        "dlopen:\n"
        "  endbr64\n"
        "  push %rdi\n"
        "  push %rsi\n"
        "  sub $8, %rsp\n"
        "  call ZhostNextDlopen\n"
        "  add $8, %rsp\n"
        "  pop %rsi\n"
        "  pop %rdi\n"
        "  jmp *%rax\n"
        ".size dlopen, .-dlopen\n");
#else
// Elsewhere the replacement counts on the compiler turning the call into a jump, as optimised
// builds do; where it does not, a bare name is looked for from the executable's RUNPATH instead
// of the plug-in's.
extern "C" __attribute__((visibility("default"))) void* dlopen(const char* file, int mode) {
  return reinterpret_cast<void* (*)(const char*, int)>(ZhostNextDlopen())(file, mode);
}
#endif
#endif

namespace zhost::validate {

bool BlockingCounter::Available() {
#if defined(ZHOST_SANITIZED)
  return false;
#else
  return true;
#endif
}

BlockingCounter::BlockingCounter() {
  std::copy(std::begin(tCalls), std::end(tCalls), FCounts);
  ++tCounting;
}

void BlockingCounter::Stop() {
  if (!FRunning)
    return;
  for (size_t kind = 0; kind < kBlockingKinds; ++kind)
    FCounts[kind] = tCalls[kind] - FCounts[kind];
  FRunning = false;
  --tCounting;
}

uint64_t BlockingCounter::Calls(size_t kind) const {
  if (kind >= kBlockingKinds)
    return 0;
  return FRunning ? tCalls[kind] - FCounts[kind] : FCounts[kind];
}

void BlockingTally::Add(const BlockingCounter& counter) {
  for (size_t kind = 0; kind < kBlockingKinds; ++kind)
    FCounts[kind] += counter.Calls(kind);
}

uint64_t BlockingTally::Total() const {
  return std::accumulate(std::begin(FCounts), std::end(FCounts), uint64_t{0});
}

std::string BlockingTally::Describe() const {
  size_t order[kKinds];
  std::iota(std::begin(order), std::end(order), size_t{0});
  std::stable_sort(std::begin(order), std::end(order),
                   [&](size_t a, size_t b) { return FCounts[a] > FCounts[b]; });
  std::string text;
  for (const size_t kind : order)
    if (FCounts[kind] > 0)
      text += (text.empty() ? "" : ", ") + std::to_string(FCounts[kind]) + " " +
              (kind == k_futex ? "futex waits (syscall)" : kNames[kind]);
  return text;
}

} // namespace zhost::validate
