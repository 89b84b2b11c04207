// Counting the calls that can make a thread wait, which one thread makes while a counter is alive
// on it: taking a mutex, a read-write lock or a spin lock, waiting on a condition, a semaphore, a
// barrier or a futex, sleeping or yielding, file, pipe and socket I/O (stdio included), creating
// or joining a thread, loading or unloading a library. The validator replaces these entry points
// of the C library for the whole process, so the count includes the calls of a plug-in and of
// the libraries it uses. Calls that only try (a try-lock, sem_trywait) or only wake others
// (sem_post, a condition's signal, a futex wake) are not counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zhost::validate {

// Room for every kind of call counted.
inline constexpr size_t kBlockingKinds = 96;

class BlockingCounter {
public:
  // False in builds whose sanitizer intercepts these calls itself; nothing is counted then.
  static bool Available();

  // Counts from here on this thread, until destroyed or Stop.
  BlockingCounter();
  ~BlockingCounter() { Stop(); }
  BlockingCounter(const BlockingCounter&) = delete;
  BlockingCounter& operator=(const BlockingCounter&) = delete;

  void Stop();
  // The calls of one kind counted so far.
  uint64_t Calls(size_t kind) const;

private:
  uint64_t FCounts[kBlockingKinds]; // while running: the thread's totals at the start
  bool FRunning = true;
};

// What counted stretches made together, kind by kind.
class BlockingTally {
public:
  void Add(const BlockingCounter& counter);
  uint64_t Total() const;
  // "2000 pthread_mutex_lock, 3 write": the functions called, the most called first.
  std::string Describe() const;

private:
  uint64_t FCounts[kBlockingKinds] = {};
};

} // namespace zhost::validate
