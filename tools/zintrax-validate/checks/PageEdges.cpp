#include "checks/PageEdges.h"

#include "core/Runner.h"
#include "hosting/Errors.h"

#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace zhost::validate {

namespace {

// The forbidden pages of the blocks alive, for the signal handler: a fixed table, so that the
// handler only reads memory.
struct Forbidden {
  const char* begin;
  const char* end;
  char name[48]; // "the page after input 1"
};
constexpr int kMostPages = 256;
Forbidden gPages[kMostPages];
volatile sig_atomic_t gPageCount = 0;
struct sigaction gPrevious[2];

std::size_t PageSize() {
  static const std::size_t size = std::size_t(sysconf(_SC_PAGESIZE));
  return size;
}

#if defined(__x86_64__)
// Bit 1 of the page fault's error code: the access was a write.
bool Wrote(void* context) {
  return (static_cast<ucontext_t*>(context)->uc_mcontext.gregs[REG_ERR] & 2) != 0;
}
#endif

void OnFault(int signal, siginfo_t* info, [[maybe_unused]] void* context) {
  const char* address = static_cast<const char*>(info->si_addr);
  for (int i = 0; i < gPageCount; ++i) {
    if (address < gPages[i].begin || address >= gPages[i].end)
      continue;
    char what[96] = {};
#if defined(__x86_64__)
    std::strncat(what, Wrote(context) ? "wrote " : "read ", sizeof what - 1);
#else
    std::strncat(what, "touched ", sizeof what - 1);
#endif
    std::strncat(what, gPages[i].name, sizeof what - std::strlen(what) - 1);
    EndTestFromSignal(what);
  }
  // Not one of ours: the crash it is.
  sigaction(signal, &gPrevious[signal == SIGBUS ? 1 : 0], nullptr);
}

void InstallHandler() {
  static bool installed = false;
  if (installed)
    return;
  installed = true;
  static char alternate[64 * 1024];
  stack_t stack{};
  stack.ss_sp = alternate;
  stack.ss_size = sizeof alternate;
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  sigaction(SIGSEGV, &action, &gPrevious[0]);
  sigaction(SIGBUS, &action, &gPrevious[1]);
}

void AddPage(const char* begin, const std::string& name) {
  if (gPageCount >= kMostPages)
    return;
  Forbidden& page = gPages[gPageCount];
  page.begin = begin;
  page.end = begin + PageSize();
  std::snprintf(page.name, sizeof page.name, "%s", name.c_str());
  gPageCount = gPageCount + 1;
}

void RemovePages(const char* regionBegin, const char* regionEnd) {
  int kept = 0;
  for (int i = 0; i < gPageCount; ++i)
    if (gPages[i].begin < regionBegin || gPages[i].begin >= regionEnd)
      gPages[kept++] = gPages[i];
  gPageCount = kept;
}

} // namespace

EdgeBlock::EdgeBlock(int32_t inputs, int32_t outputs, int32_t capacity) {
  InstallHandler();
  const std::size_t page = PageSize();
  const std::size_t room = (std::size_t(std::max(capacity, 1)) * sizeof(float) + page - 1) / page;
  FRegionBytes = (room + 2) * page;
  for (int32_t c = 0; c < inputs + outputs; ++c) {
    void* memory =
        mmap(nullptr, FRegionBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
      throw HostError(std::string("cannot map audio buffers: ") + std::strerror(errno));
    Channel channel;
    channel.region = static_cast<char*>(memory);
    channel.room = reinterpret_cast<float*>(channel.region + page);
    channel.roomEnd = reinterpret_cast<float*>(channel.region + FRegionBytes - page);
    mprotect(channel.region, page, PROT_NONE);
    mprotect(channel.region + FRegionBytes - page, page, PROT_NONE);
    const std::string name =
        c < inputs ? "input " + std::to_string(c + 1) : "output " + std::to_string(c - inputs + 1);
    AddPage(channel.region, "the page before " + name);
    AddPage(channel.region + FRegionBytes - page, "the page after " + name);
    FChannels.push_back(channel);
  }
  FInputs.resize(std::size_t(inputs));
  FOutputs.resize(std::size_t(outputs));
}

EdgeBlock::~EdgeBlock() {
  for (const Channel& channel : FChannels) {
    RemovePages(channel.region, channel.region + FRegionBytes);
    munmap(channel.region, FRegionBytes);
  }
}

void EdgeBlock::Place(PageEdge edge, int32_t frames, std::mt19937& random) {
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  for (std::size_t c = 0; c < FChannels.size(); ++c) {
    const Channel& channel = FChannels[c];
    float* start = edge == PageEdge::After ? channel.roomEnd - frames : channel.room;
    const bool input = c < FInputs.size();
    for (int32_t n = 0; n < frames; ++n)
      start[n] = input ? noise(random) : 0.0f;
    (input ? FInputs[c] : FOutputs[c - FInputs.size()]) = start;
  }
}

void CheckPageEdges(Context& context, const char* call, int32_t inputs, int32_t outputs,
                    int32_t capacity,
                    const std::function<void(EdgeBlock& block, int32_t frames)>& process) {
  EdgeBlock block(inputs, outputs, capacity);
  const int32_t lengths[] = {1, 2, 3, 5, 7, 15, 33, 64, 100, 255, capacity - 1, capacity};
  for (const PageEdge edge : {PageEdge::After, PageEdge::Before})
    for (const int32_t frames : lengths) {
      if (frames < 1 || frames > capacity)
        continue;
      block.Place(edge, frames, context.Random());
      context.Step("%s of %d frames, each buffer %s", call, frames,
                   edge == PageEdge::After ? "ending where a forbidden page begins"
                                           : "starting where a forbidden page ends");
      process(block, frames);
    }
}

} // namespace zhost::validate
