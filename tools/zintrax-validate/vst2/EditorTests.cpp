// editor (with --gui): the editor's rectangle before and after opening; opening, idling and
// closing many times on one instance and on fresh ones, with the host's Display* handed over and
// without; the host's window destroyed before effEditClose. No X error may end the process, and
// closing must leave no file descriptor and no thread behind. And what the editor costs the host's
// user interface: the time of opening, of each idle call at 30 Hz, and of closing.
#include "checks/EditorSession.h"
#include "checks/XErrors.h"
#include "vst2/Vst2EditorHost.h"
#include "vst2/Vst2Subject.h"

#include <memory>
#include <string>

namespace zhost::validate {

namespace {

constexpr int kLargestSide = 8192;

std::unique_ptr<Vst2Effect> WithEditor(Context& context) {
  auto plugin = LoadOpened(context, 44100.0f, 512);
  if (!(plugin->Effect().flags & effFlagsHasEditor))
    context.Skip("the plug-in has no editor");
  return plugin;
}

void Rect(Context& context) {
  auto plugin = WithEditor(context);
  XErrorsSeen();
  context.Step("effEditGetRect before effEditOpen");
  ERect* before = nullptr;
  plugin->Dispatch(effEditGetRect, 0, 0, &before);
  if (before) {
    const int width = before->right - before->left, height = before->bottom - before->top;
    if (width < 0 || height < 0 || width > kLargestSide || height > kLargestSide)
      context.Fail("effEditGetRect before effEditOpen answered " + std::to_string(width) + " x " +
                   std::to_string(height));
  }
  context.Step("opening the editor");
  EditorHost editor(*plugin, true);
  for (int i = 0; i < 5; ++i)
    editor.Idle();
  context.Step("effEditGetRect after effEditOpen");
  ERect* after = nullptr;
  plugin->Dispatch(effEditGetRect, 0, 0, &after);
  if (!after)
    context.Abort("effEditGetRect after effEditOpen left the rectangle pointer null");
  const int width = after->right - after->left, height = after->bottom - after->top;
  if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide)
    context.Fail("effEditGetRect after effEditOpen answered " + std::to_string(width) + " x " +
                 std::to_string(height));
  context.Note("editor size", std::to_string(width) + " x " + std::to_string(height));
  NoteXErrors(context);
}

class VstEditorSubject final : public EditorSubject {
public:
  explicit VstEditorSubject(std::unique_ptr<Vst2Effect> plugin) : FPlugin(std::move(plugin)) {}
  std::unique_ptr<EditorSession> Open(int variant) override {
    return std::make_unique<EditorHost>(*FPlugin, variant % 2 == 0);
  }
  std::string Variant(int variant) const override {
    return variant % 2 == 0 ? "Display* passed" : "Display* 0";
  }

private:
  std::unique_ptr<Vst2Effect> FPlugin;
};

constexpr EditorWords kWords{"effEditOpen", "effEditIdle", "effEditClose"};

// Runs a check on fresh instances of the plug-in, its library held loaded throughout.
void Check(Context& context, void (*check)(Context&, const EditorSubjects&, const EditorWords&)) {
  const auto anchor = Load(context);
  check(
      context, [&] { return std::make_unique<VstEditorSubject>(WithEditor(context)); }, kWords);
}

const bool registered =
    Register(PluginFormat::Vst2, {"editor.rect", Rect, {.strictness = 1, .needsGui = true}}) &&
    Register(PluginFormat::Vst2, {"editor.cycles",
                                  [](Context& c) { Check(c, CheckCycles); },
                                  {.strictness = 2, .needsGui = true, .timeoutSeconds = 90}}) &&
    Register(PluginFormat::Vst2, {"editor.windows",
                                  [](Context& c) { Check(c, CheckWindows); },
                                  {.strictness = 1, .needsGui = true}}) &&
    Register(PluginFormat::Vst2, {"editor.parent-destroyed",
                                  [](Context& c) { Check(c, CheckParentDestroyed); },
                                  {.strictness = 3, .needsGui = true, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Vst2, {"editor.cost",
                                  [](Context& c) { Check(c, CheckCost); },
                                  {.strictness = 2, .needsGui = true, .timeoutSeconds = 90}});

} // namespace

} // namespace zhost::validate
