// A JACK client, with JACK's library loaded when one is made (so that zintrax-host runs on a
// machine without JACK for everything but play): JACK's own server, or PipeWire's JACK library
// where that stands in for it.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zhost {

struct JackFunctions;

class JackClient {
public:
  // Opens a client of that name on the running server (never starting one); throws HostError
  // saying how to start a server when none runs.
  explicit JackClient(const std::string& name);
  ~JackClient();
  JackClient(const JackClient&) = delete;
  JackClient& operator=(const JackClient&) = delete;

  // The name the server gave this client (it may add a number to the one asked for).
  std::string Name() const;
  float SampleRate() const;
  int32_t BufferSize() const;

  // An audio port of this client: an input when input, else an output.
  jack_port_t* AddPort(const std::string& shortName, bool input);
  // The port's samples for the current cycle; only inside the process callback.
  float* Buffer(jack_port_t* port, jack_nframes_t frames) const;
  std::string PortName(jack_port_t* port) const;

  // The callbacks, set before Activate. process runs on the server's real-time thread; the
  // others run on threads of JACK's own, outside the process callback.
  struct Callbacks {
    std::function<int(jack_nframes_t)> process;
    std::function<void(jack_nframes_t)> sampleRate;
    std::function<void(jack_nframes_t)> bufferSize;
    std::function<void()> xrun;
    std::function<void(const std::string& reason)> shutdown;
  };
  void Activate(Callbacks callbacks);
  void Deactivate();

  // The physical ports of the system (capture: outputs of the server's clients that carry sound
  // in; playback: its inputs), in the server's order.
  std::vector<std::string> SystemPorts(bool capture) const;
  // Connects source to destination; true when they are connected (also when they were already).
  bool Connect(const std::string& source, const std::string& destination);
  // True when a port of that full name exists now.
  bool PortExists(const std::string& name) const;
  // The server's time in microseconds, as its own clock reads it.
  uint64_t Now() const;

private:
  static int Process(jack_nframes_t frames, void* self);
  static int SampleRateChanged(jack_nframes_t rate, void* self);
  static int BufferSizeChanged(jack_nframes_t frames, void* self);
  static int Xrun(void* self);
  static void Shutdown(jack_status_t, const char* reason, void* self);

  std::shared_ptr<const JackFunctions> FJack;
  jack_client_t* FClient = nullptr;
  Callbacks FCallbacks;
  std::atomic<bool> FActive{false};
};

} // namespace zhost
