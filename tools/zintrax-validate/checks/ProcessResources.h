// What the validator's own process holds, to see whether a plug-in gives back what it took:
// heap bytes in use, open file descriptors and threads, and which threads.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
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

// The process's threads by their ids (from /proc/self/task), each with its name.
using ThreadNames = std::map<int, std::string>;
ThreadNames RunningThreads();
// The threads running now that are not among `known`, waiting up to `patience` for them to end.
ThreadNames ThreadsBesides(const ThreadNames& known, std::chrono::milliseconds patience);
// "2 threads (12345 \"worker\", 12346 \"timer\")" for a failure message.
std::string ThreadList(const ThreadNames& threads);

} // namespace zhost::validate
