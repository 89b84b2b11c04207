#include "clap/ClapSubject.h"

#include "checks/HeldTime.h"
#include "checks/XErrors.h"
#include "hosting/Errors.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>

namespace zhost::validate {

namespace {

constexpr uint32_t kLargestSide = 8192;

const clap_plugin_gui* Gui(const ClapEffect& plugin) {
  return plugin.Plugin().get_extension
             ? static_cast<const clap_plugin_gui*>(
                   plugin.Plugin().get_extension(&plugin.Plugin(), CLAP_EXT_GUI))
             : nullptr;
}

} // namespace

ClapSubject::ClapSubject(const std::string& path) : library(path) {
  if (library.Plugins().empty())
    throw HostError(path + ": the factory offers no plug-in");
  plugin = Another();
}

std::unique_ptr<ClapEffect> ClapSubject::Another(bool runLoop) const {
  return std::make_unique<ClapEffect>(library, std::string(), runLoop);
}

std::vector<clap_param_info> Writable(const ClapEffect& plugin) {
  std::vector<clap_param_info> writable;
  for (const clap_param_info& info : plugin.Parameters())
    if (!(info.flags & CLAP_PARAM_IS_READONLY) && std::isfinite(info.min_value) &&
        std::isfinite(info.max_value) && info.min_value <= info.max_value)
      writable.push_back(info);
  return writable;
}

double RandomValue(Context& context, const clap_param_info& info) {
  if (info.flags & CLAP_PARAM_IS_STEPPED)
    return double(
        context.Between(int64_t(std::ceil(info.min_value)), int64_t(std::floor(info.max_value))));
  return info.min_value + (info.max_value - info.min_value) * context.Uniform(0.0, 1.0);
}

void RandomEvents(Context& context, const std::vector<clap_param_info>& params, uint32_t frames,
                  ClapEventList& events) {
  events.Clear();
  if (params.empty())
    return;
  uint32_t times[3];
  for (uint32_t& t : times)
    t = frames > 0 ? uint32_t(context.Between(0, frames - 1)) : 0;
  std::sort(std::begin(times), std::end(times));
  for (uint32_t t : times) {
    const clap_param_info& info =
        params[std::size_t(context.Between(0, int64_t(params.size()) - 1))];
    if ((info.flags & CLAP_PARAM_IS_MODULATABLE) && context.Between(0, 3) == 0)
      events.Modulation(t, info.id, (info.max_value - info.min_value) * context.Uniform(-0.5, 0.5));
    else
      events.Value(t, info.id, RandomValue(context, info));
  }
}

ClapGuiHost::ClapGuiHost(ClapEffect& plugin) : FPlugin(plugin) {
  XErrorsSeen();
  const clap_plugin_gui* gui = Gui(plugin);
  if (!gui || !gui->create || !gui->get_size || !gui->destroy)
    throw HostError("the plug-in offers no whole clap.gui");
  const HeldTime opening;
  if (!gui->create(&plugin.Plugin(), CLAP_WINDOW_API_X11, false))
    throw HostError("create(\"x11\", embedded) failed on a host with timers and descriptors");
  uint32_t width = 0, height = 0;
  const bool sized = gui->get_size(&plugin.Plugin(), &width, &height);
  gui->destroy(&plugin.Plugin());
  if (!sized || width == 0 || height == 0 || width > kLargestSide || height > kLargestSide)
    throw HostError("get_size answered " + std::to_string(width) + " x " + std::to_string(height));
  double seconds = opening.Seconds();
  FWindow = std::make_unique<HostWindow>(int(width), int(height), "validate");
  FWindow->Show();
  const HeldTime embedding;
  FEmbedded = plugin.OpenEditor(::Window(reinterpret_cast<uintptr_t>(FWindow->Handle())));
  FOpenSeconds = seconds + embedding.Seconds();
}

unsigned ClapGuiHost::Children() const {
  ::Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  XSync(FWindow->Display(), False);
  if (XQueryTree(FWindow->Display(), ::Window(reinterpret_cast<uintptr_t>(FWindow->Handle())),
                 &root, &parent, &children, &count) &&
      children)
    XFree(children);
  return count;
}

double ClapGuiHost::Turn(int waitMs) {
  if (!FParentGone)
    FWindow->Pump();
  const HeldTime turning;
  FPlugin.RunLoop(waitMs);
  return turning.Seconds();
}

void ClapGuiHost::Close() {
  if (!FEmbedded)
    return;
  const HeldTime closing;
  FPlugin.CloseEditor();
  FCloseSeconds = closing.Seconds();
  FEmbedded = false;
}

void ClapGuiHost::DestroyParent() {
  FWindow->Destroy();
  FParentGone = true;
}

void ClapGuiHost::Automate(Context& context, int count, int32_t& next) {
  const std::vector<clap_param_info> params = Writable(FPlugin);
  if (params.empty())
    return;
  const auto size = static_cast<int32_t>(params.size());
  ClapEventList events;
  for (int32_t i = 0; i < std::min(size, count); ++i, next = (next + 1) % size) {
    const clap_param_info& info = params[static_cast<size_t>(next)];
    events.Value(0, info.id, RandomValue(context, info));
  }
  if (!FPlugin.Active())
    FPlugin.Flush(events);
}

void RequireGui(Context& context, const ClapEffect& plugin) {
  const clap_plugin_gui* gui = Gui(plugin);
  if (!gui || !gui->is_api_supported ||
      !gui->is_api_supported(&plugin.Plugin(), CLAP_WINDOW_API_X11, false))
    context.Skip("the plug-in has no editor for an X11 window");
}

} // namespace zhost::validate
