#include "checks/ProcessResources.h"

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>

namespace zhost::validate {

namespace {

int Entries(const char* folder) {
  std::error_code error;
  int count = 0;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error))
    ++count;
  return count;
}

} // namespace

ProcessResources ProcessResources::Measure() {
  const struct mallinfo2 heap = mallinfo2();
  // The listing's own descriptor is open while the folder is read.
  return {heap.uordblks + heap.hblkhd, Entries("/proc/self/fd") - 1, Entries("/proc/self/task")};
}

ProcessResources ProcessResources::Settled(int threads) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  ProcessResources now = Measure();
  while (now.threads > threads && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    now = Measure();
  }
  return now;
}

std::string DescriptorList() {
  std::string list;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
       it.increment(error)) {
    std::error_code linkError;
    const std::filesystem::path target = std::filesystem::read_symlink(it->path(), linkError);
    list += (list.empty() ? "" : ", ") + it->path().filename().string() + " -> " +
            (linkError ? std::string("?") : target.string());
  }
  return list;
}

ThreadNames RunningThreads() {
  ThreadNames threads;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
       it.increment(error)) {
    std::string name;
    std::getline(std::ifstream(it->path() / "comm"), name);
    threads.emplace(std::atoi(it->path().filename().c_str()), name);
  }
  return threads;
}

ThreadNames ThreadsBesides(const ThreadNames& known, std::chrono::milliseconds patience) {
  const auto until = std::chrono::steady_clock::now() + patience;
  for (;;) {
    ThreadNames others;
    for (auto& [id, name] : RunningThreads())
      if (known.count(id) == 0)
        others.emplace(id, std::move(name));
    if (others.empty() || std::chrono::steady_clock::now() >= until)
      return others;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string ThreadList(const ThreadNames& threads) {
  std::string list;
  for (const auto& [id, name] : threads)
    list.append(list.empty() ? "" : ", ")
        .append(std::to_string(id))
        .append(" \"")
        .append(name)
        .append("\"");
  return std::to_string(threads.size()) + (threads.size() == 1 ? " thread (" : " threads (") +
         list + ")";
}

} // namespace zhost::validate
