#include "checks/LifecycleChecks.h"

#include "checks/ProcessResources.h"
#include "hosting/PluginFormat.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>

namespace zhost::validate {

int LifeCount(const Context& context) {
  return context.Strictness() >= 10 ? 1000 : context.Strictness() >= 5 ? 200 : 50;
}

void CheckLives(Context& context, const std::vector<std::pair<const char*, Life>>& lives, int count,
                const char* closeCall) {
  for (const auto& [name, life] : lives)
    for (int i = 0; i < 3; ++i)
      life(context);
  const ProcessResources before = ProcessResources::Measure();
  // A plug-in that takes long to come up (one that loads large data per instance) gets fewer
  // instances instead of a hang.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (int i = 0; i < count; ++i) {
    if (std::chrono::steady_clock::now() > until) {
      context.Note("instances", "stopped after " + std::to_string(i) + " of " +
                                    std::to_string(count) + ": 60 s had passed");
      count = i;
      break;
    }
    const auto& [name, life] = lives[static_cast<size_t>(i) % lives.size()];
    context.Step("instance %d of %d: %s", i + 1, count, name);
    life(context);
  }
  const ProcessResources after = ProcessResources::Settled(before.threads);
  const std::string counted = " after " + std::to_string(count) + " instances";
  const size_t grown = after.heapBytes > before.heapBytes ? after.heapBytes - before.heapBytes : 0;
  context.Note("heap growth", std::to_string(grown) + " bytes" + counted);
  if (grown > std::max<size_t>(16384, 32 * static_cast<size_t>(count)))
    context.Fail("the heap grew by " + std::to_string(grown) + " bytes" + counted +
                 " (memory an instance took is not given back on " + closeCall + ")");
  if (after.descriptors != before.descriptors)
    context.Fail(std::to_string(before.descriptors) + " file descriptors open before and " +
                 std::to_string(after.descriptors) + counted + ": " + DescriptorList());
  if (after.threads != before.threads)
    context.Fail(std::to_string(before.threads) + " threads before and " +
                 std::to_string(after.threads) + counted);
}

LibraryHold Dlopened(const std::string& libraryPath) {
  return [libraryPath]() -> std::shared_ptr<void> {
    void* library = dlopen(LibraryLoadPath(libraryPath).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
      return nullptr;
    return std::shared_ptr<void>(library, [](void* handle) { dlclose(handle); });
  };
}

void CheckThreadsAfterClose(Context& context, const LibraryHold& hold, const ThreadedLife& life,
                            const char* closeCall) {
  constexpr std::chrono::seconds kPatience(2);
  const ThreadNames before = RunningThreads();
  // Held throughout, so that what the library starts when it is loaded is told apart.
  std::shared_ptr<void> library = hold();
  const ThreadNames loaded = RunningThreads();
  ThreadNames during; // the most threads an instance had running at once
  const auto seen = [&] {
    ThreadNames now = ThreadsBesides(loaded, std::chrono::milliseconds(0));
    if (now.size() > during.size())
      during = std::move(now);
  };
  for (int number = 1; number <= 2 && context.Failures() == 0; ++number) {
    life(context, number, seen);
    const ThreadNames left = ThreadsBesides(loaded, kPatience);
    if (!left.empty())
      context.Fail(ThreadList(left) + " that instance " + std::to_string(number) +
                   " started still running 2 s after its " + closeCall);
  }
  const ThreadNames atLoad = ThreadsBesides(before, std::chrono::milliseconds(0));
  context.Note("threads", "the library started " + (atLoad.empty() ? "none" : ThreadList(atLoad)) +
                              " when loaded; an instance " +
                              (during.empty() ? "none" : "at most " + ThreadList(during)) +
                              " while it ran");
  if (library == nullptr)
    return;
  context.Step("unloading the library");
  library.reset();
  const ThreadNames stayed = ThreadsBesides(before, kPatience);
  if (!stayed.empty() && context.Failures() == 0)
    context.Fail(ThreadList(stayed) + " that the library started still running 2 s after it " +
                 "was unloaded");
}

} // namespace zhost::validate
