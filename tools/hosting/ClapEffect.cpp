#include "hosting/ClapEffect.h"

#include "hosting/Errors.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#if !defined(_WIN32)
#include <poll.h>
#endif

namespace zhost {

namespace {

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Where the plug-in's events go when the caller keeps none.
// Marks the calling thread as the audio thread for as long as it runs the plug-in's audio calls.
class AudioScope {
public:
  explicit AudioScope(std::atomic<std::thread::id>& audio) : FAudio(audio) {
    FAudio = std::this_thread::get_id();
  }
  ~AudioScope() { FAudio = std::thread::id(); }
  AudioScope(const AudioScope&) = delete;
  AudioScope& operator=(const AudioScope&) = delete;

private:
  std::atomic<std::thread::id>& FAudio;
};

const clap_output_events kDiscard = {
    nullptr,
    [](const clap_output_events*, const clap_event_header* event) { return event != nullptr; }};

template <class T> const T* PluginExtension(const clap_plugin* plugin, const char* id) {
  return plugin->get_extension ? static_cast<const T*>(plugin->get_extension(plugin, id)) : nullptr;
}

} // namespace

ClapEventList::ClapEventList() {
  FList.ctx = this;
  FList.size = [](const clap_input_events* list) {
    return uint32_t(static_cast<const ClapEventList*>(list->ctx)->FEvents.size());
  };
  FList.get = [](const clap_input_events* list, uint32_t index) -> const clap_event_header* {
    const auto& events = static_cast<const ClapEventList*>(list->ctx)->FEvents;
    return index < events.size() ? &events[index].header : nullptr;
  };
}

void ClapEventList::Value(uint32_t time, clap_id id, double value, uint16_t space) {
  clap_event_param_value event{};
  event.header = {sizeof event, time, space, CLAP_EVENT_PARAM_VALUE, 0};
  event.param_id = id;
  event.note_id = -1;
  event.port_index = event.channel = event.key = -1;
  event.value = value;
  FEvents.push_back(event);
}

void ClapEventList::Modulation(uint32_t time, clap_id id, double amount) {
  Value(time, id, amount);
  FEvents.back().header.type = CLAP_EVENT_PARAM_MOD;
}

ClapOutputList::ClapOutputList() {
  FList.ctx = this;
  FList.try_push = [](const clap_output_events* list, const clap_event_header* event) {
    if (!event || event->size < sizeof *event || event->size > 4096)
      return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(event);
    static_cast<ClapOutputList*>(list->ctx)->events.emplace_back(bytes, bytes + event->size);
    return true;
  };
}

ClapEffect::ClapEffect(const ClapLibrary& library, const std::string& id, bool runLoop)
    : FRunLoop(runLoop) {
  std::memset(&FHost, 0, sizeof FHost);
  FHost.clap_version = CLAP_VERSION_OURS;
  FHost.host_data = this;
  FHost.name = "zintrax-host";
  FHost.vendor = "Merrowlake";
  FHost.url = "";
  FHost.version = "1";
  FHost.get_extension = [](const clap_host* host, const char* ext) {
    return ext ? Of(host).HostExtension(ext) : nullptr;
  };
  FHost.request_restart = [](const clap_host*) {};
  FHost.request_process = [](const clap_host*) {};
  FHost.request_callback = [](const clap_host*) {};

  const std::vector<const clap_plugin_descriptor*>& plugins = library.Plugins();
  if (plugins.empty())
    throw HostError(library.Path() + ": its factory offers no plug-in");
  const std::string wanted = id.empty() ? std::string(plugins[0]->id ? plugins[0]->id : "") : id;
  FPlugin = library.Factory().create_plugin(&library.Factory(), &FHost, wanted.c_str());
  if (!FPlugin || !FPlugin->init || !FPlugin->destroy || !FPlugin->process)
    throw HostError(library.Path() + ": the factory made no plug-in for \"" + wanted + "\"");
  if (!FPlugin->init(FPlugin)) {
    FPlugin->destroy(FPlugin);
    throw HostError(library.Path() + ": the plug-in's init refused");
  }
  FInitialised = true;
  params = PluginExtension<clap_plugin_params>(FPlugin, CLAP_EXT_PARAMS);
  ports = PluginExtension<clap_plugin_audio_ports>(FPlugin, CLAP_EXT_AUDIO_PORTS);
  state = PluginExtension<clap_plugin_state>(FPlugin, CLAP_EXT_STATE);
  FGui = PluginExtension<clap_plugin_gui>(FPlugin, CLAP_EXT_GUI);
  if (ports && ports->count && ports->get) {
    clap_audio_port_info info{};
    if (ports->count(FPlugin, true) > 0 && ports->get(FPlugin, 0, true, &info))
      FInputChannels = std::min(info.channel_count, 64u);
    if (ports->count(FPlugin, false) > 0 && ports->get(FPlugin, 0, false, &info))
      FOutputChannels = std::min(info.channel_count, 64u);
  }
  FInputPointers.assign(FInputChannels, nullptr);
  FOutputPointers.assign(FOutputChannels, nullptr);
  ReadParameters();
}

ClapEffect::~ClapEffect() {
  CloseEditor();
  if (FProcessing)
    StopProcessing();
  if (FActive)
    Deactivate();
  if (FPlugin)
    FPlugin->destroy(FPlugin);
}

const void* ClapEffect::HostExtension(const char* id) const {
  static const clap_host_params params = {
      [](const clap_host* host, uint32_t flags) {
        Of(host).CheckThread("params.rescan", true);
        if (flags & (CLAP_PARAM_RESCAN_VALUES | CLAP_PARAM_RESCAN_ALL))
          ++Of(host).FRescans;
      },
      [](const clap_host* host, clap_id, uint32_t) { Of(host).CheckThread("params.clear", true); },
      [](const clap_host* host) {
        Of(host).CheckThread("params.request_flush", false);
        ++Of(host).FFlushRequests;
      }};
  static const clap_host_state state = {
      [](const clap_host* host) { Of(host).CheckThread("state.mark_dirty", true); }};
  static const clap_host_thread_check threads = {
      [](const clap_host* host) { return std::this_thread::get_id() == Of(host).FMainThread; },
      [](const clap_host* host) { return Of(host).OnAudioThread(); }};
  static const clap_host_gui gui = {[](const clap_host*) {},
                                    [](const clap_host* host, uint32_t width, uint32_t height) {
                                      Of(host).resizeRequests.emplace_back(width, height);
                                      return true;
                                    },
                                    [](const clap_host*) { return false; },
                                    [](const clap_host*) { return false; },
                                    [](const clap_host*, bool) {}};
  static const clap_host_timer_support timers = {
      [](const clap_host* host, uint32_t period, clap_id* timer) {
        ClapEffect& effect = Of(host);
        effect.CheckThread("timer-support.register_timer", true);
        if (!timer ||
            !PluginExtension<clap_plugin_timer_support>(effect.FPlugin, CLAP_EXT_TIMER_SUPPORT))
          return false;
        period = std::clamp(period, 1u, 1000u);
        *timer = effect.FNextTimer++;
        effect.FTimers.push_back({*timer, period, SteadyMilliseconds() + period});
        return true;
      },
      [](const clap_host* host, clap_id timer) {
        Of(host).CheckThread("timer-support.unregister_timer", true);
        auto& list = Of(host).FTimers;
        const auto found =
            std::find_if(list.begin(), list.end(), [&](const Timer& t) { return t.id == timer; });
        if (found == list.end())
          return false;
        list.erase(found);
        return true;
      }};
  static const clap_host_posix_fd_support descriptors = {
      [](const clap_host* host, int fd, uint32_t flags) {
        Of(host).CheckThread("posix-fd-support.register_fd", true);
        auto& list = Of(host).FDescriptors;
        if (fd < 0 || flags != CLAP_POSIX_FD_READ ||
            std::find(list.begin(), list.end(), fd) != list.end() ||
            !PluginExtension<clap_plugin_posix_fd_support>(Of(host).FPlugin,
                                                           CLAP_EXT_POSIX_FD_SUPPORT))
          return false;
        list.push_back(fd);
        return true;
      },
      [](const clap_host* host, int fd, uint32_t flags) {
        Of(host).CheckThread("posix-fd-support.modify_fd", true);
        auto& list = Of(host).FDescriptors;
        return flags == CLAP_POSIX_FD_READ && std::find(list.begin(), list.end(), fd) != list.end();
      },
      [](const clap_host* host, int fd) {
        Of(host).CheckThread("posix-fd-support.unregister_fd", true);
        auto& list = Of(host).FDescriptors;
        const auto found = std::find(list.begin(), list.end(), fd);
        if (found == list.end())
          return false;
        list.erase(found);
        return true;
      }};
  if (std::strcmp(id, CLAP_EXT_PARAMS) == 0)
    return &params;
  if (std::strcmp(id, CLAP_EXT_STATE) == 0)
    return &state;
  if (std::strcmp(id, CLAP_EXT_GUI) == 0)
    return &gui;
  if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0)
    return &threads;
  if (FRunLoop && std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0)
    return &timers;
  if (FRunLoop && std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0)
    return &descriptors;
  return nullptr;
}

void ClapEffect::ReadParameters() {
  if (!params || !params->count || !params->get_info)
    return;
  const uint32_t count = std::min(params->count(FPlugin), 100000u);
  for (uint32_t i = 0; i < count; ++i) {
    clap_param_info info{};
    if (params->get_info(FPlugin, i, &info)) {
      info.name[sizeof info.name - 1] = '\0';
      info.module[sizeof info.module - 1] = '\0';
      FParameters.push_back(info);
    }
  }
}

void ClapEffect::Activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames) {
  if (FActive)
    return;
  if (!FPlugin->activate || !FPlugin->activate(FPlugin, sampleRate, minFrames, maxFrames))
    throw HostError("the plug-in refused to activate at " + std::to_string(sampleRate) + " Hz");
  FActive = true;
}

void ClapEffect::Deactivate() {
  if (FActive && FPlugin->deactivate)
    FPlugin->deactivate(FPlugin);
  FActive = false;
  FProcessing = false;
}

void ClapEffect::CheckThread(const char* call, bool mainOnly) {
  const char* where = OnAudioThread() ? "the audio thread"
                      : mainOnly && std::this_thread::get_id() != FMainThread
                          ? "a thread other than the main thread"
                          : nullptr;
  if (!where)
    return;
  const std::string fault = std::string(call) + " called on " + where;
  const std::lock_guard<std::mutex> lock(FThreadFaultsLock);
  if (std::find(FThreadFaults.begin(), FThreadFaults.end(), fault) == FThreadFaults.end())
    FThreadFaults.push_back(fault);
}

std::vector<std::string> ClapEffect::ThreadFaults() const {
  const std::lock_guard<std::mutex> lock(FThreadFaultsLock);
  return FThreadFaults;
}

void ClapEffect::StartProcessing() {
  const AudioScope audio(FAudioThread);
  if (FActive && !FProcessing)
    FProcessing = !FPlugin->start_processing || FPlugin->start_processing(FPlugin);
}

void ClapEffect::StopProcessing() {
  const AudioScope audio(FAudioThread);
  if (FProcessing && FPlugin->stop_processing)
    FPlugin->stop_processing(FPlugin);
  FProcessing = false;
}

clap_process_status ClapEffect::Process(const float* const* inputs, float* const* outputs,
                                        uint32_t frames, const ClapEventList* events,
                                        const clap_output_events* out) {
  StartProcessing();
  const AudioScope audio(FAudioThread);
  static const ClapEventList kNoEvents;
  // The pointer arrays were sized for the ports when they were read: nothing is allocated here.
  for (uint32_t c = 0; c < FInputChannels; ++c)
    FInputPointers[c] = inputs ? const_cast<float*>(inputs[c]) : nullptr; // only read
  for (uint32_t c = 0; c < FOutputChannels; ++c)
    FOutputPointers[c] = outputs ? outputs[c] : nullptr;
  clap_audio_buffer input{FInputPointers.data(), nullptr, FInputChannels, 0, 0};
  clap_audio_buffer output{FOutputPointers.data(), nullptr, FOutputChannels, 0, 0};
  clap_process process{};
  process.steady_time = FSteadyTime;
  process.frames_count = frames;
  process.audio_inputs = FInputChannels ? &input : nullptr;
  process.audio_outputs = FOutputChannels ? &output : nullptr;
  process.audio_inputs_count = FInputChannels ? 1 : 0;
  process.audio_outputs_count = FOutputChannels ? 1 : 0;
  process.in_events = (events ? events : &kNoEvents)->List();
  process.out_events = out ? out : &kDiscard;
  FSteadyTime += frames;
  return FPlugin->process(FPlugin, &process);
}

void ClapEffect::Flush(const ClapEventList& events, const clap_output_events* out) {
  std::optional<AudioScope> audio;
  if (FActive)
    audio.emplace(FAudioThread);
  if (params && params->flush)
    params->flush(FPlugin, events.List(), out ? out : &kDiscard);
}

std::optional<double> ClapEffect::Value(clap_id id) const {
  double value = 0.0;
  if (params && params->get_value && params->get_value(FPlugin, id, &value))
    return value;
  return std::nullopt;
}

std::string ClapEffect::Text(clap_id id, double value) const {
  char text[256] = {};
  if (!params || !params->value_to_text || !params->value_to_text(FPlugin, id, value, text, 256))
    return {};
  text[255] = '\0';
  return text;
}

std::optional<double> ClapEffect::Parse(clap_id id, const std::string& text) const {
  double value = 0.0;
  if (params && params->text_to_value && params->text_to_value(FPlugin, id, text.c_str(), &value))
    return value;
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> ClapEffect::Save(std::size_t chunk) const {
  struct Sink {
    std::vector<uint8_t> bytes;
    std::size_t chunk;
  } sink{{}, std::max<std::size_t>(chunk, 1)};
  clap_ostream stream{&sink, [](const clap_ostream* s, const void* buffer, uint64_t size) {
                        auto& to = *static_cast<Sink*>(s->ctx);
                        const std::size_t n = std::size_t(std::min<uint64_t>(size, to.chunk));
                        const auto* bytes = static_cast<const uint8_t*>(buffer);
                        to.bytes.insert(to.bytes.end(), bytes, bytes + n);
                        return int64_t(n);
                      }};
  if (!state || !state->save || !state->save(FPlugin, &stream))
    return std::nullopt;
  return sink.bytes;
}

bool ClapEffect::Load(const std::vector<uint8_t>& bytes, std::size_t chunk) {
  struct Source {
    const std::vector<uint8_t>& bytes;
    std::size_t at, chunk;
  } source{bytes, 0, std::max<std::size_t>(chunk, 1)};
  clap_istream stream{&source, [](const clap_istream* s, void* buffer, uint64_t size) {
                        auto& from = *static_cast<Source*>(s->ctx);
                        const std::size_t n = std::size_t(std::min<uint64_t>(
                            {size, from.chunk, uint64_t(from.bytes.size() - from.at)}));
                        if (n)
                          std::memcpy(buffer, from.bytes.data() + from.at, n);
                        from.at += n;
                        return int64_t(n);
                      }};
  return state && state->load && state->load(FPlugin, &stream);
}

bool ClapEffect::OpenEditor(unsigned long window, double scale) {
  if (FGuiOpen || !FGui || !FGui->is_api_supported || !FGui->create || !FGui->set_parent)
    return false;
  if (!FGui->is_api_supported(FPlugin, CLAP_WINDOW_API_X11, false) ||
      !FGui->create(FPlugin, CLAP_WINDOW_API_X11, false))
    return false;
  FGuiOpen = true;
  if (scale > 0.0 && FGui->set_scale)
    FGui->set_scale(FPlugin, scale);
  clap_window parent{};
  parent.api = CLAP_WINDOW_API_X11;
  parent.x11 = window;
  if (!FGui->set_parent(FPlugin, &parent)) {
    CloseEditor();
    return false;
  }
  if (FGui->show)
    FGui->show(FPlugin);
  return true;
}

void ClapEffect::CloseEditor() {
  if (!FGuiOpen)
    return;
  FGuiOpen = false;
  if (FGui->destroy)
    FGui->destroy(FPlugin);
}

void ClapEffect::RunLoop(int timeoutMs) {
  const int64_t now = SteadyMilliseconds();
  int64_t wait = timeoutMs;
  for (const Timer& t : FTimers)
    wait = std::min(wait, std::max<int64_t>(t.due - now, 0));
#if !defined(_WIN32)
  std::vector<pollfd> watched;
  for (int fd : FDescriptors)
    watched.push_back({fd, POLLIN, 0});
  if (poll(watched.data(), nfds_t(watched.size()), int(wait)) > 0)
    if (const auto* fds =
            PluginExtension<clap_plugin_posix_fd_support>(FPlugin, CLAP_EXT_POSIX_FD_SUPPORT))
      for (const pollfd& p : watched)
        if (p.revents & (POLLIN | POLLERR | POLLHUP))
          fds->on_fd(FPlugin, p.fd,
                     (p.revents & POLLIN ? CLAP_POSIX_FD_READ : 0) |
                         (p.revents & (POLLERR | POLLHUP) ? CLAP_POSIX_FD_ERROR : 0));
#endif
  const int64_t later = SteadyMilliseconds();
  if (const auto* timers =
          PluginExtension<clap_plugin_timer_support>(FPlugin, CLAP_EXT_TIMER_SUPPORT))
    for (std::size_t i = 0; i < FTimers.size(); ++i)
      if (FTimers[i].due <= later) {
        FTimers[i].due = later + FTimers[i].period;
        timers->on_timer(FPlugin, FTimers[i].id); // may unregister timers
      }
}

} // namespace zhost
