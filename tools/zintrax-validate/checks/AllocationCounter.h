// Counting the allocator's calls (malloc, calloc, realloc, free, the aligned kinds, and with them
// operator new and delete, which go through malloc) that one thread makes while a counter is
// alive on it. The validator replaces the C allocator's entry points for the whole process, so
// the count includes the calls of a plug-in and of the libraries it uses.
#pragma once

#include <cstdint>

namespace zhost::validate {

class AllocationCounter {
public:
  // False in builds whose sanitizer owns the allocator; nothing is counted then.
  static bool Available();

  // Counts from here on this thread, until destroyed or Stop.
  AllocationCounter();
  ~AllocationCounter() { Stop(); }
  AllocationCounter(const AllocationCounter&) = delete;
  AllocationCounter& operator=(const AllocationCounter&) = delete;

  void Stop();
  // The calls counted so far.
  uint64_t Calls() const;

private:
  uint64_t FStart;
  bool FRunning = true;
  uint64_t FStopped = 0;
};

} // namespace zhost::validate
