#include "core/Runner.h"

#include "hosting/Errors.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <thread>

namespace zhost::validate {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kStepSize = 512;
constexpr size_t kKeptFailures = 20;

// Records are one line each: a kind letter, then the text with backslash, newline and tab
// escaped (a note's key and value are separated by a bare tab).
std::string Escape(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    if (c == '\\')
      escaped += "\\\\";
    else if (c == '\n')
      escaped += "\\n";
    else if (c == '\t')
      escaped += "\\t";
    else
      escaped += c;
  }
  return escaped;
}

std::string Unescape(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    const char next = text[++i];
    plain += next == 'n' ? '\n' : next == 't' ? '\t' : next;
  }
  return plain;
}

void WriteAll(int fd, const std::string& data) {
  size_t written = 0;
  while (written < data.size()) {
    const ssize_t n = write(fd, data.data() + written, data.size() - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    written += static_cast<size_t>(n);
  }
}

// Memory the child writes its current step into and the parent reads after the child ended.
class SharedStep {
public:
  SharedStep() {
    void* memory =
        mmap(nullptr, kStepSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
      throw HostError(std::string("cannot share memory with a test process: ") +
                      std::strerror(errno));
    FText = static_cast<char*>(memory);
    FText[0] = '\0';
  }
  ~SharedStep() { munmap(FText, kStepSize); }
  SharedStep(const SharedStep&) = delete;
  SharedStep& operator=(const SharedStep&) = delete;
  char* Text() const { return FText; }
  std::string Read() const { return std::string(FText, strnlen(FText, kStepSize - 1)); }

private:
  char* FText = nullptr;
};

// The child's channel and step, for EndTestFromSignal.
int gChildChannel = -1;
const char* gChildStep = nullptr;

[[noreturn]] void RunChild(const TestCase& test, const Context::Settings& settings, int fd,
                           char* step) {
  gChildChannel = fd;
  gChildStep = step;
  setpgid(0, 0);
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  const int devNull = open("/dev/null", O_RDONLY);
  if (devNull >= 0) {
    dup2(devNull, STDIN_FILENO);
    close(devNull);
  }
  // Whatever the plug-in prints goes with the diagnostics, away from the report.
  dup2(STDERR_FILENO, STDOUT_FILENO);
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  // A plug-in that seeds its generator from ZINTRAX_SEED, as this project's plug-ins do, gets the
  // run's seed unless the environment already chose one: its output then repeats.
  setenv("ZINTRAX_SEED", std::to_string(settings.seed).c_str(), 0);

  Reporter reporter(fd, step, kStepSize);
  try {
    Context context(settings, test.name, reporter);
    test.run(context);
  } catch (const TestStopped&) {
  } catch (const HostError& error) {
    reporter.Failure(error.what());
  } catch (const std::exception& error) {
    reporter.Failure(std::string("an exception ended the test (") + error.what() + ") during " +
                     step);
  } catch (...) {
    reporter.Failure(std::string("an exception of unknown type ended the test during ") + step);
  }
  reporter.Done();
  // No static destructors or exit handlers of the validator (nor of the plug-in) run here.
  _exit(0);
}

std::string SignalName(int signal) {
  const char* abbreviation = sigabbrev_np(signal);
  const char* description = strsignal(signal);
  std::string name =
      abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal);
  if (description)
    name.append(" (").append(description).append(")");
  return name;
}

class RecordReader {
public:
  explicit RecordReader(Outcome& outcome) : FOutcome(outcome) {}

  void Feed(const char* data, size_t size) {
    FPending.append(data, size);
    size_t start = 0;
    for (size_t end; (end = FPending.find('\n', start)) != std::string::npos; start = end + 1)
      Record(std::string_view(FPending).substr(start, end - start));
    FPending.erase(0, start);
  }

  bool Done() const { return FDone; }
  const std::string& SkipReason() const { return FSkip; }

private:
  void Record(std::string_view line) {
    if (line.empty())
      return;
    const std::string_view body = line.substr(1);
    switch (line.front()) {
    case 'F':
      if (FOutcome.failures.size() < kKeptFailures)
        FOutcome.failures.push_back(Unescape(body));
      else
        ++FOutcome.unkeptFailures;
      break;
    case 'N': {
      const size_t tab = body.find('\t');
      std::string key = Unescape(body.substr(0, tab));
      std::string value = tab == std::string_view::npos ? "" : Unescape(body.substr(tab + 1));
      auto& notes = FOutcome.notes;
      auto same = std::find_if(notes.begin(), notes.end(),
                               [&](const auto& note) { return note.first == key; });
      if (same != notes.end())
        same->second = std::move(value);
      else
        notes.emplace_back(std::move(key), std::move(value));
      break;
    }
    case 'S':
      FSkip = Unescape(body);
      break;
    case 'D':
      FDone = true;
      break;
    default:
      break;
    }
  }

  Outcome& FOutcome;
  std::string FPending;
  std::string FSkip;
  bool FDone = false;
};

} // namespace

void EndTestFromSignal(const char* what) {
  char record[kStepSize + 256];
  size_t n = 0;
  const auto append = [&](const char* text, size_t most) {
    for (size_t i = 0; text && text[i] && i < most && n + 4 < sizeof record; ++i)
      record[n++] = text[i] == '\\' || static_cast<unsigned char>(text[i]) < 0x20 ? ' ' : text[i];
  };
  record[n++] = 'F';
  append(what, 200);
  if (gChildStep && gChildStep[0]) {
    append(" during ", 8);
    append(gChildStep, kStepSize - 1);
  }
  record[n++] = '\n';
  record[n++] = 'D';
  record[n++] = '\n';
  for (size_t written = 0; written < n;) {
    const ssize_t wrote = write(gChildChannel, record + written, n - written);
    if (wrote < 0 && errno == EINTR)
      continue;
    if (wrote <= 0)
      break;
    written += static_cast<size_t>(wrote);
  }
  _exit(0);
}

void Reporter::Note(std::string_view key, std::string_view value) {
  std::string record(1, 'N');
  record.append(Escape(key)).append(1, '\t').append(Escape(value)).append(1, '\n');
  WriteAll(FFd, record);
}

void Reporter::Send(char kind, std::string_view text) {
  std::string record(1, kind);
  record.append(Escape(text)).append(1, '\n');
  WriteAll(FFd, record);
}

Outcome RunIsolated(const TestCase& test, const Context::Settings& settings) {
  SharedStep step;
  int channel[2];
  if (pipe(channel) != 0)
    throw HostError(std::string("cannot open a pipe to a test process: ") + std::strerror(errno));
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);

  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) {
    close(channel[0]);
    close(channel[1]);
    throw HostError(std::string("cannot start a test process: ") + std::strerror(errno));
  }
  if (pid == 0) {
    close(channel[0]);
    RunChild(test, settings, channel[1], step.Text());
  }
  close(channel[1]);
  // Set here too, so that killing the group never races the child's own setpgid.
  setpgid(pid, pid);

  Outcome outcome;
  RecordReader reader(outcome);
  const Clock::time_point deadline = start + std::chrono::seconds(test.options.timeoutSeconds);
  const auto remainingMs = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  };
  bool timedOut = false;
  for (char data[4096];;) {
    const auto left = remainingMs();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd ready{channel[0], POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(std::min<long long>(left, 1000)));
    if (polled < 0 && errno == EINTR)
      continue;
    if (polled <= 0)
      continue;
    const ssize_t n = read(channel[0], data, sizeof data);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    reader.Feed(data, static_cast<size_t>(n));
  }
  close(channel[0]);

  // The pipe closes when the child ends; a child that closed it early is waited for until the
  // deadline all the same.
  int status = 0;
  bool ended = false;
  while (!timedOut && !ended) {
    const pid_t waited = waitpid(pid, &status, WNOHANG);
    if (waited == pid || (waited < 0 && errno != EINTR))
      ended = true;
    else if (remainingMs() <= 0)
      timedOut = true;
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // Whatever the test left running in its process group goes too.
  kill(-pid, SIGKILL);
  if (!ended)
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  outcome.seconds = std::chrono::duration<double>(Clock::now() - start).count();

  // A crash or a hang is what the test's line reports, ahead of what the test found before.
  std::string where = step.Read();
  where = where.empty() ? "" : " during " + where;
  std::string ending;
  if (timedOut)
    ending = "hung: no end after " + std::to_string(test.options.timeoutSeconds) + " s" + where;
  else if (WIFSIGNALED(status))
    ending = "crashed with " + SignalName(WTERMSIG(status)) + where;
  else if (!reader.Done())
    ending = "the process ended itself (exit status " +
             std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")" + where;
  if (!ending.empty())
    outcome.failures.insert(outcome.failures.begin(), std::move(ending));

  if (!outcome.failures.empty()) {
    outcome.status = Status::Fail;
    outcome.message = outcome.failures.front();
    const size_t more = outcome.failures.size() - 1 + outcome.unkeptFailures;
    if (more > 0)
      outcome.message += " (and " + std::to_string(more) + " more)";
  } else if (!reader.SkipReason().empty()) {
    outcome.status = Status::Skip;
    outcome.message = reader.SkipReason();
  }
  return outcome;
}

} // namespace zhost::validate
