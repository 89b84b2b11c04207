// editor.windows: the windows on the X server looked at through a connection of the check's own,
// before the editor opens, after each of its idle calls and after it closed. A window the
// editor's side mapped must lie inside the host's window; a top-level window of its own (or one
// inside any other window) fails the test, named, and so does one still mapped after the close.
// Windows left unmapped after the close (a toolkit's hidden leader window) are only noted.
#include "checks/EditorSession.h"
#include "hosting/Errors.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <map>
#include <set>

namespace zhost::validate {

namespace {

struct WindowInfo {
  ::Window parent = 0;
  bool mapped = false;
};

void Walk(Display* display, ::Window window, std::map<::Window, WindowInfo>& found) {
  ::Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count))
    return;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes{};
    WindowInfo info{window, false};
    if (XGetWindowAttributes(display, children[i], &attributes))
      info.mapped = attributes.map_state != IsUnmapped;
    found[children[i]] = info;
    Walk(display, children[i], found);
  }
  if (children)
    XFree(children);
}

// Every window on the screen's root, with its parent.
std::map<::Window, WindowInfo> Windows(Display* display) {
  XSync(display, False);
  std::map<::Window, WindowInfo> found;
  Walk(display, DefaultRootWindow(display), found);
  return found;
}

bool Inside(const std::map<::Window, WindowInfo>& windows, ::Window window, ::Window ancestor) {
  for (auto at = windows.find(window); at != windows.end(); at = windows.find(at->second.parent))
    if (at->second.parent == ancestor)
      return true;
  return false;
}

std::string Named(Display* display, ::Window window) {
  char id[32];
  std::snprintf(id, sizeof id, "0x%lx", window);
  std::string name = id;
  char* title = nullptr;
  if (XFetchName(display, window, &title) && title) {
    name += " (\"" + std::string(title) + "\")";
    XFree(title);
  }
  return name;
}

} // namespace

void CheckWindows(Context& context, const EditorSubjects& make, const EditorWords& words) {
  Display* display = XOpenDisplay(nullptr);
  if (!display)
    throw HostError("cannot open the display to look at its windows");
  auto subject = make();
  const std::map<::Window, WindowInfo> before = Windows(display);
  context.Step("%s", words.open);
  std::unique_ptr<EditorSession> editor = subject->Open(0);
  const ::Window parent = editor->ParentWindow();
  std::set<::Window> told;
  for (int i = 0; i < 20; ++i) {
    context.Step("%s %d, the windows looked at", words.idle, i);
    editor->Idle();
    const std::map<::Window, WindowInfo> now = Windows(display);
    for (const auto& [window, info] : now) {
      if (!info.mapped || before.count(window) || window == parent || Inside(now, window, parent) ||
          told.count(window))
        continue;
      told.insert(window);
      context.Fail("the editor mapped the window " + Named(display, window) +
                   (info.parent == DefaultRootWindow(display)
                        ? " as a top-level window of its own"
                        : " outside the window the host gave it"));
    }
  }
  context.Step("%s, the windows looked at", words.close);
  editor->Close();
  editor.reset();
  int unmapped = 0;
  for (const auto& [window, info] : Windows(display)) {
    if (before.count(window))
      continue;
    if (!info.mapped)
      ++unmapped;
    else if (told.insert(window).second)
      context.Fail("the window " + Named(display, window) + " is still mapped after " +
                   words.close);
  }
  if (unmapped > 0)
    context.Note("windows", std::to_string(unmapped) +
                                " unmapped windows of the editor's side stay after " + words.close);
  XCloseDisplay(display);
}

} // namespace zhost::validate
