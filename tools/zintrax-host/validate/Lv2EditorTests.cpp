// editor (with --gui), for LV2 plug-ins with an X11 UI: the size the UI asks for; making, idling
// and cleaning up the UI many times for one instance and for fresh ones; the host's window
// destroyed before the UI's cleanup; and what the UI costs the host's thread. No X error may end
// the process, and cleanup must leave no file descriptor and no thread behind.
#include "EditorHost.h"
#include "Lv2Subject.h"

#include <memory>
#include <string>

namespace zhost::validate {

namespace {

constexpr int kLargestSide = 8192;

class Lv2EditorSubject final : public EditorSubject {
public:
  explicit Lv2EditorSubject(Lv2Target& target) : FSubject(target, 48000.0f, 512) {
    FSubject.Activate();
  }
  std::unique_ptr<EditorSession> Open(int) override {
    return std::make_unique<Lv2UiHost>(FSubject);
  }
  std::string Variant(int) const override { return ""; }

private:
  Lv2Subject FSubject;
};

constexpr EditorWords kWords{"the UI's instantiate", "the UI's idle", "the UI's cleanup"};

// Runs a check on fresh instances of the plug-in, its library held loaded throughout.
void Check(Context& context, void (*check)(Context&, const EditorSubjects&, const EditorWords&)) {
  Lv2Target target(context.PluginPath());
  RequireUi(context, target);
  check(
      context, [&] { return std::make_unique<Lv2EditorSubject>(target); }, kWords);
}

void Size(Context& context) {
  Lv2Target target(context.PluginPath());
  RequireUi(context, target);
  Lv2Subject subject(target, 48000.0f, 512);
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

constexpr auto kLv2 = PluginFormat::Lv2;

const bool registered =
    Register({"editor.size", Size, {.strictness = 1, .needsGui = true, .format = kLv2}}) &&
    Register({"editor.cycles",
              [](Context& c) { Check(c, CheckCycles); },
              {.strictness = 2, .needsGui = true, .timeoutSeconds = 90, .format = kLv2}}) &&
    Register({"editor.parent-destroyed",
              [](Context& c) { Check(c, CheckParentDestroyed); },
              {.strictness = 3, .needsGui = true, .timeoutSeconds = 60, .format = kLv2}}) &&
    Register({"editor.cost",
              [](Context& c) { Check(c, CheckCost); },
              {.strictness = 2, .needsGui = true, .timeoutSeconds = 90, .format = kLv2}});

} // namespace

} // namespace zhost::validate
