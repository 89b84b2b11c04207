// A virtual X server for programs that need a display where none is running (the GUI tests,
// headless machines).
#pragma once

#include <sys/types.h>

namespace zhost {

class Xvfb {
public:
  // When DISPLAY is unset, starts Xvfb on a display number it picks itself, waits until it
  // accepts connections and points DISPLAY at it; when DISPLAY is set, does nothing. Throws
  // HostError when Xvfb is not installed, fails or is not ready in time. The server also ends
  // when the thread that started it does, so that a crash leaves no server behind.
  Xvfb();
  // Stops the server this object started (and no other) and unsets DISPLAY again.
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

private:
  // Ends the server: SIGTERM, SIGKILL after a grace period; answers its wait status.
  int Stop();

  pid_t FPid = -1;
};

} // namespace zhost
