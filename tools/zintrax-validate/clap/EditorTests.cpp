// editor of a CLAP plug-in (with --gui): embedded in a window of the validator's own with the
// validator's timers and watch of descriptors; embedded and destroyed again and again, on one
// instance and on fresh ones; the host's window destroyed under it; a host with neither timers
// nor descriptors; and what embedding, the callbacks at 30 Hz and destroying cost the host's
// thread. Nothing of an editor may be left behind.
#include "checks/ProcessResources.h"
#include "checks/XErrors.h"
#include "clap/ClapSubject.h"
#include "hosting/Errors.h"

#include <memory>
#include <string>

namespace zhost::validate {

namespace {

void Embed(Context& context) {
  const ClapSubject subject(context.Location());
  RequireGui(context, *subject.plugin);
  const int descriptors = ProcessResources::Measure().descriptors;
  {
    ClapGuiHost host(*subject.plugin);
    if (!host.Embedded())
      context.Abort("create or set_parent failed in a host with timers and descriptors");
    if (host.Children() == 0)
      context.Fail("set_parent made no window inside the host's: hosts that never call show "
                   "show nothing");
    context.Step("turning the embedded editor");
    for (int i = 0; i < 20; ++i)
      host.Turn(10);
    if (subject.plugin->Registered() == 0)
      context.Fail("the editor registered neither a timer nor a descriptor: nothing drives it");
    context.Step("destroy");
    host.Close();
    if (subject.plugin->Registered() != 0)
      context.Fail(std::to_string(subject.plugin->Registered()) +
                   " timers or descriptors still registered after destroy");
    if (host.Children() != 0)
      context.Fail("the editor's window is still there after destroy");
  }
  if (ProcessResources::Measure().descriptors != descriptors)
    context.Fail(std::to_string(ProcessResources::Measure().descriptors - descriptors) +
                 " file descriptors left open by the editor");
  if (XErrorsSeen() > 0)
    context.Fail(std::to_string(XErrorsSeen()) + " X errors");
}

// A host that offers neither timers nor descriptors, and calls an editor must refuse unharmed.
void Hostile(Context& context) {
  const ClapSubject subject(context.Location());
  RequireGui(context, *subject.plugin);
  {
    auto bare = subject.Another(false);
    HostWindow window(400, 300, "validate");
    window.Show();
    context.Step("embedding in a host with neither timers nor descriptors");
    if (bare->OpenEditor((unsigned long)(reinterpret_cast<uintptr_t>(window.Handle())))) {
      for (int i = 0; i < 2; ++i)
        bare->RunLoop(10);
      bare->CloseEditor();
    }
  }
  const auto* gui = static_cast<const clap_plugin_gui*>(
      subject.plugin->Plugin().get_extension(&subject.plugin->Plugin(), CLAP_EXT_GUI));
  const clap_plugin* plugin = &subject.plugin->Plugin();
  context.Step("set_parent before create, destroy twice, a window of no api");
  clap_window none{};
  if (gui->set_parent(plugin, &none))
    context.Fail("set_parent took a window of no api before create");
  if (gui->create(plugin, CLAP_WINDOW_API_X11, false)) {
    if (gui->set_parent(plugin, &none))
      context.Fail("set_parent took a window of no api");
    gui->destroy(plugin);
    gui->destroy(plugin);
  }
  if (gui->create(plugin, CLAP_WINDOW_API_X11, true))
    gui->destroy(plugin);
}

// A fresh instance, inactive, for the shared editor checks.
class ClapEditorSubject final : public EditorSubject {
public:
  explicit ClapEditorSubject(const ClapSubject& subject) : FPlugin(subject.Another()) {}
  std::unique_ptr<EditorSession> Open(int) override {
    auto host = std::make_unique<ClapGuiHost>(*FPlugin);
    if (!host->Embedded())
      throw HostError("create or set_parent failed in a host with timers and descriptors");
    return host;
  }
  std::string Variant(int) const override { return {}; }

private:
  std::unique_ptr<ClapEffect> FPlugin;
};

constexpr EditorWords kWords{"create and set_parent", "the timer and descriptor callbacks",
                             "destroy"};

void Check(Context& context, void (*check)(Context&, const EditorSubjects&, const EditorWords&)) {
  const ClapSubject subject(context.Location());
  RequireGui(context, *subject.plugin);
  check(
      context, [&] { return std::make_unique<ClapEditorSubject>(subject); }, kWords);
}

const bool registered =
    Register(PluginFormat::Clap, {"editor.embed", Embed, {.strictness = 1, .needsGui = true}}) &&
    Register(PluginFormat::Clap, {"editor.cycles",
                                  [](Context& c) { Check(c, CheckCycles); },
                                  {.strictness = 2, .needsGui = true, .timeoutSeconds = 90}}) &&
    Register(PluginFormat::Clap, {"editor.windows",
                                  [](Context& c) { Check(c, CheckWindows); },
                                  {.strictness = 1, .needsGui = true}}) &&
    Register(PluginFormat::Clap, {"editor.parent-destroyed",
                                  [](Context& c) { Check(c, CheckParentDestroyed); },
                                  {.strictness = 3, .needsGui = true, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Clap, {"editor.cost",
                                  [](Context& c) { Check(c, CheckCost); },
                                  {.strictness = 2, .needsGui = true, .timeoutSeconds = 90}}) &&
    Register(PluginFormat::Clap, {"editor.hostile", Hostile, {.strictness = 3, .needsGui = true}});

} // namespace

} // namespace zhost::validate
