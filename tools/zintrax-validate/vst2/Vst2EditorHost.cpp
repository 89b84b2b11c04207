#include "vst2/Vst2EditorHost.h"

#include "checks/HeldTime.h"
#include "checks/XErrors.h"
#include "hosting/Errors.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

namespace zhost::validate {

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

std::pair<int, int> RectSize(const Vst2Effect& plugin) {
  ERect* rect = nullptr;
  plugin.Dispatch(effEditGetRect, 0, 0, &rect);
  if (!rect)
    return {0, 0};
  return {rect->right - rect->left, rect->bottom - rect->top};
}

} // namespace

EditorHost::EditorHost(const Vst2Effect& plugin, bool passDisplay) : FPlugin(plugin) {
  XErrorsSeen();
  const auto [width, height] = RectSize(plugin);
  const bool sized = width > 0 && height > 0 && width < 8192 && height < 8192;
  FWindow = std::make_unique<HostWindow>(sized ? width : kDefaultWidth,
                                         sized ? height : kDefaultHeight, "validate");
  FWindow->Show();
  const VstIntPtr display = passDisplay ? reinterpret_cast<VstIntPtr>(FWindow->Display()) : 0;
  const HeldTime opening;
  const VstIntPtr opened = plugin.Dispatch(effEditOpen, 0, display, FWindow->Handle());
  FOpenSeconds = opening.Seconds();
  if (opened == 0 && RectSize(plugin).first <= 0)
    throw HostError("effEditOpen answered 0 and the editor has no size");
  FOpen = true;
  std::tie(FWidth, FHeight) = RectSize(plugin);
  if (FWidth > 0 && FHeight > 0 && FWidth < 8192 && FHeight < 8192)
    FWindow->SetSize(FWidth, FHeight);
}

EditorHost::~EditorHost() {
  Close();
}

double EditorHost::Idle() {
  if (!FParentGone)
    FWindow->Pump();
  const HeldTime idling;
  FPlugin.Dispatch(effEditIdle);
  return idling.Seconds();
}

void EditorHost::Close() {
  if (!FOpen)
    return;
  const HeldTime closing;
  FPlugin.Dispatch(effEditClose);
  FCloseSeconds = closing.Seconds();
  FOpen = false;
}

void EditorHost::Automate(Context& context, int count, int32_t& next) {
  const int32_t params = FPlugin.NumParams();
  if (params <= 0)
    return;
  std::vector<std::pair<int32_t, float>> changes;
  for (int32_t i = 0; i < std::min(params, count); ++i, next = (next + 1) % params)
    changes.emplace_back(next, static_cast<float>(context.Uniform(0.0, 1.0)));
  std::thread([&] {
    for (const auto& [index, value] : changes)
      FPlugin.SetParameter(index, value);
  }).join();
}

void EditorHost::DestroyParent() {
  FWindow->Destroy();
  FParentGone = true;
}

} // namespace zhost::validate
