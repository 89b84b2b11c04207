#include "Jack.h"

#include "hosting/Errors.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdio>

namespace zhost {

// The functions of JACK's library that a client of this tool calls.
struct JackFunctions {
  void* library = nullptr;
  decltype(&jack_client_open) clientOpen = nullptr;
  decltype(&jack_client_close) clientClose = nullptr;
  decltype(&jack_get_client_name) clientName = nullptr;
  decltype(&jack_get_sample_rate) sampleRate = nullptr;
  decltype(&jack_get_buffer_size) bufferSize = nullptr;
  decltype(&jack_port_register) portRegister = nullptr;
  decltype(&jack_port_get_buffer) portBuffer = nullptr;
  decltype(&jack_port_name) portName = nullptr;
  decltype(&jack_port_by_name) portByName = nullptr;
  decltype(&jack_set_process_callback) setProcess = nullptr;
  decltype(&jack_set_sample_rate_callback) setSampleRate = nullptr;
  decltype(&jack_set_buffer_size_callback) setBufferSize = nullptr;
  decltype(&jack_set_xrun_callback) setXrun = nullptr;
  decltype(&jack_on_info_shutdown) onShutdown = nullptr;
  decltype(&jack_activate) activate = nullptr;
  decltype(&jack_deactivate) deactivate = nullptr;
  decltype(&jack_get_ports) ports = nullptr;
  decltype(&jack_connect) connect = nullptr;
  decltype(&jack_free) free = nullptr;
  decltype(&jack_get_time) time = nullptr;
  decltype(&jack_set_error_function) setError = nullptr;
  decltype(&jack_set_info_function) setInfo = nullptr;

  ~JackFunctions() {
    if (library)
      dlclose(library);
  }
};

namespace {

constexpr const char* kNoLibrary =
    "JACK's library (libjack.so.0) is not installed: install JACK (the package jackd2), or, on "
    "a PipeWire desktop, PipeWire's JACK library (pipewire-jack)";

void Quiet(const char*) {}

void PrintError(const char* message) {
  std::fprintf(stderr, "JACK: %s\n", message);
}

template <typename F> void Find(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  if (!function)
    throw HostError(std::string("JACK's library has no ") + name);
}

std::shared_ptr<const JackFunctions> LoadJack() {
  auto jack = std::make_shared<JackFunctions>();
  jack->library = dlopen("libjack.so.0", RTLD_NOW | RTLD_LOCAL);
  if (!jack->library)
    throw HostError(kNoLibrary);
  void* l = jack->library;
  Find(l, "jack_client_open", jack->clientOpen);
  Find(l, "jack_client_close", jack->clientClose);
  Find(l, "jack_get_client_name", jack->clientName);
  Find(l, "jack_get_sample_rate", jack->sampleRate);
  Find(l, "jack_get_buffer_size", jack->bufferSize);
  Find(l, "jack_port_register", jack->portRegister);
  Find(l, "jack_port_get_buffer", jack->portBuffer);
  Find(l, "jack_port_name", jack->portName);
  Find(l, "jack_port_by_name", jack->portByName);
  Find(l, "jack_set_process_callback", jack->setProcess);
  Find(l, "jack_set_sample_rate_callback", jack->setSampleRate);
  Find(l, "jack_set_buffer_size_callback", jack->setBufferSize);
  Find(l, "jack_set_xrun_callback", jack->setXrun);
  Find(l, "jack_on_info_shutdown", jack->onShutdown);
  Find(l, "jack_activate", jack->activate);
  Find(l, "jack_deactivate", jack->deactivate);
  Find(l, "jack_get_ports", jack->ports);
  Find(l, "jack_connect", jack->connect);
  Find(l, "jack_free", jack->free);
  Find(l, "jack_get_time", jack->time);
  Find(l, "jack_set_error_function", jack->setError);
  Find(l, "jack_set_info_function", jack->setInfo);
  return jack;
}

} // namespace

JackClient::JackClient(const std::string& name) : FJack(LoadJack()) {
  jack_status_t status{};
  // What the library says while it looks for a server is told better by the message below.
  FJack->setInfo(Quiet);
  FJack->setError(Quiet);
  FClient = FJack->clientOpen(name.c_str(), JackNoStartServer, &status);
  FJack->setError(PrintError);
  if (!FClient) {
    if (status & JackServerFailed)
      throw HostError("no JACK server is running: start one (for a sound card, jackd -d alsa; "
                      "or qjackctl), or, on a PipeWire desktop, run this under PipeWire's JACK "
                      "library (pw-jack zintrax-host play)");
    throw HostError("the JACK server refused the client \"" + name + "\" (status 0x" + [&] {
      char hex[16];
      std::snprintf(hex, sizeof hex, "%x", unsigned(status));
      return std::string(hex);
    }() + ")");
  }
}

JackClient::~JackClient() {
  if (FActive)
    FJack->deactivate(FClient);
  FJack->clientClose(FClient);
}

std::string JackClient::Name() const {
  return FJack->clientName(FClient);
}

float JackClient::SampleRate() const {
  return static_cast<float>(FJack->sampleRate(FClient));
}

int32_t JackClient::BufferSize() const {
  return static_cast<int32_t>(FJack->bufferSize(FClient));
}

jack_port_t* JackClient::AddPort(const std::string& shortName, bool input) {
  jack_port_t* port = FJack->portRegister(FClient, shortName.c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                          input ? JackPortIsInput : JackPortIsOutput, 0);
  if (!port)
    throw HostError("JACK refused the port " + shortName);
  return port;
}

float* JackClient::Buffer(jack_port_t* port, jack_nframes_t frames) const {
  return static_cast<float*>(FJack->portBuffer(port, frames));
}

std::string JackClient::PortName(jack_port_t* port) const {
  return FJack->portName(port);
}

void JackClient::Activate(Callbacks callbacks) {
  FCallbacks = std::move(callbacks);
  FJack->setProcess(FClient, &JackClient::Process, this);
  FJack->setSampleRate(FClient, &JackClient::SampleRateChanged, this);
  FJack->setBufferSize(FClient, &JackClient::BufferSizeChanged, this);
  FJack->setXrun(FClient, &JackClient::Xrun, this);
  FJack->onShutdown(FClient, &JackClient::Shutdown, this);
  if (FJack->activate(FClient) != 0)
    throw HostError("the JACK server did not start the client");
  FActive = true;
}

void JackClient::Deactivate() {
  if (FActive)
    FJack->deactivate(FClient);
  FActive = false;
}

std::vector<std::string> JackClient::SystemPorts(bool capture) const {
  std::vector<std::string> names;
  const char** ports =
      FJack->ports(FClient, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                   JackPortIsPhysical | (capture ? JackPortIsOutput : JackPortIsInput));
  for (const char** p = ports; p && *p; ++p)
    names.emplace_back(*p);
  if (ports)
    FJack->free(ports);
  return names;
}

bool JackClient::Connect(const std::string& source, const std::string& destination) {
  const int result = FJack->connect(FClient, source.c_str(), destination.c_str());
  return result == 0 || result == EEXIST;
}

bool JackClient::PortExists(const std::string& name) const {
  return FJack->portByName(FClient, name.c_str()) != nullptr;
}

uint64_t JackClient::Now() const {
  return FJack->time();
}

int JackClient::Process(jack_nframes_t frames, void* self) {
  return static_cast<JackClient*>(self)->FCallbacks.process(frames);
}

int JackClient::SampleRateChanged(jack_nframes_t rate, void* self) {
  if (auto& changed = static_cast<JackClient*>(self)->FCallbacks.sampleRate)
    changed(rate);
  return 0;
}

int JackClient::BufferSizeChanged(jack_nframes_t frames, void* self) {
  if (auto& changed = static_cast<JackClient*>(self)->FCallbacks.bufferSize)
    changed(frames);
  return 0;
}

int JackClient::Xrun(void* self) {
  if (auto& xrun = static_cast<JackClient*>(self)->FCallbacks.xrun)
    xrun();
  return 0;
}

void JackClient::Shutdown(jack_status_t, const char* reason, void* self) {
  auto& client = *static_cast<JackClient*>(self);
  client.FActive = false;
  if (client.FCallbacks.shutdown)
    client.FCallbacks.shutdown(reason ? reason : "");
}

} // namespace zhost
