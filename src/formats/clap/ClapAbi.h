// Our own declarations of the CLAP interface, as far as a stereo effect with parameters, state,
// factory presets and an embedded editor needs it: plain C structs in the interface's field order,
// shared by the plug-in and the hosts that load one. Layouts are checked at the end for Linux
// (x86_64, arm64) and Windows (x64, x86).
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define CLAP_ABI __cdecl
#else
#define CLAP_ABI
#endif

extern "C" {

using clap_id = uint32_t;
inline constexpr clap_id CLAP_INVALID_ID = 0xFFFFFFFFu;
inline constexpr uint32_t CLAP_NAME_SIZE = 256;
inline constexpr uint32_t CLAP_PATH_SIZE = 1024;

struct clap_version {
  uint32_t major, minor, revision;
};
// The revision whose rules this code follows.
inline constexpr clap_version CLAP_VERSION_OURS = {1, 2, 10};

struct clap_plugin_descriptor {
  clap_version clap_version;
  const char* id;
  const char* name;
  const char* vendor;
  const char* url;
  const char* manual_url;
  const char* support_url;
  const char* version;
  const char* description;
  const char* const* features;
};

struct clap_plugin_entry {
  clap_version clap_version;
  bool(CLAP_ABI* init)(const char* plugin_path);
  void(CLAP_ABI* deinit)();
  const void*(CLAP_ABI* get_factory)(const char* factory_id);
};

struct clap_host {
  clap_version clap_version;
  void* host_data;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  const void*(CLAP_ABI* get_extension)(const clap_host* host, const char* extension_id);
  void(CLAP_ABI* request_restart)(const clap_host* host);
  void(CLAP_ABI* request_process)(const clap_host* host);
  void(CLAP_ABI* request_callback)(const clap_host* host);
};

// --- Events ---
struct clap_event_header {
  uint32_t size;
  uint32_t time;
  uint16_t space_id;
  uint16_t type;
  uint32_t flags;
};
inline constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;
inline constexpr uint32_t CLAP_EVENT_IS_LIVE = 1u << 0;
enum : uint16_t {
  CLAP_EVENT_PARAM_VALUE = 5,
  CLAP_EVENT_PARAM_MOD = 6,
  CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
  CLAP_EVENT_PARAM_GESTURE_END = 8,
  CLAP_EVENT_TRANSPORT = 9,
};

// PARAM_VALUE carries the new value, PARAM_MOD the modulation amount, in the same field.
struct clap_event_param_value {
  clap_event_header header;
  clap_id param_id;
  void* cookie;
  int32_t note_id;
  int16_t port_index;
  int16_t channel;
  int16_t key;
  double value;
};
using clap_event_param_mod = clap_event_param_value;

struct clap_event_param_gesture {
  clap_event_header header;
  clap_id param_id;
};

struct clap_event_transport {
  clap_event_header header;
  uint32_t flags;
  int64_t song_pos_beats;
  int64_t song_pos_seconds;
  double tempo;
  double tempo_inc;
  int64_t loop_start_beats;
  int64_t loop_end_beats;
  int64_t loop_start_seconds;
  int64_t loop_end_seconds;
  int64_t bar_start;
  int32_t bar_number;
  uint16_t tsig_num;
  uint16_t tsig_denom;
};

struct clap_input_events {
  void* ctx;
  uint32_t(CLAP_ABI* size)(const clap_input_events* list);
  const clap_event_header*(CLAP_ABI* get)(const clap_input_events* list, uint32_t index);
};

struct clap_output_events {
  void* ctx;
  bool(CLAP_ABI* try_push)(const clap_output_events* list, const clap_event_header* event);
};

// --- Audio ---
struct clap_audio_buffer {
  float** data32;
  double** data64;
  uint32_t channel_count;
  uint32_t latency;
  uint64_t constant_mask;
};

struct clap_process {
  int64_t steady_time;
  uint32_t frames_count;
  const clap_event_transport* transport;
  const clap_audio_buffer* audio_inputs;
  clap_audio_buffer* audio_outputs;
  uint32_t audio_inputs_count;
  uint32_t audio_outputs_count;
  const clap_input_events* in_events;
  const clap_output_events* out_events;
};

using clap_process_status = int32_t;
enum : clap_process_status {
  CLAP_PROCESS_ERROR = 0,
  CLAP_PROCESS_CONTINUE = 1,
  CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
  CLAP_PROCESS_TAIL = 3,
  CLAP_PROCESS_SLEEP = 4,
};

// --- The instance and its factory ---
struct clap_plugin {
  const clap_plugin_descriptor* desc;
  void* plugin_data;
  bool(CLAP_ABI* init)(const clap_plugin* plugin);
  void(CLAP_ABI* destroy)(const clap_plugin* plugin);
  bool(CLAP_ABI* activate)(const clap_plugin* plugin, double sample_rate, uint32_t min_frames,
                           uint32_t max_frames);
  void(CLAP_ABI* deactivate)(const clap_plugin* plugin);
  bool(CLAP_ABI* start_processing)(const clap_plugin* plugin);
  void(CLAP_ABI* stop_processing)(const clap_plugin* plugin);
  void(CLAP_ABI* reset)(const clap_plugin* plugin);
  clap_process_status(CLAP_ABI* process)(const clap_plugin* plugin, const clap_process* process);
  const void*(CLAP_ABI* get_extension)(const clap_plugin* plugin, const char* id);
  void(CLAP_ABI* on_main_thread)(const clap_plugin* plugin);
};

inline constexpr const char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";
struct clap_plugin_factory {
  uint32_t(CLAP_ABI* get_plugin_count)(const clap_plugin_factory* factory);
  const clap_plugin_descriptor*(CLAP_ABI* get_plugin_descriptor)(const clap_plugin_factory* factory,
                                                                 uint32_t index);
  const clap_plugin*(CLAP_ABI* create_plugin)(const clap_plugin_factory* factory,
                                              const clap_host* host, const char* plugin_id);
};

// --- clap.audio-ports ---
inline constexpr const char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
inline constexpr uint32_t CLAP_AUDIO_PORT_IS_MAIN = 1u << 0;
inline constexpr const char CLAP_PORT_STEREO[] = "stereo";
struct clap_audio_port_info {
  clap_id id;
  char name[CLAP_NAME_SIZE];
  uint32_t flags;
  uint32_t channel_count;
  const char* port_type;
  clap_id in_place_pair;
};
struct clap_plugin_audio_ports {
  uint32_t(CLAP_ABI* count)(const clap_plugin* plugin, bool is_input);
  bool(CLAP_ABI* get)(const clap_plugin* plugin, uint32_t index, bool is_input,
                      clap_audio_port_info* info);
};

// --- clap.params ---
inline constexpr const char CLAP_EXT_PARAMS[] = "clap.params";
enum : uint32_t {
  CLAP_PARAM_IS_STEPPED = 1u << 0,
  CLAP_PARAM_IS_HIDDEN = 1u << 2,
  CLAP_PARAM_IS_READONLY = 1u << 3,
  CLAP_PARAM_IS_BYPASS = 1u << 4,
  CLAP_PARAM_IS_AUTOMATABLE = 1u << 5,
  CLAP_PARAM_IS_MODULATABLE = 1u << 10,
  CLAP_PARAM_REQUIRES_PROCESS = 1u << 15,
  CLAP_PARAM_IS_ENUM = 1u << 16,
};
struct clap_param_info {
  clap_id id;
  uint32_t flags;
  void* cookie;
  char name[CLAP_NAME_SIZE];
  char module[CLAP_PATH_SIZE];
  double min_value;
  double max_value;
  double default_value;
};
struct clap_plugin_params {
  uint32_t(CLAP_ABI* count)(const clap_plugin* plugin);
  bool(CLAP_ABI* get_info)(const clap_plugin* plugin, uint32_t index, clap_param_info* info);
  bool(CLAP_ABI* get_value)(const clap_plugin* plugin, clap_id id, double* value);
  bool(CLAP_ABI* value_to_text)(const clap_plugin* plugin, clap_id id, double value, char* text,
                                uint32_t capacity);
  bool(CLAP_ABI* text_to_value)(const clap_plugin* plugin, clap_id id, const char* text,
                                double* value);
  void(CLAP_ABI* flush)(const clap_plugin* plugin, const clap_input_events* in,
                        const clap_output_events* out);
};
enum : uint32_t {
  CLAP_PARAM_RESCAN_VALUES = 1u << 0,
  CLAP_PARAM_RESCAN_TEXT = 1u << 1,
  CLAP_PARAM_RESCAN_INFO = 1u << 2,
  CLAP_PARAM_RESCAN_ALL = 1u << 3,
};
struct clap_host_params {
  void(CLAP_ABI* rescan)(const clap_host* host, uint32_t flags);
  void(CLAP_ABI* clear)(const clap_host* host, clap_id id, uint32_t flags);
  void(CLAP_ABI* request_flush)(const clap_host* host);
};

// --- clap.state ---
inline constexpr const char CLAP_EXT_STATE[] = "clap.state";
struct clap_ostream {
  void* ctx;
  int64_t(CLAP_ABI* write)(const clap_ostream* stream, const void* buffer, uint64_t size);
};
struct clap_istream {
  void* ctx;
  int64_t(CLAP_ABI* read)(const clap_istream* stream, void* buffer, uint64_t size);
};
struct clap_plugin_state {
  bool(CLAP_ABI* save)(const clap_plugin* plugin, const clap_ostream* stream);
  bool(CLAP_ABI* load)(const clap_plugin* plugin, const clap_istream* stream);
};
struct clap_host_state {
  void(CLAP_ABI* mark_dirty)(const clap_host* host);
};

// --- clap.latency, clap.tail ---
inline constexpr const char CLAP_EXT_LATENCY[] = "clap.latency";
struct clap_plugin_latency {
  uint32_t(CLAP_ABI* get)(const clap_plugin* plugin);
};
inline constexpr const char CLAP_EXT_TAIL[] = "clap.tail";
struct clap_plugin_tail {
  uint32_t(CLAP_ABI* get)(const clap_plugin* plugin);
};

// --- Presets: the preset-discovery factory and clap.preset-load ---
inline constexpr const char CLAP_PRESET_DISCOVERY_FACTORY_ID[] = "clap.preset-discovery-factory/2";
inline constexpr const char CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT[] =
    "clap.preset-discovery-factory/draft-2";
enum : uint32_t {
  CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0,
  CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1
};
inline constexpr uint32_t CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1u << 0;

struct clap_universal_plugin_id {
  const char* abi;
  const char* id;
};
struct clap_preset_discovery_location {
  uint32_t flags;
  const char* name;
  uint32_t kind;
  const char* location;
};
struct clap_preset_discovery_filetype {
  const char* name;
  const char* description;
  const char* file_extension;
};
struct clap_preset_discovery_soundpack {
  uint32_t flags;
  const char* id;
  const char* name;
  const char* description;
  const char* homepage_url;
  const char* vendor;
  const char* image_path;
  uint64_t release_timestamp;
};
struct clap_preset_discovery_metadata_receiver {
  void* receiver_data;
  void(CLAP_ABI* on_error)(const clap_preset_discovery_metadata_receiver* receiver,
                           int32_t os_error, const char* message);
  bool(CLAP_ABI* begin_preset)(const clap_preset_discovery_metadata_receiver* receiver,
                               const char* name, const char* load_key);
  void(CLAP_ABI* add_plugin_id)(const clap_preset_discovery_metadata_receiver* receiver,
                                const clap_universal_plugin_id* plugin_id);
  void(CLAP_ABI* set_soundpack_id)(const clap_preset_discovery_metadata_receiver* receiver,
                                   const char* soundpack_id);
  void(CLAP_ABI* set_flags)(const clap_preset_discovery_metadata_receiver* receiver,
                            uint32_t flags);
  void(CLAP_ABI* add_creator)(const clap_preset_discovery_metadata_receiver* receiver,
                              const char* creator);
  void(CLAP_ABI* set_description)(const clap_preset_discovery_metadata_receiver* receiver,
                                  const char* description);
  void(CLAP_ABI* set_timestamps)(const clap_preset_discovery_metadata_receiver* receiver,
                                 uint64_t created, uint64_t modified);
  void(CLAP_ABI* add_feature)(const clap_preset_discovery_metadata_receiver* receiver,
                              const char* feature);
  void(CLAP_ABI* add_extra_info)(const clap_preset_discovery_metadata_receiver* receiver,
                                 const char* key, const char* value);
};
struct clap_preset_discovery_provider_descriptor {
  clap_version clap_version;
  const char* id;
  const char* name;
  const char* vendor;
};
struct clap_preset_discovery_provider {
  const clap_preset_discovery_provider_descriptor* desc;
  void* provider_data;
  bool(CLAP_ABI* init)(const clap_preset_discovery_provider* provider);
  void(CLAP_ABI* destroy)(const clap_preset_discovery_provider* provider);
  bool(CLAP_ABI* get_metadata)(const clap_preset_discovery_provider* provider,
                               uint32_t location_kind, const char* location,
                               const clap_preset_discovery_metadata_receiver* receiver);
  const void*(CLAP_ABI* get_extension)(const clap_preset_discovery_provider* provider,
                                       const char* id);
};
struct clap_preset_discovery_indexer {
  clap_version clap_version;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  void* indexer_data;
  bool(CLAP_ABI* declare_filetype)(const clap_preset_discovery_indexer* indexer,
                                   const clap_preset_discovery_filetype* filetype);
  bool(CLAP_ABI* declare_location)(const clap_preset_discovery_indexer* indexer,
                                   const clap_preset_discovery_location* location);
  bool(CLAP_ABI* declare_soundpack)(const clap_preset_discovery_indexer* indexer,
                                    const clap_preset_discovery_soundpack* soundpack);
  const void*(CLAP_ABI* get_extension)(const clap_preset_discovery_indexer* indexer,
                                       const char* id);
};
struct clap_preset_discovery_factory {
  uint32_t(CLAP_ABI* count)(const clap_preset_discovery_factory* factory);
  const clap_preset_discovery_provider_descriptor*(CLAP_ABI* get_descriptor)(
      const clap_preset_discovery_factory* factory, uint32_t index);
  const clap_preset_discovery_provider*(CLAP_ABI* create)(
      const clap_preset_discovery_factory* factory, const clap_preset_discovery_indexer* indexer,
      const char* provider_id);
};

inline constexpr const char CLAP_EXT_PRESET_LOAD[] = "clap.preset-load/2";
inline constexpr const char CLAP_EXT_PRESET_LOAD_COMPAT[] = "clap.preset-load.draft/2";
struct clap_plugin_preset_load {
  bool(CLAP_ABI* from_location)(const clap_plugin* plugin, uint32_t location_kind,
                                const char* location, const char* load_key);
};

// --- clap.gui, clap.timer-support, clap.posix-fd-support ---
inline constexpr const char CLAP_EXT_GUI[] = "clap.gui";
inline constexpr const char CLAP_WINDOW_API_X11[] = "x11";
inline constexpr const char CLAP_WINDOW_API_WIN32[] = "win32";
struct clap_window {
  const char* api;
  union {
    unsigned long x11;
    void* win32;
    void* cocoa;
    void* ptr;
  };
};
struct clap_gui_resize_hints {
  bool can_resize_horizontally;
  bool can_resize_vertically;
  bool preserve_aspect_ratio;
  uint32_t aspect_ratio_width;
  uint32_t aspect_ratio_height;
};
struct clap_plugin_gui {
  bool(CLAP_ABI* is_api_supported)(const clap_plugin* plugin, const char* api, bool is_floating);
  bool(CLAP_ABI* get_preferred_api)(const clap_plugin* plugin, const char** api, bool* is_floating);
  bool(CLAP_ABI* create)(const clap_plugin* plugin, const char* api, bool is_floating);
  void(CLAP_ABI* destroy)(const clap_plugin* plugin);
  bool(CLAP_ABI* set_scale)(const clap_plugin* plugin, double scale);
  bool(CLAP_ABI* get_size)(const clap_plugin* plugin, uint32_t* width, uint32_t* height);
  bool(CLAP_ABI* can_resize)(const clap_plugin* plugin);
  bool(CLAP_ABI* get_resize_hints)(const clap_plugin* plugin, clap_gui_resize_hints* hints);
  bool(CLAP_ABI* adjust_size)(const clap_plugin* plugin, uint32_t* width, uint32_t* height);
  bool(CLAP_ABI* set_size)(const clap_plugin* plugin, uint32_t width, uint32_t height);
  bool(CLAP_ABI* set_parent)(const clap_plugin* plugin, const clap_window* window);
  bool(CLAP_ABI* set_transient)(const clap_plugin* plugin, const clap_window* window);
  void(CLAP_ABI* suggest_title)(const clap_plugin* plugin, const char* title);
  bool(CLAP_ABI* show)(const clap_plugin* plugin);
  bool(CLAP_ABI* hide)(const clap_plugin* plugin);
};
struct clap_host_gui {
  void(CLAP_ABI* resize_hints_changed)(const clap_host* host);
  bool(CLAP_ABI* request_resize)(const clap_host* host, uint32_t width, uint32_t height);
  bool(CLAP_ABI* request_show)(const clap_host* host);
  bool(CLAP_ABI* request_hide)(const clap_host* host);
  void(CLAP_ABI* closed)(const clap_host* host, bool was_destroyed);
};

inline constexpr const char CLAP_EXT_TIMER_SUPPORT[] = "clap.timer-support";
struct clap_plugin_timer_support {
  void(CLAP_ABI* on_timer)(const clap_plugin* plugin, clap_id timer_id);
};
struct clap_host_timer_support {
  bool(CLAP_ABI* register_timer)(const clap_host* host, uint32_t period_ms, clap_id* timer_id);
  bool(CLAP_ABI* unregister_timer)(const clap_host* host, clap_id timer_id);
};

inline constexpr const char CLAP_EXT_POSIX_FD_SUPPORT[] = "clap.posix-fd-support";
enum : uint32_t {
  CLAP_POSIX_FD_READ = 1u << 0,
  CLAP_POSIX_FD_WRITE = 1u << 1,
  CLAP_POSIX_FD_ERROR = 1u << 2
};
struct clap_plugin_posix_fd_support {
  void(CLAP_ABI* on_fd)(const clap_plugin* plugin, int fd, uint32_t flags);
};
struct clap_host_posix_fd_support {
  bool(CLAP_ABI* register_fd)(const clap_host* host, int fd, uint32_t flags);
  bool(CLAP_ABI* modify_fd)(const clap_host* host, int fd, uint32_t flags);
  bool(CLAP_ABI* unregister_fd)(const clap_host* host, int fd);
};

inline constexpr const char CLAP_EXT_LOG[] = "clap.log";
enum : int32_t { CLAP_LOG_WARNING = 2, CLAP_LOG_ERROR = 3 };
struct clap_host_log {
  void(CLAP_ABI* log)(const clap_host* host, int32_t severity, const char* message);
};

inline constexpr const char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";
struct clap_host_thread_check {
  bool(CLAP_ABI* is_main_thread)(const clap_host* host);
  bool(CLAP_ABI* is_audio_thread)(const clap_host* host);
};

} // extern "C"

// The layouts measured from the interface's own headers.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(clap_plugin_entry) == 24 && sizeof(clap_plugin_descriptor) == 48);
static_assert(sizeof(clap_plugin) == 48 && sizeof(clap_host) == 48);
static_assert(sizeof(clap_process) == 40 && offsetof(clap_process, in_events) == 32);
static_assert(sizeof(clap_audio_buffer) == 24 && offsetof(clap_audio_buffer, constant_mask) == 16);
static_assert(sizeof(clap_event_param_value) == 48 &&
              offsetof(clap_event_param_value, value) == 40);
static_assert(sizeof(clap_audio_port_info) == 276 &&
              offsetof(clap_audio_port_info, port_type) == 268);
static_assert(sizeof(clap_preset_discovery_indexer) == 48 &&
              sizeof(clap_preset_discovery_location) == 16);
static_assert(sizeof(clap_preset_discovery_metadata_receiver) == 44);
static_assert(sizeof(clap_plugin_gui) == 60 && sizeof(clap_window) == 8 &&
              sizeof(clap_host_gui) == 20);
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(clap_plugin_entry) == 40 && sizeof(clap_plugin_descriptor) == 88);
static_assert(sizeof(clap_plugin) == 96 && sizeof(clap_host) == 88);
static_assert(sizeof(clap_process) == 64 && offsetof(clap_process, in_events) == 48);
static_assert(sizeof(clap_audio_buffer) == 32 && offsetof(clap_audio_buffer, constant_mask) == 24);
static_assert(sizeof(clap_event_param_value) == 56 &&
              offsetof(clap_event_param_value, value) == 48);
static_assert(sizeof(clap_audio_port_info) == 288 &&
              offsetof(clap_audio_port_info, port_type) == 272);
static_assert(sizeof(clap_preset_discovery_indexer) == 88 &&
              sizeof(clap_preset_discovery_location) == 32);
static_assert(sizeof(clap_preset_discovery_metadata_receiver) == 88);
static_assert(sizeof(clap_plugin_gui) == 120 && sizeof(clap_window) == 16 &&
              sizeof(clap_host_gui) == 40);
#endif
static_assert(sizeof(clap_event_header) == 16 && sizeof(clap_event_param_gesture) == 20);
static_assert(sizeof(clap_param_info) == 1320 && offsetof(clap_param_info, min_value) == 1296);
static_assert(sizeof(clap_gui_resize_hints) == 12);
#if defined(_WIN32) || UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
static_assert(sizeof(clap_event_transport) == 104);
#endif
