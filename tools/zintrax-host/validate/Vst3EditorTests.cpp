// editor of a VST3 plug-in (with --gui): its view attached to a window of the validator's own with
// a run loop of the validator's own, in the orders hosts use, again and again, and under hosts
// that give no run loop or tear their window down first; nothing of it may be left behind.
#include "EditorHost.h"
#include "HostWindow.h"
#include "ProcessResources.h"
#include "Validation.h"
#include "Vst3Subject.h"

#include <X11/Xlib.h>

#include <memory>
#include <string>
#include <vector>

namespace zhost::validate {

namespace {

using namespace vst3;

unsigned Children(HostWindow& window) {
  ::Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  XSync(window.Display(), False);
  if (XQueryTree(window.Display(), ::Window(reinterpret_cast<uintptr_t>(window.Handle())), &root,
                 &parent, &children, &count) &&
      children)
    XFree(children);
  return count;
}

// One view in one host window with its frame; the order of the closing calls is the caller's.
struct AttachedView {
  AttachedView(Context& context, IEditController& controller, bool runLoop)
      : frame(TRef<Vst3Frame>::Adopt(new Vst3Frame(runLoop))) {
    view = TRef<IPlugView>::Adopt(controller.createView(kEditorViewType));
    if (!view)
      context.Skip("the plug-in makes no editor view");
    ViewRect rect{};
    view->getSize(&rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
      context.Abort("getSize answered " + std::to_string(width) + " x " + std::to_string(height));
    window = std::make_unique<HostWindow>(width, height, "validate");
    window->Show();
    view->setFrame(frame.get());
    attached = view->attached(window->Handle(), kPlatformTypeX11EmbedWindowID) == kResultOk;
  }
  void Idle(int rounds) {
    for (int i = 0; i < rounds; ++i) {
      window->Pump();
      frame->RunOnce(10);
    }
  }

  TRef<Vst3Frame> frame;
  TRef<IPlugView> view;
  std::unique_ptr<HostWindow> window;
  bool attached = false;
};

void Attach(Context& context) {
  XErrorsSeen();
  const Vst3Subject subject(context.PluginPath());
  const int descriptors = ProcessResources::Measure().descriptors;
  {
    AttachedView host(context, *subject.plugin->controller, true);
    if (host.view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID) != kResultTrue)
      context.Fail("the view does not take an X11 window (\"X11EmbedWindowID\")");
    if (!host.attached)
      context.Abort("attached failed in a host window with a run loop");
    context.Step("idling the attached view");
    host.Idle(20);
    if (host.frame->Registered() == 0)
      context.Fail("the view registered nothing with the run loop: nothing drives it");
    if (Children(*host.window) == 0)
      context.Fail("the view made no window inside the host's");
    context.Step("removed, then setFrame(nullptr)");
    if (host.view->removed() != kResultOk)
      context.Fail("removed failed");
    host.view->setFrame(nullptr);
    if (host.frame->Registered() != 0)
      context.Fail(std::to_string(host.frame->Registered()) +
                   " handlers still registered with the run loop after removed");
    if (Children(*host.window) != 0)
      context.Fail("the view's window is still there after removed");
  }
  if (ProcessResources::Measure().descriptors != descriptors)
    context.Fail(std::to_string(ProcessResources::Measure().descriptors - descriptors) +
                 " file descriptors left open by the editor");
  if (XErrorsSeen() > 0)
    context.Fail(std::to_string(XErrorsSeen()) + " X errors");
}

// Views made, attached and removed many times, in both orders of the closing calls, and views
// made and released without being attached.
void Cycles(Context& context) {
  XErrorsSeen();
  const Vst3Subject subject(context.PluginPath());
  IEditController& controller = *subject.plugin->controller;
  for (int cycle = 0; cycle < 20; ++cycle) {
    context.Step("cycle %d: a view attached, idled and removed", cycle);
    AttachedView host(context, controller, true);
    if (!host.attached)
      context.Abort("attached failed in cycle " + std::to_string(cycle));
    host.Idle(2);
    if (cycle % 2 == 0) {
      host.view->setFrame(nullptr);
      host.view->removed();
    } else {
      host.view->removed();
      host.view->setFrame(nullptr);
    }
    TRef<IPlugView>::Adopt(controller.createView(kEditorViewType));
  }
  if (XErrorsSeen() > 0)
    context.Fail(std::to_string(XErrorsSeen()) + " X errors");
}

// Hosts that give no run loop, and hosts that destroy their window under the view.
void Hostile(Context& context) {
  XErrorsSeen();
  const Vst3Subject subject(context.PluginPath());
  IEditController& controller = *subject.plugin->controller;
  {
    context.Step("attached with a frame that offers no run loop");
    AttachedView host(context, controller, false);
    if (host.attached) {
      host.Idle(2);
      host.view->removed();
    }
    host.view->setFrame(nullptr);
  }
  {
    context.Step("the host's window destroyed under the attached view, then removed");
    AttachedView host(context, controller, true);
    if (host.attached) {
      host.Idle(2);
      host.window->Destroy();
      host.Idle(3);
      host.view->removed();
    }
    host.view->setFrame(nullptr);
    if (host.frame->Registered() != 0)
      context.Fail("handlers still registered after removed under a destroyed window");
  }
  context.Step("removed on a view never attached, and attached to no window");
  auto view = TRef<IPlugView>::Adopt(controller.createView(kEditorViewType));
  if (view) {
    view->removed();
    if (view->attached(nullptr, kPlatformTypeX11EmbedWindowID) == kResultOk)
      context.Fail("attached took a null window");
  }
}

constexpr auto kVst3 = PluginFormat::Vst3;

const bool registered =
    Register({"editor.attach", Attach, {.strictness = 1, .needsGui = true, .format = kVst3}}) &&
    Register({"editor.cycles",
              Cycles,
              {.strictness = 2, .needsGui = true, .timeoutSeconds = 90, .format = kVst3}}) &&
    Register({"editor.hostile", Hostile, {.strictness = 3, .needsGui = true, .format = kVst3}});

} // namespace

} // namespace zhost::validate
