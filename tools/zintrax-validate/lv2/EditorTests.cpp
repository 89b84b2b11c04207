// editor (with --gui), for LV2 plug-ins with an X11 UI: the size the UI asks for; making, idling
// and cleaning up the UI many times for one instance and for fresh ones; the host's window
// destroyed before the UI's cleanup; and what the UI costs the host's thread. No X error may end
// the process, and cleanup must leave no file descriptor and no thread behind.
#include "checks/XErrors.h"
#include "lv2/Lv2Subject.h"

#include <memory>
#include <string>

namespace zhost::validate {

namespace {

constexpr int kLargestSide = 8192;

class Lv2EditorSubject final : public EditorSubject {
public:
  explicit Lv2EditorSubject(Lv2Library& target) : FSubject(target, 48000.0f, 512) {
    FSubject.Activate();
  }
  std::unique_ptr<EditorSession> Open(int) override {
    return std::make_unique<Lv2UiHost>(FSubject);
  }
  std::string Variant(int) const override { return ""; }

private:
  Lv2Effect FSubject;
};

constexpr EditorWords kWords{"the UI's instantiate", "the UI's idle", "the UI's cleanup"};

// Runs a check on fresh instances of the plug-in, its library held loaded throughout.
void Check(Context& context, void (*check)(Context&, const EditorSubjects&, const EditorWords&)) {
  Lv2Library target(context.Location());
  RequireUi(context, target);
  check(
      context, [&] { return std::make_unique<Lv2EditorSubject>(target); }, kWords);
}

void Size(Context& context) {
  Lv2Library target(context.Location());
  RequireUi(context, target);
  Lv2Effect subject(target, 48000.0f, 512);
  XErrorsSeen();
  context.Step("making the UI");
  Lv2UiHost ui(subject);
  for (int i = 0; i < 5; ++i)
    ui.Idle();
  const int width = ui.Width(), height = ui.Height();
  if (width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide)
    context.Fail("the UI's size is " + std::to_string(width) + " x " + std::to_string(height) +
                 " (asked for through ui:resize, else its window's)");
  context.Note("UI size", std::to_string(width) + " x " + std::to_string(height));
  NoteXErrors(context);
}

const bool registered =
    Register(PluginFormat::Lv2, {"editor.size", Size, {.strictness = 1, .needsGui = true}}) &&
    Register(PluginFormat::Lv2, {"editor.cycles",
                                 [](Context& c) { Check(c, CheckCycles); },
                                 {.strictness = 2, .needsGui = true, .timeoutSeconds = 90}}) &&
    Register(PluginFormat::Lv2, {"editor.windows",
                                 [](Context& c) { Check(c, CheckWindows); },
                                 {.strictness = 1, .needsGui = true}}) &&
    Register(PluginFormat::Lv2, {"editor.parent-destroyed",
                                 [](Context& c) { Check(c, CheckParentDestroyed); },
                                 {.strictness = 3, .needsGui = true, .timeoutSeconds = 60}}) &&
    Register(PluginFormat::Lv2, {"editor.cost",
                                 [](Context& c) { Check(c, CheckCost); },
                                 {.strictness = 2, .needsGui = true, .timeoutSeconds = 90}});

} // namespace

} // namespace zhost::validate
