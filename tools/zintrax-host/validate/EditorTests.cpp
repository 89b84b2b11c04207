// editor (with --gui): the editor's rectangle before and after opening; opening, idling and
// closing many times on one instance and on fresh ones, with the host's Display* handed over and
// without; the host's window destroyed before effEditClose. No X error may end the process, and
// closing must leave no file descriptor and no thread behind.
#include "EditorHost.h"
#include "Errors.h"
#include "ProcessResources.h"
#include "Validation.h"

#include <cstdio>
#include <memory>
#include <string>

namespace zhost::validate {

namespace {

constexpr int kLargestSide = 8192;

std::unique_ptr<Plugin> WithEditor(Context& context) {
  auto plugin = context.LoadOpened(44100.0f, 512);
  if (!(plugin->Effect().flags & effFlagsHasEditor))
    context.Skip("the plug-in has no editor");
  return plugin;
}

void NoteXErrors(Context& context) {
  const long errors = XErrorsSeen();
  if (errors > 0)
    context.Note("X errors survived", std::to_string(errors));
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

// One open, a few idles and a close in a window of its own.
void Cycle(const Plugin& plugin, bool passDisplay, int idles) {
  EditorHost editor(plugin, passDisplay);
  for (int i = 0; i < idles; ++i)
    editor.Idle();
  editor.Close();
}

void CheckLeft(Context& context, const ProcessResources& before, const char* where) {
  const ProcessResources after = ProcessResources::Settled(before.threads);
  if (after.descriptors != before.descriptors)
    context.Fail(std::to_string(after.descriptors - before.descriptors) +
                 " file descriptors more than after the first close, " + where + ": " +
                 DescriptorList());
  if (after.threads != before.threads)
    context.Fail(std::to_string(after.threads - before.threads) +
                 " threads more than after the first close, " + where);
}

void Cycles(Context& context) {
  const int warm = context.Strictness() >= 8 ? 20 : 6;
  const int cold = context.Strictness() >= 8 ? 8 : 3;
  auto plugin = WithEditor(context);
  context.Step("the first open and close");
  Cycle(*plugin, true, 3);
  const ProcessResources before = ProcessResources::Settled(ProcessResources::Measure().threads);
  for (int i = 0; i < warm; ++i) {
    const bool passDisplay = i % 2 == 0;
    context.Step("warm cycle %d, Display* %s", i, passDisplay ? "passed" : "0");
    Cycle(*plugin, passDisplay, i % 4);
    CheckLeft(context, before,
              passDisplay ? "on the same instance, Display* passed"
                          : "on the same instance, Display* 0");
    if (context.Failures() > 0)
      break;
  }
  plugin->Close();
  plugin.reset();
  const auto anchor = context.Load();
  ProcessResources coldBefore;
  for (int i = 0; i < cold && context.Failures() == 0; ++i) {
    const bool passDisplay = i % 2 == 1;
    context.Step("cold cycle %d, Display* %s", i, passDisplay ? "passed" : "0");
    auto fresh = context.LoadOpened(44100.0f, 512);
    Cycle(*fresh, passDisplay, 2);
    fresh->Close();
    if (i == 0)
      coldBefore = ProcessResources::Settled(ProcessResources::Measure().threads);
  }
  if (context.Failures() == 0)
    CheckLeft(context, coldBefore, "after editors of fresh instances were opened and closed");
  NoteXErrors(context);
}

void ParentDestroyed(Context& context) {
  auto plugin = WithEditor(context);
  context.Step("the first open and close");
  Cycle(*plugin, true, 2);
  const ProcessResources before = ProcessResources::Settled(ProcessResources::Measure().threads);
  for (const bool passDisplay : {true, false}) {
    context.Step("the host's window destroyed under the open editor, Display* %s",
                 passDisplay ? "passed" : "0");
    EditorHost editor(*plugin, passDisplay);
    editor.Idle();
    editor.DestroyParent();
    for (int i = 0; i < 5; ++i)
      editor.Idle();
    context.Step("effEditClose after the host's window went");
    editor.Close();
  }
  context.Step("opening again after the host's window went");
  Cycle(*plugin, true, 2);
  CheckLeft(context, before, "after the host's window was destroyed before effEditClose");
  NoteXErrors(context);
}

const bool registered =
    Register({"editor.rect", Rect, {.strictness = 1, .needsGui = true}}) &&
    Register(
        {"editor.cycles", Cycles, {.strictness = 2, .needsGui = true, .timeoutSeconds = 90}}) &&
    Register({"editor.parent-destroyed",
              ParentDestroyed,
              {.strictness = 3, .needsGui = true, .timeoutSeconds = 60}});

} // namespace

} // namespace zhost::validate
