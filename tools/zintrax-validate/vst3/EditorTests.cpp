// editor of a VST3 plug-in (with --gui): its view attached to a window of the validator's own with
// a run loop of the validator's own; views attached and removed again and again, in both orders of
// the closing calls, on one instance and on fresh ones; the host's window destroyed under the
// view; hosts that give no run loop; and what attaching, the run loop's callbacks at 30 Hz and
// removing cost the host's thread. Nothing of a view may be left behind.
#include "checks/ProcessResources.h"
#include "checks/XErrors.h"
#include "hosting/Errors.h"
#include "vst3/Vst3Subject.h"

#include <memory>
#include <string>

namespace zhost::validate {

namespace {

using namespace vst3;

void Attach(Context& context) {
  const Vst3Subject subject(context.Location());
  RequireView(context, *subject.plugin->controller);
  const int descriptors = ProcessResources::Measure().descriptors;
  {
    Vst3ViewHost host(*subject.plugin->controller, {});
    if (host.View().isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID) != kResultTrue)
      context.Fail("the view does not take an X11 window (\"X11EmbedWindowID\")");
    if (!host.Attached())
      context.Abort("attached failed in a host window with a run loop");
    context.Step("idling the attached view");
    for (int i = 0; i < 20; ++i)
      host.Turn(10);
    if (host.Frame().Registered() == 0)
      context.Fail("the view registered nothing with the run loop: nothing drives it");
    if (host.Children() == 0)
      context.Fail("the view made no window inside the host's");
    context.Step("removed, then setFrame(nullptr)");
    if (host.Detach() != kResultOk)
      context.Fail("removed failed");
    if (host.Frame().Registered() != 0)
      context.Fail(std::to_string(host.Frame().Registered()) +
                   " handlers still registered with the run loop after removed");
    if (host.Children() != 0)
      context.Fail("the view's window is still there after removed");
  }
  if (ProcessResources::Measure().descriptors != descriptors)
    context.Fail(std::to_string(ProcessResources::Measure().descriptors - descriptors) +
                 " file descriptors left open by the editor");
  if (XErrorsSeen() > 0)
    context.Fail(std::to_string(XErrorsSeen()) + " X errors");
}

// Hosts that give no run loop, and calls a view must refuse without harm.
void Hostile(Context& context) {
  const Vst3Subject subject(context.Location());
  IEditController& controller = *subject.plugin->controller;
  RequireView(context, controller);
  {
    context.Step("attached with a frame that offers no run loop");
    Vst3ViewHost host(controller, {.runLoop = false});
    if (host.Attached())
      for (int i = 0; i < 2; ++i)
        host.Turn(10);
  }
  context.Step("removed on a view never attached, and attached to no window");
  auto view = TRef<IPlugView>::Adopt(controller.createView(kEditorViewType));
  if (view) {
    view->removed();
    if (view->attached(nullptr, kPlatformTypeX11EmbedWindowID) == kResultOk)
      context.Fail("attached took a null window");
  }
}

// A fresh instance, processing, for the shared editor checks; its view closes in the order the
// variant picks.
class Vst3EditorSubject final : public EditorSubject {
public:
  explicit Vst3EditorSubject(const Vst3Subject& subject) : FPlugin(subject.Another()) {
    FPlugin->Start(48000.0, 512);
  }
  std::unique_ptr<EditorSession> Open(int variant) override {
    auto host = std::make_unique<Vst3ViewHost>(
        *FPlugin->controller, Vst3ViewHost::Options{.removedFirst = variant % 2 == 0});
    if (!host->Attached())
      throw HostError("attached failed in a host window with a run loop");
    return host;
  }
  std::string Variant(int variant) const override {
    return variant % 2 == 0 ? "removed, then setFrame(nullptr)" : "setFrame(nullptr), then removed";
  }

private:
  std::unique_ptr<Vst3Effect> FPlugin;
};

constexpr EditorWords kWords{"createView and attached", "the run loop's callbacks",
                             "removed and the view's release"};

// Runs a check on fresh instances of the plug-in, its library held loaded throughout.
void Check(Context& context, void (*check)(Context&, const EditorSubjects&, const EditorWords&)) {
  const Vst3Subject subject(context.Location());
  RequireView(context, *subject.plugin->controller);
  check(
      context, [&] { return std::make_unique<Vst3EditorSubject>(subject); }, kWords);
}

const bool registered =
    Register(PluginFormat::Vst3, {"editor.attach", Attach, {.strictness = 1, .needsGui = true}}) &&
    Register(PluginFormat::Vst3, {"editor.cycles",
                                  [](Context& c) { Check(c, CheckCycles); },
                                  {.strictness = 2, .needsGui = true, .timeoutSeconds = 90}}) &&
    Register(PluginFormat::Vst3, {"editor.windows",
                                  [](Context& c) { Check(c, CheckWindows); },
                                  {.strictness = 1, .needsGui = true}}) &&
    Register(PluginFormat::Vst3, {"editor.parent-destroyed",
                                  [](Context& c) { Check(c, CheckParentDestroyed); },
                                  {.strictness = 3, .needsGui = true, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Vst3, {"editor.cost",
                                  [](Context& c) { Check(c, CheckCost); },
                                  {.strictness = 2, .needsGui = true, .timeoutSeconds = 90}}) &&
    Register(PluginFormat::Vst3, {"editor.hostile", Hostile, {.strictness = 3, .needsGui = true}});

} // namespace

} // namespace zhost::validate
