#include "checks/ProcessState.h"

#include "checks/FloatingPointState.h"
#include "checks/XErrors.h"

#include <X11/Xlib.h>
#include <dlfcn.h>
#include <locale.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

extern char** environ;

namespace zhost::validate {

namespace {

using Items = std::map<std::string, std::string>;

std::string Quoted(const char* text) {
  if (!text)
    return "none";
  std::string quoted(1, '"');
  return quoted.append(text).append(1, '"');
}

std::string Hex(unsigned long long value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", value);
  return text;
}

// A function pointer as the library it lies in and its address in there, so that a handler reads
// as whose it is.
std::string CodeAddress(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr)
    return "code at " + Hex(reinterpret_cast<uintptr_t>(address)) + " in no loaded library";
  const std::string file = std::filesystem::path(info.dli_fname).filename().string();
  return (info.dli_sname ? std::string(info.dli_sname) : "code") + " in " + file + " (" +
         Hex(reinterpret_cast<uintptr_t>(address)) + ")";
}

void Locales(Items& items) {
  static constexpr std::pair<int, const char*> kCategories[] = {
      {LC_CTYPE, "LC_CTYPE"},
      {LC_NUMERIC, "LC_NUMERIC"},
      {LC_TIME, "LC_TIME"},
      {LC_COLLATE, "LC_COLLATE"},
      {LC_MONETARY, "LC_MONETARY"},
      {LC_MESSAGES, "LC_MESSAGES"},
      {LC_PAPER, "LC_PAPER"},
      {LC_NAME, "LC_NAME"},
      {LC_ADDRESS, "LC_ADDRESS"},
      {LC_TELEPHONE, "LC_TELEPHONE"},
      {LC_MEASUREMENT, "LC_MEASUREMENT"},
      {LC_IDENTIFICATION, "LC_IDENTIFICATION"}};
  for (const auto& [category, name] : kCategories)
    items[std::string("the locale's ") + name] = Quoted(setlocale(category, nullptr));
  const locale_t own = uselocale(static_cast<locale_t>(0));
  items["the calling thread's locale (uselocale)"] =
      own == LC_GLOBAL_LOCALE ? "the global one"
                              : "one of its own (" + Hex(reinterpret_cast<uintptr_t>(own)) + ")";
}

std::string SignalName(int signal) {
  if (const char* abbreviation = sigabbrev_np(signal))
    return std::string("SIG") + abbreviation;
  if (signal >= SIGRTMIN && signal <= SIGRTMAX)
    return "SIGRTMIN+" + std::to_string(signal - SIGRTMIN);
  return "signal " + std::to_string(signal);
}

std::string SignalSet(const sigset_t& set) {
  std::string names;
  for (int signal = 1; signal < NSIG; ++signal)
    if (sigismember(&set, signal) == 1)
      names.append(names.empty() ? "" : " ").append(SignalName(signal));
  return "{" + names + "}";
}

std::string Disposition(const struct sigaction& action) {
  static constexpr std::pair<int, const char*> kFlags[] = {
      {SA_NOCLDSTOP, "SA_NOCLDSTOP"}, {SA_NOCLDWAIT, "SA_NOCLDWAIT"}, {SA_SIGINFO, "SA_SIGINFO"},
      {SA_ONSTACK, "SA_ONSTACK"},     {SA_RESTART, "SA_RESTART"},     {SA_NODEFER, "SA_NODEFER"},
      {SA_RESETHAND, "SA_RESETHAND"}};
  const bool info = action.sa_flags & SA_SIGINFO;
  const void* handler = info ? reinterpret_cast<const void*>(action.sa_sigaction)
                             : reinterpret_cast<const void*>(action.sa_handler);
  if (!info && action.sa_handler == SIG_DFL)
    return "SIG_DFL";
  if (!info && action.sa_handler == SIG_IGN)
    return "SIG_IGN";
  std::string text = CodeAddress(handler);
  std::string flags;
  for (const auto& [flag, name] : kFlags)
    if (action.sa_flags & flag)
      flags.append(flags.empty() ? "" : "|").append(name);
  if (!flags.empty())
    text += ", flags " + flags;
  return text + ", mask " + SignalSet(action.sa_mask);
}

void Signals(Items& items) {
  for (int signal = 1; signal < NSIG; ++signal) {
    struct sigaction action {};
    // The few numbers the C library keeps for itself answer EINVAL.
    if (sigaction(signal, nullptr, &action) == 0)
      items["the disposition of " + SignalName(signal)] = Disposition(action);
  }
  sigset_t blocked;
  sigemptyset(&blocked);
  pthread_sigmask(SIG_BLOCK, nullptr, &blocked);
  items["the calling thread's signal mask"] = SignalSet(blocked);
}

void Files(Items& items) {
  char directory[4096];
  items["the working directory"] = getcwd(directory, sizeof directory)
                                       ? Quoted(directory)
                                       : std::string("unknown (") + std::strerror(errno) + ")";
  // Read where it cannot be changed: umask() itself sets the mask it reads.
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("Umask:", 0) == 0)
      items["the file-creation mask"] = line.substr(line.find_first_not_of(" \t", 6));
  static constexpr const char* kStandard[] = {"standard input", "standard output",
                                              "standard error"};
  for (int fd = 0; fd < 3; ++fd) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
    items[std::string("where ") + kStandard[fd] + " leads"] =
        error ? std::string("closed") : Quoted(target.c_str());
  }
}

void Environment(Items& items) {
  for (char** entry = environ; entry && *entry; ++entry) {
    const std::string text(*entry);
    const size_t equals = text.find('=');
    items["the environment variable " + text.substr(0, equals)] =
        equals == std::string::npos ? "set without a value" : Quoted(text.c_str() + equals + 1);
  }
}

std::string Limit(rlim_t value) {
  return value == RLIM_INFINITY ? "unlimited" : std::to_string(value);
}

void Limits(Items& items) {
  static constexpr const char* kNames[] = {
      "RLIMIT_CPU",      "RLIMIT_FSIZE", "RLIMIT_DATA",   "RLIMIT_STACK",
      "RLIMIT_CORE",     "RLIMIT_RSS",   "RLIMIT_NPROC",  "RLIMIT_NOFILE",
      "RLIMIT_MEMLOCK",  "RLIMIT_AS",    "RLIMIT_LOCKS",  "RLIMIT_SIGPENDING",
      "RLIMIT_MSGQUEUE", "RLIMIT_NICE",  "RLIMIT_RTPRIO", "RLIMIT_RTTIME"};
  for (int resource = 0; resource < RLIM_NLIMITS; ++resource) {
    rlimit limit{};
    if (getrlimit(static_cast<__rlimit_resource>(resource), &limit) != 0)
      continue;
    const std::string name = resource < static_cast<int>(std::size(kNames))
                                 ? kNames[resource]
                                 : "resource " + std::to_string(resource);
    items["the resource limit " + name] =
        "soft " + Limit(limit.rlim_cur) + ", hard " + Limit(limit.rlim_max);
  }
}

void FloatingPoint(Items& items) {
  if (!kHasFloatingPointState)
    return;
  const FloatingPointState state = FloatingPointState::Read();
  char text[64];
  std::snprintf(text, sizeof text, "MXCSR %04X, x87 control word %04X", state.mxcsr, state.x87);
  items["the floating-point control state"] = text;
}

// Xlib answers a handler only by setting one; putting the same one straight back leaves
// everything as it was.
void XHandlers(Items& items) {
  const XErrorHandler error = XSetErrorHandler(nullptr);
  XSetErrorHandler(error);
  items["Xlib's error handler"] = CodeAddress(reinterpret_cast<const void*>(error));
  const XIOErrorHandler io = XSetIOErrorHandler(nullptr);
  XSetIOErrorHandler(io);
  items["Xlib's I/O error handler"] = CodeAddress(reinterpret_cast<const void*>(io));
}

} // namespace

ProcessState ProcessState::Capture() {
  ProcessState state;
  Locales(state.items);
  Signals(state.items);
  Files(state.items);
  Environment(state.items);
  Limits(state.items);
  FloatingPoint(state.items);
  XHandlers(state.items);
  return state;
}

std::vector<std::string> Changes(const ProcessState& before, const ProcessState& after) {
  std::vector<std::string> changes;
  auto was = before.items.begin();
  auto now = after.items.begin();
  while (was != before.items.end() || now != after.items.end()) {
    if (now == after.items.end() || (was != before.items.end() && was->first < now->first)) {
      changes.push_back(was->first + ": " + was->second + " -> unset");
      ++was;
    } else if (was == before.items.end() || now->first < was->first) {
      changes.push_back(now->first + ": unset -> " + now->second);
      ++now;
    } else {
      if (was->second != now->second)
        changes.push_back(was->first + ": " + was->second + " -> " + now->second);
      ++was;
      ++now;
    }
  }
  return changes;
}

std::vector<std::string> ProcessStateWatch::Look() {
  ProcessState now = ProcessState::Capture();
  std::vector<std::string> changes = Changes(FLast, now);
  FLast = std::move(now);
  return changes;
}

namespace {

constexpr int kMostReported = 20;

} // namespace

void CheckProcessState(Context& context, const CallWalk& walk) {
  // The validator's own X error handler belongs to the host's state from the start.
  XErrorsSeen();
  ProcessStateWatch watch;
  int reported = 0;
  walk(context, [&](const std::string& what, const std::function<void()>& call) {
    context.Step("%s, the process's state watched", what.c_str());
    call();
    for (const std::string& change : watch.Look())
      if (reported++ < kMostReported)
        context.Fail(what + " changed " + change);
  });
}

} // namespace zhost::validate
