// What the validator's own process holds, to see whether a plug-in gives back what it took:
// heap bytes in use, open file descriptors and threads.
#pragma once

#include <cstddef>
#include <string>

namespace zhost::validate {

struct ProcessResources {
  size_t heapBytes = 0;
  int descriptors = 0;
  int threads = 0;

  static ProcessResources Measure();
  // Measures until the thread count is back at `threads` or a second has passed: threads a
  // plug-in stops on close may take a moment to end.
  static ProcessResources Settled(int threads);
};

// The open descriptors, one "fd -> target" per line, for a failure message.
std::string DescriptorList();

} // namespace zhost::validate
