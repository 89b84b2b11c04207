// A small CLAP effect for the validator's tests: a stereo gain with one parameter, a state of
// eight bytes and an editor that is a coloured X11 window. Built once as it is and once per fault
// (FAULT_...), each a fault real plug-ins have shipped.
#include "Faults.h"
#include "formats/clap/ClapAbi.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

struct Gain {
  clap_plugin plugin;
  const clap_host* host;
  const clap_host_params* params = nullptr;
  Display* display = nullptr; // the editor's, while it is made
  Window window = 0;
  clap_id timer = CLAP_INVALID_ID; // that pumps the editor's connection
#if defined(FAULT_SHARED_STATE)
  static inline double gain = 1.0; // one for every instance
  static inline double played = 1.0;
#else
  double gain = 1.0;   // what the host reads
  double played = 1.0; // what process plays
#endif
};

Gain& Of(const clap_plugin* p) {
  return *static_cast<Gain*>(p->plugin_data);
}

#if defined(FAULT_DUPLICATE_FEATURE)
const char* const kFeatures[] = {"audio-effect", "stereo", "audio-effect", nullptr};
#else
const char* const kFeatures[] = {"audio-effect", "stereo", nullptr};
#endif
const clap_plugin_descriptor kDescriptor = {
    CLAP_VERSION_OURS, "invalid.zintrax.faulty", "Faulty", "", "", "", "", "1.0.0", "", kFeatures};

// Answers how many values came.
uint32_t Apply(Gain& g, const clap_input_events* in) {
  const uint32_t count = in ? in->size(in) : 0;
  uint32_t values = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const clap_event_header* e = in->get(in, i);
    if (e && e->space_id == CLAP_CORE_EVENT_SPACE_ID && e->type == CLAP_EVENT_PARAM_VALUE) {
      g.gain = g.played =
          std::clamp(reinterpret_cast<const clap_event_param_value*>(e)->value, 0.0, 2.0);
      ++values;
    }
  }
  return values;
}

clap_process_status Process(const clap_plugin* p, const clap_process* process) {
  Gain& g = Of(p);
#if defined(FAULT_RESCAN_ON_AUDIO)
  // tells the host of the change from where it happened
  if (Apply(g, process->in_events) > 0 && g.params)
    g.params->rescan(g.host, CLAP_PARAM_RESCAN_VALUES);
#else
  Apply(g, process->in_events);
#endif
#if defined(FAULT_STACK_HOG)
  faults::UseMegabyteOfStack();
#endif
#if defined(FAULT_ALLOCATES)
  delete[] new (std::nothrow) float[process->frames_count + 1];
#endif
  uint32_t frames = process->frames_count;
#if defined(FAULT_PAST_END)
  ++frames; // a vector loop that rounds up
#endif
  for (uint32_t c = 0; c < 2; ++c) {
    const float* in = process->audio_inputs[0].data32[c];
    float* out = process->audio_outputs[0].data32[c];
#if defined(FAULT_READS_PAST_END)
    faults::ReadRoundedUp(in, long(process->frames_count));
#endif
    for (uint32_t i = 0; i < frames; ++i)
      out[i] = float(in[i] * g.played);
  }
  return CLAP_PROCESS_CONTINUE;
}

const clap_plugin_audio_ports kPorts = {
    [](const clap_plugin*, bool) { return 1u; },
    [](const clap_plugin*, uint32_t index, bool input, clap_audio_port_info* info) {
      if (index != 0)
        return false;
      std::memset(info, 0, sizeof *info);
      std::strcpy(info->name, input ? "In" : "Out");
      info->flags = CLAP_AUDIO_PORT_IS_MAIN;
      info->channel_count = 2;
      info->port_type = CLAP_PORT_STEREO;
      info->in_place_pair = CLAP_INVALID_ID;
      return true;
    }};

const clap_plugin_params kParams = {
    [](const clap_plugin*) { return 1u; },
    [](const clap_plugin*, uint32_t index, clap_param_info* info) {
      if (index != 0)
        return false;
      std::memset(info, 0, sizeof *info);
      info->flags = CLAP_PARAM_IS_AUTOMATABLE;
      std::strcpy(info->name, "Gain");
      info->max_value = 2.0;
      info->default_value = 1.0;
      return true;
    },
    [](const clap_plugin* p, clap_id id, double* value) {
      if (id != 0)
        return false;
      *value = Of(p).gain;
      return true;
    },
    [](const clap_plugin*, clap_id, double, char*, uint32_t) { return false; },
    [](const clap_plugin*, clap_id, const char*, double*) { return false; },
    [](const clap_plugin* p, const clap_input_events* in, const clap_output_events*) {
      Apply(Of(p), in);
    }};

const clap_plugin_state kState = {[](const clap_plugin* p, const clap_ostream* stream) {
                                    const double gain = Of(p).gain;
                                    const auto* bytes = reinterpret_cast<const uint8_t*>(&gain);
                                    for (uint64_t done = 0; done < sizeof gain;) {
                                      const int64_t n =
                                          stream->write(stream, bytes + done, sizeof gain - done);
                                      if (n <= 0)
                                        return false;
                                      done += uint64_t(n);
                                    }
                                    return true;
                                  },
                                  [](const clap_plugin* p, const clap_istream* stream) {
                                    double gain = 0;
                                    auto* bytes = reinterpret_cast<uint8_t*>(&gain);
                                    uint64_t done = 0;
                                    while (done < sizeof gain) {
                                      const int64_t n =
                                          stream->read(stream, bytes + done, sizeof gain - done);
                                      if (n <= 0)
                                        break;
                                      done += uint64_t(n);
                                    }
#if defined(FAULT_STATE_EMPTY)
                                    if (done == 0)
                                      return true; // an empty project slot "loads"
#endif
                                    if (done != sizeof gain || !(gain >= 0.0 && gain <= 2.0))
                                      return false;
                                    Gain& g = Of(p);
                                    g.gain = gain;
#if !defined(FAULT_STATE_STALE_SOUND)
                                    g.played = gain; // else only events change the sound
#endif
#if !defined(FAULT_NO_RESCAN)
                                    if (g.params)
                                      g.params->rescan(g.host, CLAP_PARAM_RESCAN_VALUES);
#endif
                                    return true;
                                  }};

const clap_host_timer_support* Timers(const Gain& g) {
  return static_cast<const clap_host_timer_support*>(
      g.host->get_extension(g.host, CLAP_EXT_TIMER_SUPPORT));
}

void DestroyEditor(Gain& g) {
  if (!g.display)
    return;
  if (g.timer != CLAP_INVALID_ID)
    Timers(g)->unregister_timer(g.host, g.timer);
  g.timer = CLAP_INVALID_ID;
  if (g.window)
    XDestroyWindow(g.display, g.window);
  XCloseDisplay(g.display);
  g.display = nullptr;
  g.window = 0;
}

bool IsX11(const char* api, bool floating) {
  return api && std::strcmp(api, CLAP_WINDOW_API_X11) == 0 && !floating;
}

const clap_plugin_gui kGui = {
    [](const clap_plugin*, const char* api, bool floating) { return IsX11(api, floating); },
    [](const clap_plugin*, const char** api, bool* floating) {
      *api = CLAP_WINDOW_API_X11;
      *floating = false;
      return true;
    },
    [](const clap_plugin* p, const char* api, bool floating) {
      Gain& g = Of(p);
      const clap_host_timer_support* timers = Timers(g);
      if (!IsX11(api, floating) || g.display || !timers || !(g.display = XOpenDisplay(nullptr)))
        return false;
      if (!timers->register_timer(g.host, 30, &g.timer)) {
        DestroyEditor(g);
        return false;
      }
      return true;
    },
    [](const clap_plugin* p) { DestroyEditor(Of(p)); },
    [](const clap_plugin*, double) { return false; },
    [](const clap_plugin*, uint32_t* width, uint32_t* height) {
      *width = 200;
      *height = 120;
      return true;
    },
    [](const clap_plugin*) { return false; },
    [](const clap_plugin*, clap_gui_resize_hints*) { return false; },
    [](const clap_plugin*, uint32_t*, uint32_t*) { return false; },
    [](const clap_plugin*, uint32_t, uint32_t) { return false; },
    [](const clap_plugin* p, const clap_window* parent) {
      Gain& g = Of(p);
      if (!g.display || g.window || !parent || !parent->x11)
        return false;
#if defined(FAULT_TOP_LEVEL)
      const Window in = DefaultRootWindow(g.display); // a window of its own
#else
      const Window in = parent->x11;
#endif
      g.window = XCreateSimpleWindow(g.display, in, 0, 0, 200, 120, 0, 0, 0x336699);
      XMapWindow(g.display, g.window);
      XSync(g.display, False);
      return true;
    },
    [](const clap_plugin*, const clap_window*) { return false; },
    [](const clap_plugin*, const char*) {},
    [](const clap_plugin*) { return true; },
    [](const clap_plugin*) { return true; }};

const clap_plugin_timer_support kTimer = {[](const clap_plugin* p, clap_id) {
  Gain& g = Of(p);
  while (g.display && XPending(g.display) > 0) {
    XEvent event;
    XNextEvent(g.display, &event);
  }
}};

const clap_plugin* Create(const clap_host* host) {
  auto* g = new Gain{};
  g->host = host;
  clap_plugin& p = g->plugin;
  p.desc = &kDescriptor;
  p.plugin_data = g;
  p.init = [](const clap_plugin* self) {
    Gain& g = Of(self);
    g.params = static_cast<const clap_host_params*>(g.host->get_extension(g.host, CLAP_EXT_PARAMS));
    return true;
  };
  p.destroy = [](const clap_plugin* self) {
    DestroyEditor(Of(self));
    delete &Of(self);
  };
  p.activate = [](const clap_plugin*, double, uint32_t, uint32_t) { return true; };
  p.deactivate = [](const clap_plugin*) {};
  p.start_processing = [](const clap_plugin*) { return true; };
  p.stop_processing = [](const clap_plugin*) {};
  p.reset = [](const clap_plugin*) {};
  p.process = Process;
  p.get_extension = [](const clap_plugin*, const char* id) -> const void* {
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0)
      return &kPorts;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0)
      return &kParams;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0)
      return &kState;
    if (std::strcmp(id, CLAP_EXT_GUI) == 0)
      return &kGui;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0)
      return &kTimer;
    return nullptr;
  };
  p.on_main_thread = [](const clap_plugin*) {};
  return &p;
}

const clap_plugin_factory kFactory = {
    [](const clap_plugin_factory*) { return 1u; },
    [](const clap_plugin_factory*, uint32_t index) { return index == 0 ? &kDescriptor : nullptr; },
    [](const clap_plugin_factory*, const clap_host* host, const char* id) -> const clap_plugin* {
      return id && std::strcmp(id, kDescriptor.id) == 0 ? Create(host) : nullptr;
    }};

} // namespace

extern "C" {
__attribute__((visibility("default"))) extern const clap_plugin_entry clap_entry = {
    CLAP_VERSION_OURS, [](const char*) { return true; }, [] {},
    [](const char* id) -> const void* {
      return std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &kFactory : nullptr;
    }};
}
