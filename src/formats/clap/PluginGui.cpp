// The editor as a CLAP host embeds it: the module's editor window made a child of the host's
// window (X11 on Linux, an HWND on Windows), 298 x 223 times the scale the host sets, not
// resizable. It is created, mapped and synced in set_parent, since some hosts never call show.
//
// On Linux the editor has no thread: the host's timer and its watch of the connection to the X
// server turn it. A host that offers neither is refused, and told why through its log. On Windows
// the host's message loop delivers the window's messages and a timer of the window system turns it.
#include "formats/clap/Plugin.h"

#include "formats/clap/Description.h"
#include "formats/clap/Guarded.h"
#include "formats/common/ModuleAdapter.h"
#include "platform/IdleTimer.h"
#include "skin/DisplayScale.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
#if defined(_WIN32)
constexpr const char* kApi = CLAP_WINDOW_API_WIN32;
#else
constexpr const char* kApi = CLAP_WINDOW_API_X11;
#endif
constexpr uint32_t kIdleMilliseconds = 20;
} // namespace

const clap_plugin_gui TClapPlugin::kGui = {
    [](const clap_plugin* p, const char* api, bool floating) {
      return Of(p).GuiSupported(api, floating);
    },
    [](const clap_plugin*, const char** api, bool* floating) {
      if (!api || !floating)
        return false;
      *api = kApi;
      *floating = false;
      return true;
    },
    [](const clap_plugin* p, const char* api, bool floating) {
      return Of(p).GuiCreate(api, floating);
    },
    [](const clap_plugin* p) { Of(p).GuiDestroy(); },
    [](const clap_plugin* p, double scale) { return Of(p).GuiSetScale(scale); },
    [](const clap_plugin* p, uint32_t* width, uint32_t* height) {
      return width && height && Of(p).GuiSize(*width, *height);
    },
    [](const clap_plugin*) { return false; },
    [](const clap_plugin*, clap_gui_resize_hints*) { return false; },
    [](const clap_plugin*, uint32_t*, uint32_t*) { return false; },
    [](const clap_plugin* p, uint32_t width, uint32_t height) {
      uint32_t w = 0, h = 0;
      return Of(p).GuiSize(w, h) && w == width && h == height;
    },
    [](const clap_plugin* p, const clap_window* window) {
      return window && Of(p).GuiSetParent(*window);
    },
    [](const clap_plugin*, const clap_window*) { return false; },
    [](const clap_plugin*, const char*) {},
    [](const clap_plugin* p) { return Of(p).FGuiCreated; },
    [](const clap_plugin* p) { return Of(p).FGuiCreated; }};

bool TClapPlugin::GuiSupported(const char* api, bool floating) const {
  return api && !floating && std::strcmp(api, kApi) == 0 && FModule->HasEditor();
}

void TClapPlugin::Report(const char* message) const {
  if (FHostLog && FHostLog->log)
    FHostLog->log(FHost, CLAP_LOG_ERROR, message);
  else
    std::fprintf(stderr, "Zintrax: %s\n", message);
}

bool TClapPlugin::GuiCreate(const char* api, bool floating) {
  if (FGuiCreated || !GuiSupported(api, floating))
    return false;
#if !defined(_WIN32)
  if (!(FHostTimer && FHostTimer->register_timer) && !(FHostFd && FHostFd->register_fd)) {
    Report("the editor cannot be shown: the host offers neither timers (clap.timer-support) nor "
           "a watch of descriptors (clap.posix-fd-support), and the editor runs no thread of its "
           "own");
    return false;
  }
#endif
  FGuiCreated = true;
  return true;
}

void TClapPlugin::GuiDestroy() {
  CloseEditor();
  FParent = nullptr;
  FGuiCreated = false;
}

bool TClapPlugin::GuiSetScale(double scale) {
  if (!FGuiCreated || !(scale > 0.0))
    return false;
  // A host that gives the scale in percent.
  if (scale > 8.0)
    scale /= 100.0;
  const bool resized = Guarded(false, [&] { return FModule->SetEditorScale(scale); });
  uint32_t width = 0, height = 0;
  if (resized && GuiSize(width, height) && FHostGui && FHostGui->request_resize)
    FHostGui->request_resize(FHost, width, height);
  return true;
}

bool TClapPlugin::GuiSize(uint32_t& width, uint32_t& height) const {
  if (!FGuiCreated)
    return false;
  if (FModule->EditorOpen() && FModule->EditorWidth() > 0) {
    width = uint32_t(FModule->EditorWidth());
    height = uint32_t(FModule->EditorHeight());
    return true;
  }
  const TModuleDescription& description = PluginDescription();
  const double scale = FModule->EditorScale();
  width = uint32_t(ScaledCoordinate(description.EditorWidth, scale));
  height = uint32_t(ScaledCoordinate(description.EditorHeight, scale));
  return true;
}

bool TClapPlugin::GuiSetParent(const clap_window& window) {
  if (!FGuiCreated || FParent || !window.api || std::strcmp(window.api, kApi) != 0)
    return false;
#if defined(_WIN32)
  void* parent = window.win32;
#else
  void* parent = reinterpret_cast<void*>(uintptr_t(window.x11));
#endif
  if (!parent)
    return false;
  FParent = parent;
  if (OpenEditor())
    return true;
  FParent = nullptr;
  return false;
}

bool TClapPlugin::OpenEditor() {
  uint32_t announcedWidth = 0, announcedHeight = 0;
  GuiSize(announcedWidth, announcedHeight);
  if (!Guarded(false, [&] { return FModule->OpenEditor(FParent); }))
    return false;
#if defined(_WIN32)
  FIdleTimer = std::make_unique<TIdleTimer>(kIdleMilliseconds, [this] { FModule->IdleEditor(); });
  const bool turning = FIdleTimer->Running();
#else
  if (FHostTimer && FHostTimer->register_timer &&
      !FHostTimer->register_timer(FHost, kIdleMilliseconds, &FTimer))
    FTimer = CLAP_INVALID_ID;
  const int descriptor = FModule->EditorEventDescriptor();
  if (descriptor >= 0 && FHostFd && FHostFd->register_fd &&
      FHostFd->register_fd(FHost, descriptor, CLAP_POSIX_FD_READ))
    FDescriptor = descriptor;
  const bool turning = FTimer != CLAP_INVALID_ID || FDescriptor >= 0;
#endif
  if (!turning) {
    Report("the editor cannot be shown: the host registered neither its timer nor its "
           "connection's descriptor");
    CloseEditor();
    return false;
  }
  // The editor may have taken a scale of its own (the settings', the desktop's).
  uint32_t width = 0, height = 0;
  if (GuiSize(width, height) && (width != announcedWidth || height != announcedHeight) &&
      FHostGui && FHostGui->request_resize)
    FHostGui->request_resize(FHost, width, height);
  return true;
}

void TClapPlugin::CloseEditor() {
#if defined(_WIN32)
  FIdleTimer.reset();
#endif
  if (FTimer != CLAP_INVALID_ID && FHostTimer && FHostTimer->unregister_timer)
    FHostTimer->unregister_timer(FHost, FTimer);
  FTimer = CLAP_INVALID_ID;
  if (FDescriptor >= 0 && FHostFd && FHostFd->unregister_fd)
    FHostFd->unregister_fd(FHost, FDescriptor);
  FDescriptor = -1;
  Guarded(0, [&] {
    FModule->CloseEditor();
    return 0;
  });
}
