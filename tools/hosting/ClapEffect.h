// One CLAP plug-in instance as a host drives it: a host record of this tool's own (with the
// parameters and state extensions), the plug-in's extensions, activation, processing of a main
// input and output port with events, flush, and state through streams.
#pragma once

#include "formats/clap/ClapAbi.h"
#include "hosting/ClapLibrary.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zhost {

// Parameter events for one call, kept in the order they are added (a host adds them in time
// order).
class ClapEventList {
public:
  ClapEventList();
  ClapEventList(const ClapEventList&) = delete;
  ClapEventList& operator=(const ClapEventList&) = delete;

  void Value(uint32_t time, clap_id id, double value, uint16_t space = CLAP_CORE_EVENT_SPACE_ID);
  void Modulation(uint32_t time, clap_id id, double amount);
  void Clear() { FEvents.clear(); }
  // Room for count events, so that adding as many allocates nothing.
  void Reserve(std::size_t count) { FEvents.reserve(count); }
  bool Empty() const { return FEvents.empty(); }
  const clap_input_events* List() const { return &FList; }

private:
  std::vector<clap_event_param_value> FEvents;
  clap_input_events FList;
};

// What a plug-in pushed during calls: each event's bytes.
class ClapOutputList {
public:
  ClapOutputList();
  ClapOutputList(const ClapOutputList&) = delete;
  ClapOutputList& operator=(const ClapOutputList&) = delete;

  const clap_output_events* List() const { return &FList; }
  std::vector<std::vector<uint8_t>> events;

private:
  clap_output_events FList;
};

class ClapEffect {
public:
  // A new instance of the plug-in with that id (the first plug-in for an empty id), initialised;
  // throws HostError when the factory or the plug-in refuses. Without runLoop the host offers
  // neither timers nor a watch of descriptors (an editor on X11 then has nothing to turn it).
  explicit ClapEffect(const ClapLibrary& library, const std::string& id = {}, bool runLoop = true);
  // Stops processing, deactivates and destroys, as far as each was reached.
  ~ClapEffect();
  ClapEffect(const ClapEffect&) = delete;
  ClapEffect& operator=(const ClapEffect&) = delete;

  const clap_plugin& Plugin() const { return *FPlugin; }
  const clap_plugin_descriptor& Descriptor() const { return *FPlugin->desc; }
  const clap_plugin_params* params = nullptr;
  const clap_plugin_audio_ports* ports = nullptr;
  const clap_plugin_state* state = nullptr;

  // The channels of the main (first) input and output ports; 0 without one.
  uint32_t InputChannels() const { return FInputChannels; }
  uint32_t OutputChannels() const { return FOutputChannels; }

  // Throws HostError when the plug-in refuses.
  void Activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames);
  void Deactivate();
  bool Active() const { return FActive; }
  void StartProcessing();
  void StopProcessing();
  // One call of frames from the channels of inputs into outputs, with events; the plug-in's
  // events go to out when given. Starts processing first when it has not been.
  clap_process_status Process(const float* const* inputs, float* const* outputs, uint32_t frames,
                              const ClapEventList* events = nullptr,
                              const clap_output_events* out = nullptr);
  void Flush(const ClapEventList& events, const clap_output_events* out = nullptr);

  const std::vector<clap_param_info>& Parameters() const { return FParameters; }
  std::optional<double> Value(clap_id id) const;
  std::string Text(clap_id id, double value) const;
  std::optional<double> Parse(clap_id id, const std::string& text) const;

  // The state as the plug-in writes it, in writes of at most chunk bytes; nothing when it fails.
  std::optional<std::vector<uint8_t>> Save(std::size_t chunk = SIZE_MAX) const;
  // The plug-in's answer to loading bytes handed out at most chunk at a time.
  bool Load(const std::vector<uint8_t>& bytes, std::size_t chunk = SIZE_MAX);

  // What the plug-in asked of the host: rescans of parameter values, flush requests.
  int Rescans() const { return FRescans.load(); }
  int FlushRequests() const { return FFlushRequests.load(); }
  // The host calls the plug-in made from a thread the interface does not allow them on, each
  // named once ("params.rescan on the audio thread"). The thread that made this object is the
  // main thread; the one inside Process (or Flush while active) is the audio thread.
  std::vector<std::string> ThreadFaults() const;

  // The editor, embedded in an X11 window: created, scaled when scale > 0 and given the parent;
  // false (destroyed again) when the plug-in refuses a step.
  bool OpenEditor(unsigned long window, double scale = 0.0);
  void CloseEditor();
  bool EditorOpen() const { return FGuiOpen; }
  // One turn of the host's loop for the plug-in: waits up to timeoutMs for a watched descriptor
  // or the next timer, then calls the plug-in for each that is due.
  void RunLoop(int timeoutMs);
  // The timers and descriptors the plug-in has registered.
  std::size_t Registered() const { return FTimers.size() + FDescriptors.size(); }
  // The sizes the plug-in asked the host for, in order.
  std::vector<std::pair<uint32_t, uint32_t>> resizeRequests;

private:
  static ClapEffect& Of(const clap_host* host) {
    return *static_cast<ClapEffect*>(host->host_data);
  }
  const void* HostExtension(const char* id) const;
  struct Timer {
    clap_id id;
    uint32_t period;
    int64_t due; // milliseconds of a steady clock
  };
  void ReadParameters();
  // Notes call as a thread fault when it came from the audio thread or, for mainOnly, from
  // anywhere but the main thread.
  void CheckThread(const char* call, bool mainOnly);
  bool OnAudioThread() const { return FAudioThread.load() == std::this_thread::get_id(); }

  clap_host FHost;
  const clap_plugin* FPlugin = nullptr;
  bool FInitialised = false;
  bool FActive = false;
  bool FProcessing = false;
  uint32_t FInputChannels = 0, FOutputChannels = 0;
  std::vector<clap_param_info> FParameters;
  std::atomic<int> FRescans{0};
  std::atomic<int> FFlushRequests{0};
  int64_t FSteadyTime = 0;
  bool FRunLoop = true;
  const clap_plugin_gui* FGui = nullptr;
  bool FGuiOpen = false;
  std::vector<Timer> FTimers;
  std::vector<int> FDescriptors;
  clap_id FNextTimer = 1;
  std::vector<float*> FInputPointers, FOutputPointers;
  const std::thread::id FMainThread = std::this_thread::get_id();
  std::atomic<std::thread::id> FAudioThread{};
  mutable std::mutex FThreadFaultsLock;
  std::vector<std::string> FThreadFaults;
};

} // namespace zhost
