// The instance's lifecycle and audio: the record's calls, activation, and one block with the
// host's events applied at their sample offsets (formats/common/TimedChanges.h).
#include "formats/clap/Plugin.h"

#include "formats/clap/Guarded.h"
#include "formats/clap/Presets.h"

#include "formats/common/ModuleAdapter.h"
#include "formats/common/SettingsRecord.h"
#include "formats/common/TimedChanges.h"
#include "platform/IdleTimer.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The host's event list for one block, as a source of timed changes.
class TEventChanges final : public TTimedChanges {
public:
  using TApply = void (*)(void* to, const clap_event_header& event);

  TEventChanges(const clap_input_events* events, uint32_t frames, TApply apply, void* to)
      : FEvents(events), FCount(events && events->size && events->get ? events->size(events) : 0),
        FFrames(int32_t(std::min<uint32_t>(frames, std::numeric_limits<int32_t>::max()))),
        FApply(apply), FTo(to) {}

  int32_t NextOffset() override {
    for (; FNext < FCount; ++FNext)
      if (const clap_event_header* event = FEvents->get(FEvents, FNext))
        return int32_t(std::min<uint32_t>(event->time, uint32_t(FFrames)));
    return kNone;
  }

  bool ApplyUntil(int32_t at) override {
    bool applied = false;
    while (NextOffset() <= at && FNext < FCount) {
      FApply(FTo, *FEvents->get(FEvents, FNext++));
      applied = true;
    }
    return applied;
  }

private:
  const clap_input_events* FEvents;
  uint32_t FCount;
  uint32_t FNext = 0;
  int32_t FFrames;
  TApply FApply;
  void* FTo;
};

} // namespace

const clap_plugin* TClapPlugin::Create(const clap_host* host,
                                       const clap_plugin_descriptor* descriptor) {
  if (!host)
    return nullptr;
  TClapPlugin* plugin =
      Guarded<TClapPlugin*>(nullptr, [&] { return new TClapPlugin(host, descriptor); });
  return plugin ? plugin->Record() : nullptr;
}

TClapPlugin::TClapPlugin(const clap_host* host, const clap_plugin_descriptor* descriptor)
    : FHost(host), FModule(std::make_unique<TModuleAdapter>()) {
  Listen(*FModule);
  FParameters = FModule->ParameterCount();
  FBase = std::make_unique<std::atomic<double>[]>(size_t(FParameters));
  FModulation = std::make_unique<std::atomic<double>[]>(size_t(FParameters));
  for (int32_t i = 0; i < FParameters; ++i) {
    FBase[size_t(i)] = FModule->Parameter(i);
    FModulation[size_t(i)] = 0.0;
  }
  FRecord.desc = descriptor;
  FRecord.plugin_data = this;
  FRecord.init = [](const clap_plugin* p) { return Of(p).Init(); };
  FRecord.destroy = [](const clap_plugin* p) {
    Of(p).GuiDestroy(); // a host that destroys with the editor still open
    delete &Of(p);
  };
  FRecord.activate = [](const clap_plugin* p, double rate, uint32_t min, uint32_t max) {
    return Of(p).Activate(rate, min, max);
  };
  FRecord.deactivate = [](const clap_plugin* p) { Of(p).Deactivate(); };
  FRecord.start_processing = [](const clap_plugin* p) { return Of(p).FActive; };
  FRecord.stop_processing = [](const clap_plugin*) {};
  // The module keeps no memory that a reset could clear apart from its signal path's, which it
  // lets ring out; the parameters stay as they are.
  FRecord.reset = [](const clap_plugin*) {};
  FRecord.process = [](const clap_plugin* p, const clap_process* process) {
    return process ? Of(p).Process(*process) : CLAP_PROCESS_ERROR;
  };
  FRecord.get_extension = [](const clap_plugin* p, const char* id) {
    return id ? Of(p).Extension(id) : nullptr;
  };
  FRecord.on_main_thread = [](const clap_plugin*) {};
}

TClapPlugin::~TClapPlugin() {
  if (FModule)
    Guarded(0, [&] {
      FModule->Close();
      return 0;
    });
}

template <class T> const T* TClapPlugin::HostExtension(const char* id) const {
  return FHost->get_extension ? static_cast<const T*>(FHost->get_extension(FHost, id)) : nullptr;
}

bool TClapPlugin::Init() {
  FHostParams = HostExtension<clap_host_params>(CLAP_EXT_PARAMS);
  FHostGui = HostExtension<clap_host_gui>(CLAP_EXT_GUI);
  FHostTimer = HostExtension<clap_host_timer_support>(CLAP_EXT_TIMER_SUPPORT);
  FHostFd = HostExtension<clap_host_posix_fd_support>(CLAP_EXT_POSIX_FD_SUPPORT);
  FHostLog = HostExtension<clap_host_log>(CLAP_EXT_LOG);
  return true;
}

void TClapPlugin::Listen(TModuleAdapter& module) {
  const auto request = [this] {
    if (FHostParams && FHostParams->request_flush)
      FHostParams->request_flush(FHost);
  };
  module.Notices.ParameterChanged = [this, request](int32_t index, float value) {
    // The editor also tells of values it sets as it opens: the host knows those already.
    if (index < 0 || index >= FParameters || float(FBase[size_t(index)].load()) == value)
      return;
    FBase[size_t(index)] = value;
    FEdits.Push({CLAP_EVENT_PARAM_VALUE, clap_id(index), value});
    request();
  };
  module.Notices.EditBegun = [this, request](int32_t index) {
    FEdits.Push({CLAP_EVENT_PARAM_GESTURE_BEGIN, clap_id(index), 0.0});
    request();
  };
  module.Notices.EditEnded = [this, request](int32_t index) {
    FEdits.Push({CLAP_EVENT_PARAM_GESTURE_END, clap_id(index), 0.0});
    request();
  };
}

bool TClapPlugin::Activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames) {
  if (FActive || !(sampleRate > 0.0) || sampleRate > 1e7 || maxFrames == 0 ||
      minFrames > maxFrames || maxFrames > uint32_t(std::numeric_limits<int32_t>::max()))
    return false;
  return Guarded(false, [&] {
    if (FModule->IsOpen() && float(sampleRate) != float(FSampleRate)) {
      // A module runs at the rate it was opened at: a new rate takes a new module with the
      // settings of the old one; an open editor moves to it.
      const bool editor = FModule->EditorOpen();
      auto module = std::make_unique<TModuleAdapter>();
      Listen(*module);
      ApplySettings(*module, CaptureSettings(*FModule));
      module->SetEditorScale(FModule->EditorScale());
      module->SetBypassed(FModule->Bypassed());
      CloseEditor();
      FModule->Close();
      FModule = std::move(module);
      if (editor && !OpenEditor())
        FParent = nullptr;
    }
    if (!FModule->IsOpen()) {
      // Blocks are handed to the module in pieces of at most this many frames.
      FModule->Open(float(sampleRate), int32_t(std::min<uint32_t>(maxFrames, 8192)));
      FSampleRate = sampleRate;
      // Opening starts the signal path afresh; it takes up the parameters' values again.
      for (int32_t i = 0; i < FParameters; ++i)
        Play(i);
    }
    FActive = true;
    return true;
  });
}

void TClapPlugin::Deactivate() {
  FActive = false;
}

clap_process_status TClapPlugin::Process(const clap_process& process) {
  const float* inputs[2] = {nullptr, nullptr};
  float* outputs[2] = {nullptr, nullptr};
  if (process.audio_inputs_count > 0 && process.audio_inputs && process.audio_inputs[0].data32)
    for (uint32_t c = 0; c < std::min(process.audio_inputs[0].channel_count, 2u); ++c)
      inputs[c] = process.audio_inputs[0].data32[c];
  clap_audio_buffer* out = process.audio_outputs_count > 0 ? process.audio_outputs : nullptr;
  if (out && out->data32)
    for (uint32_t c = 0; c < std::min(out->channel_count, 2u); ++c)
      outputs[c] = out->data32[c];
  const uint32_t frames =
      std::min<uint32_t>(process.frames_count, std::numeric_limits<int32_t>::max());
  if (!FActive) {
    for (float* channel : outputs)
      if (channel)
        std::fill(channel, channel + frames, 0.0f);
    return CLAP_PROCESS_ERROR;
  }
  if (!FTurns.TryAudio()) {
    // The main thread is loading a state or a preset: this block passes its input through.
    for (int c = 0; c < 2; ++c)
      if (outputs[c] && outputs[c] != inputs[c]) {
        if (inputs[c])
          std::copy(inputs[c], inputs[c] + frames, outputs[c]);
        else
          std::fill(outputs[c], outputs[c] + frames, 0.0f);
      }
    if (out)
      out->constant_mask = 0;
    return CLAP_PROCESS_CONTINUE;
  }
  TEventChanges changes(
      process.in_events, frames,
      [](void* to, const clap_event_header& event) { static_cast<TClapPlugin*>(to)->Apply(event); },
      this);
  ProcessWithChanges(*FModule, inputs, outputs, int32_t(frames), changes);
  FTurns.EndAudio();
  if (out)
    out->constant_mask = 0;
  Flush(nullptr, process.out_events);
  return CLAP_PROCESS_CONTINUE;
}

const void* TClapPlugin::Extension(const char* id) const {
  static const clap_plugin_audio_ports ports = {
      [](const clap_plugin*, bool) { return 1u; },
      [](const clap_plugin*, uint32_t index, bool isInput, clap_audio_port_info* info) {
        if (index != 0 || !info)
          return false;
        std::memset(info, 0, sizeof *info);
        info->id = 0;
        std::strcpy(info->name, isInput ? "Stereo In" : "Stereo Out");
        info->flags = CLAP_AUDIO_PORT_IS_MAIN;
        info->channel_count = 2;
        info->port_type = CLAP_PORT_STEREO;
        info->in_place_pair = 0;
        return true;
      }};
  static const clap_plugin_preset_load presets = {
      [](const clap_plugin* p, uint32_t kind, const char* location, const char* key) {
        return Of(p).LoadPreset(kind, location, key);
      }};
  static const clap_plugin_latency latency = {[](const clap_plugin*) { return 0u; }};
  static const clap_plugin_timer_support timer = {[](const clap_plugin* p, clap_id) {
    if (Of(p).FModule->EditorOpen())
      Of(p).FModule->IdleEditor();
  }};
  static const clap_plugin_posix_fd_support descriptors = {[](const clap_plugin* p, int, uint32_t) {
    if (Of(p).FModule->EditorOpen())
      Of(p).FModule->IdleEditor();
  }};
  if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0)
    return &ports;
  if (std::strcmp(id, CLAP_EXT_PARAMS) == 0)
    return &kParams;
  if (std::strcmp(id, CLAP_EXT_STATE) == 0)
    return &kState;
  if (std::strcmp(id, CLAP_EXT_PRESET_LOAD) == 0 ||
      std::strcmp(id, CLAP_EXT_PRESET_LOAD_COMPAT) == 0)
    return &presets;
  if (std::strcmp(id, CLAP_EXT_LATENCY) == 0)
    return &latency;
  if (std::strcmp(id, CLAP_EXT_GUI) == 0)
    return FModule->HasEditor() ? &kGui : nullptr;
#if !defined(_WIN32)
  if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0)
    return &timer;
  if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0)
    return &descriptors;
#endif
  return nullptr;
}

bool TClapPlugin::LoadPreset(uint32_t kind, const char* location, const char* key) {
  const int32_t program = PresetProgram(kind, location, key);
  if (program < 0)
    return false;
  return Guarded(false, [&] {
    const TModuleTurns::TMainTurn turn(FTurns);
    // The program being left keeps the values the host set, not the modulation on top.
    for (int32_t i = 0; i < FParameters; ++i)
      if (FModulation[size_t(i)].load() != 0.0)
        FModule->SetParameter(i, float(FBase[size_t(i)].load()));
    FModule->SelectProgram(program);
    TakeModuleValues();
    return true;
  });
}
