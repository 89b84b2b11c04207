#include "hosting/Xvfb.h"

#include "hosting/Errors.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

namespace zhost {

namespace {

constexpr std::chrono::seconds kReadyTimeout{10};
constexpr std::chrono::seconds kStopGrace{2};

std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "/usr/local/bin:/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

std::string DescribeStatus(int status) {
  if (WIFEXITED(status))
    return "exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return "was ended by signal " + std::to_string(WTERMSIG(status));
  return "stopped";
}

// Reads the display number the server writes to the descriptor once it is ready: the text up
// to a newline. Empty when the server closes the descriptor (it ended) or the deadline passes.
std::string ReadDisplayNumber(int fd, bool& timedOut) {
  const auto deadline = std::chrono::steady_clock::now() + kReadyTimeout;
  std::string text;
  while (text.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    const int ready = left.count() > 0 ? poll(&p, 1, int(left.count())) : 0;
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0) {
      timedOut = ready == 0;
      return {};
    }
    char buffer[32];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return {};
    text.append(buffer, size_t(n));
  }
  text.resize(text.find('\n'));
  return text;
}

} // namespace

Xvfb::Xvfb() {
  const char* display = std::getenv("DISPLAY");
  if (display && *display)
    return;
  const std::string program = FindOnPath("Xvfb");
  if (program.empty())
    throw HostError("Xvfb is not installed (no Xvfb on PATH): install it or set DISPLAY");

  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0)
    throw HostError("cannot start Xvfb: no pipe");
  const std::string fd = std::to_string(ready[1]);
  // -noreset: an X server otherwise resets when its last client leaves and refuses the
  // connections made meanwhile, which programs that connect one after another run into.
  const char* argv[] = {program.c_str(), "-displayfd", fd.c_str(), "-screen",  "0",
                        "1280x1024x24",  "-nolisten",  "tcp",      "-noreset", nullptr};
  const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
  const pid_t parent = getpid();
  FPid = fork();
  if (FPid == 0) {
    // Only async-signal-safe calls between fork and exec.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
      _exit(127);
    if (devNull >= 0) {
      dup2(devNull, STDIN_FILENO);
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
    }
    fcntl(ready[1], F_SETFD, 0);
    execv(argv[0], const_cast<char* const*>(argv));
    _exit(127);
  }
  if (devNull >= 0)
    close(devNull);
  close(ready[1]);
  if (FPid < 0) {
    close(ready[0]);
    throw HostError("cannot start Xvfb: fork failed");
  }

  bool timedOut = false;
  const std::string number = ReadDisplayNumber(ready[0], timedOut);
  close(ready[0]);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    const int status = Stop();
    throw HostError("Xvfb (" + program + ") " +
                    (timedOut ? "did not report a display within " +
                                    std::to_string(kReadyTimeout.count()) + " s"
                              : DescribeStatus(status) + " before it was ready"));
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
}

Xvfb::~Xvfb() {
  if (FPid > 0) {
    Stop();
    unsetenv("DISPLAY");
  }
}

int Xvfb::Stop() {
  int status = 0;
  if (FPid <= 0)
    return status;
  kill(FPid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
  for (;;) {
    const pid_t done = waitpid(FPid, &status, WNOHANG);
    if (done == FPid || (done < 0 && errno != EINTR))
      break;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(FPid, SIGKILL);
      while (waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  FPid = -1;
  return status;
}

} // namespace zhost
