// jackd on its dummy driver under a name of its own, for as long as the object lives; clients
// of this process and of the programs it starts find it through JACK_DEFAULT_SERVER.
#pragma once

#include "Jack.h"
#include "hosting/Errors.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

extern char** environ;

class JackServer {
public:
  JackServer(int rate, int period) : FName("zintrax-test-" + std::to_string(getpid())) {
    setenv("JACK_DEFAULT_SERVER", FName.c_str(), 1);
    const std::string rateText = std::to_string(rate), periodText = std::to_string(period);
    // Synchronous: a period the server waits for every client to finish, so that a client the
    // machine holds up late reads and writes its own period's buffers, not the next one's.
    const char* args[] = {
        "jackd",          "--realtime", "--sync",           "-P",   "89", "-d", "dummy", "-r",
        rateText.c_str(), "-p",         periodText.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned =
        posix_spawnp(&FPid, "jackd", &actions, nullptr, const_cast<char**>(args), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
      FPid = -1;
    for (int i = 0; i < 100 && FPid > 0; ++i) {
      try {
        zhost::JackClient probe("probe");
        return;
      } catch (const zhost::HostError&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
  }
  ~JackServer() { Stop(); }
  JackServer(const JackServer&) = delete;
  JackServer& operator=(const JackServer&) = delete;

  void Stop() {
    if (FPid > 0) {
      kill(FPid, SIGTERM);
      waitpid(FPid, nullptr, 0);
    }
    FPid = -1;
  }
  bool Running() const { return FPid > 0; }
  const std::string& Name() const { return FName; }

private:
  std::string FName;
  pid_t FPid = -1;
};
