#include "checks/ForbiddenPages.h"

#include "core/Runner.h"

#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>

namespace zhost::validate {

namespace {

// A fixed table, so that the handler only reads memory.
struct Forbidden {
  const char* begin;
  const char* end;
  bool withAccess;
  char what[80];
};
constexpr int kMostRanges = 256;
Forbidden gRanges[kMostRanges];
volatile sig_atomic_t gCount = 0;
std::mutex gChanging;
struct sigaction gPrevious[2];

#if defined(__x86_64__)
// Bit 1 of the page fault's error code: the access was a write.
const char* Access(void* context) {
  return (static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_ERR] & 2) ? "wrote " : "read ";
}
#else
const char* Access(void*) {
  return "touched ";
}
#endif

void OnFault(int signal, siginfo_t* info, void* context) {
  const char* address = static_cast<const char*>(info->si_addr);
  for (int i = 0; i < gCount; ++i) {
    const Forbidden& range = gRanges[i];
    if (address < range.begin || address >= range.end)
      continue;
    char what[sizeof range.what + 16] = {};
    if (range.withAccess)
      std::strncat(what, Access(context), sizeof what - 1);
    std::strncat(what, range.what, sizeof what - std::strlen(what) - 1);
    EndTestFromSignal(what);
  }
  // Not a page of ours: the crash it is, as it would have been.
  sigaction(signal, &gPrevious[signal == SIGBUS ? 1 : 0], nullptr);
}

void InstallHandler() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction action {};
    action.sa_sigaction = OnFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, &gPrevious[0]);
    sigaction(SIGBUS, &action, &gPrevious[1]);
  });
}

} // namespace

std::size_t PageSize() {
  static const std::size_t size = std::size_t(sysconf(_SC_PAGESIZE));
  return size;
}

void HandleFaultsOnThisThread() {
  thread_local char alternate[64 * 1024];
  stack_t stack{};
  stack.ss_sp = alternate;
  stack.ss_size = sizeof alternate;
  sigaltstack(&stack, nullptr);
  InstallHandler();
}

void ForbidPages(const void* begin, std::size_t bytes, const std::string& what, bool withAccess) {
  HandleFaultsOnThisThread();
  const std::lock_guard<std::mutex> lock(gChanging);
  if (gCount >= kMostRanges)
    return;
  Forbidden& range = gRanges[gCount];
  range.begin = static_cast<const char*>(begin);
  range.end = range.begin + bytes;
  range.withAccess = withAccess;
  std::snprintf(range.what, sizeof range.what, "%s", what.c_str());
  gCount = gCount + 1;
}

void AllowPages(const void* begin, std::size_t bytes) {
  const std::lock_guard<std::mutex> lock(gChanging);
  const char* from = static_cast<const char*>(begin);
  int kept = 0;
  for (int i = 0; i < gCount; ++i)
    if (gRanges[i].begin < from || gRanges[i].begin >= from + bytes)
      gRanges[kept++] = gRanges[i];
  gCount = kept;
}

} // namespace zhost::validate
