#include "vst3/Vst3Subject.h"

#include "checks/HeldTime.h"
#include "checks/XErrors.h"
#include "hosting/Errors.h"

#include <X11/Xlib.h>

#include <algorithm>

namespace zhost::validate {

using namespace vst3;

namespace {

constexpr int kLargestSide = 8192;

} // namespace

Vst3Subject::Vst3Subject(const std::string& bundle, const Vst3Step& step) : library(bundle, step) {
  if (library.Effects().empty())
    throw HostError(bundle + ": the factory offers no audio effect (\"Audio Module Class\")");
  plugin = Another(step);
}

std::unique_ptr<Vst3Effect> Vst3Subject::Another(const Vst3Step& step) const {
  return std::make_unique<Vst3Effect>(library, library.Effects().front().cid, step);
}

std::vector<ParamID> Writable(IEditController& controller, bool withoutPrograms) {
  std::vector<ParamID> ids;
  for (int32 i = 0; i < controller.getParameterCount(); ++i) {
    ParameterInfo info{};
    if (controller.getParameterInfo(i, &info) == kResultOk && !(info.flags & kIsReadOnly) &&
        !(withoutPrograms && (info.flags & kIsProgramChange)))
      ids.push_back(info.id);
  }
  return ids;
}

void RandomChanges(Context& context, const std::vector<ParamID>& ids, int32 frames,
                   Vst3ParameterChanges& changes) {
  changes.Clear();
  if (ids.empty())
    return;
  for (int n = 0; n < 3; ++n) {
    const ParamID id = ids[std::size_t(context.Between(0, int64_t(ids.size()) - 1))];
    int32 offset = frames > 0 ? int32(context.Between(0, frames - 1)) : 0;
    int32 count = 0;
    if (IParamValueQueue* queue = changes.addParameterData(&id, &count))
      if (queue->getPointCount() > 0) {
        int32 last = 0;
        ParamValue value = 0;
        queue->getPoint(queue->getPointCount() - 1, &last, &value);
        offset = std::max(offset, last);
      }
    changes.Add(id, offset, context.Uniform(0.0, 1.0));
  }
}

Vst3ViewHost::Vst3ViewHost(IEditController& controller, Options options)
    : FController(controller), FOptions(options),
      FFrame(TRef<Vst3Frame>::Adopt(new Vst3Frame(options.runLoop))) {
  XErrorsSeen();
  const HeldTime opening;
  FView = TRef<IPlugView>::Adopt(controller.createView(kEditorViewType));
  if (!FView)
    throw HostError("createView(\"editor\") answered no view");
  ViewRect rect{};
  FView->getSize(&rect);
  double seconds = opening.Seconds();
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide)
    throw HostError("the view's getSize answered " + std::to_string(width) + " x " +
                    std::to_string(height));
  FWindow = std::make_unique<HostWindow>(width, height, "validate");
  FWindow->Show();
  const HeldTime attaching;
  FView->setFrame(FFrame.get());
  FAttached = FView->attached(FWindow->Handle(), kPlatformTypeX11EmbedWindowID) == kResultOk;
  FOpenSeconds = seconds + attaching.Seconds();
}

unsigned Vst3ViewHost::Children() const {
  ::Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  XSync(FWindow->Display(), False);
  if (XQueryTree(FWindow->Display(), ::Window(reinterpret_cast<uintptr_t>(FWindow->Handle())),
                 &root, &parent, &children, &count) &&
      children)
    XFree(children);
  return count;
}

double Vst3ViewHost::Turn(int waitMs) {
  if (!FParentGone)
    FWindow->Pump();
  const HeldTime turning;
  FFrame->RunOnce(waitMs);
  return turning.Seconds();
}

tresult Vst3ViewHost::Detach() {
  if (!FView)
    return kResultOk;
  const HeldTime closing;
  tresult removed = kResultOk;
  if (FOptions.removedFirst && FAttached)
    removed = FView->removed();
  FView->setFrame(nullptr);
  if (!FOptions.removedFirst && FAttached)
    removed = FView->removed();
  FView.reset();
  FCloseSeconds = closing.Seconds();
  FAttached = false;
  return removed;
}

void Vst3ViewHost::DestroyParent() {
  FWindow->Destroy();
  FParentGone = true;
}

void Vst3ViewHost::Automate(Context& context, int count, int32_t& next) {
  const std::vector<ParamID> ids = Writable(FController, true);
  if (ids.empty())
    return;
  const auto size = static_cast<int32_t>(ids.size());
  for (int32_t i = 0; i < std::min(size, count); ++i, next = (next + 1) % size)
    FController.setParamNormalized(ids[static_cast<size_t>(next)], context.Uniform(0.0, 1.0));
}

void RequireView(Context& context, IEditController& controller) {
  if (!TRef<IPlugView>::Adopt(controller.createView(kEditorViewType)))
    context.Skip("the plug-in makes no editor view");
}

} // namespace zhost::validate
