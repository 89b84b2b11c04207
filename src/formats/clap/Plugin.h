// The plug-in's CLAP instance: one module behind a clap_plugin record, with its audio ports,
// parameters in their own units, state and latency.
//
// Threads: the host's main thread creates, activates, reads and writes parameters while inactive,
// saves and loads state and runs the editor; its audio thread processes and flushes while active.
// What the user does in the editor reaches the host as gesture and value events through a queue
// that the next process or flush empties, after a flush request. A parameter's
// value as the host set it (its base) is kept apart from the modulation the host adds on top: the
// module plays base plus modulation, the host reads back the base, and a state holds the base.
#pragma once

#include "formats/clap/ClapAbi.h"
#include "formats/clap/EditQueue.h"
#include "formats/common/ModuleTurns.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TModuleAdapter;
class TIdleTimer;

class TClapPlugin {
public:
  // The descriptor's id, written once and never changed: hosts keep it in their projects.
  static constexpr const char* kId = "com.merrowlake.zintrax";
  // The bypass switch, after the module's parameters (whose ids are their indexes).
  static constexpr clap_id kBypassId = 100;

  // A new instance for the host, or null when the module cannot be made. The record is freed by
  // its destroy.
  static const clap_plugin* Create(const clap_host* host, const clap_plugin_descriptor* descriptor);

  const clap_plugin* Record() const { return &FRecord; }

private:
  TClapPlugin(const clap_host* host, const clap_plugin_descriptor* descriptor);
  ~TClapPlugin();

  static TClapPlugin& Of(const clap_plugin* plugin) {
    return *static_cast<TClapPlugin*>(plugin->plugin_data);
  }
  template <class T> const T* HostExtension(const char* id) const;

  // clap_plugin
  bool Init();
  // Hands the module's notices (the editor's edits) to the host.
  void Listen(TModuleAdapter& module);
  bool Activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames);
  void Deactivate();
  clap_process_status Process(const clap_process& process);
  const void* Extension(const char* id) const;

  // Parameters (PluginParams.cpp)
  static const clap_plugin_params kParams;
  // One of the module's parameters (not the bypass).
  bool ValidId(clap_id id) const;
  bool ParamInfo(uint32_t index, clap_param_info& info) const;
  std::string Text(clap_id id, double value) const;
  std::optional<double> Value(clap_id id, const char* text) const;
  // One of the host's events, in process or flush: values and modulation of our parameters.
  void Apply(const clap_event_header& event);
  void Flush(const clap_input_events* in, const clap_output_events* out);
  // The value the module plays for a parameter: its base and modulation, within its range.
  void Play(int32_t index);
  // Takes the module's values as the bases (after a program or a state) and plays them with
  // the modulation there is; tells the host the values changed.
  void TakeModuleValues();

  // Selects a factory program as a program change does, for the preset it was loaded as.
  bool LoadPreset(uint32_t kind, const char* location, const char* key);

  // Editor (PluginGui.cpp)
  static const clap_plugin_gui kGui;
  bool GuiSupported(const char* api, bool floating) const;
  bool GuiCreate(const char* api, bool floating);
  void GuiDestroy();
  bool GuiSetScale(double scale);
  bool GuiSize(uint32_t& width, uint32_t& height) const;
  bool GuiSetParent(const clap_window& window);
  // Opens the editor in the parent and has the host turn it; false (and closed) when the host
  // will not.
  bool OpenEditor();
  void CloseEditor();
  void Report(const char* message) const;

  // State (PluginState.cpp)
  static const clap_plugin_state kState;
  bool Save(const clap_ostream& stream) const;
  bool Load(const clap_istream& stream);

  clap_plugin FRecord;
  const clap_host* FHost;
  const clap_host_params* FHostParams = nullptr;
  const clap_host_gui* FHostGui = nullptr;
  const clap_host_timer_support* FHostTimer = nullptr;
  const clap_host_posix_fd_support* FHostFd = nullptr;
  const clap_host_log* FHostLog = nullptr;
  std::unique_ptr<TModuleAdapter> FModule;
  // While active: blocks and flushes on the audio thread, states and presets loaded and the state
  // saved on the main thread.
  mutable TModuleTurns FTurns;
  bool FActive = false;
  double FSampleRate = 0.0; // the rate the module was opened at; 0 before the first activation
  // Per parameter, in its own units: the base (what the host set) and the modulation on top.
  std::unique_ptr<std::atomic<double>[]> FBase;
  std::unique_ptr<std::atomic<double>[]> FModulation;
  int32_t FParameters = 0;
  TEditQueue FEdits;
  // The editor: created by the host, then open in its parent window, turned by the host's timer
  // and the connection's descriptor (on Windows by a timer of the window system).
  bool FGuiCreated = false;
  void* FParent = nullptr;
  clap_id FTimer = CLAP_INVALID_ID;
  int FDescriptor = -1;
#if defined(_WIN32)
  std::unique_ptr<TIdleTimer> FIdleTimer;
#endif
};
