// editor.windows: the windows on the X server looked at through a connection of the check's own,
// before the editor opens, after each of its idle calls and after it closed. The editor must show
// inside the host's window: a window of its own mapped elsewhere (at the top level, or inside
// another window) while nothing of it is inside the host's fails the test, named; beside an
// editor inside the host's window, such a window is a dialog or a popup of the plug-in's and is
// only noted. A window still mapped after the close fails the test; windows left unmapped (a
// toolkit's hidden leader window) are only noted.
#include "checks/EditorSession.h"
#include "hosting/Errors.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <map>
#include <set>
#include <vector>

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
  std::vector<std::string> outside;
  bool inside = false;
  for (int i = 0; i < 20; ++i) {
    context.Step("%s %d, the windows looked at", words.idle, i);
    editor->Idle();
    const std::map<::Window, WindowInfo> now = Windows(display);
    for (const auto& [window, info] : now) {
      if (!info.mapped || before.count(window) || window == parent)
        continue;
      if (Inside(now, window, parent))
        inside = true;
      else if (told.insert(window).second)
        outside.push_back("the window " + Named(display, window) +
                          (info.parent == DefaultRootWindow(display)
                               ? " as a top-level window of its own"
                               : " outside the window the host gave it"));
    }
  }
  for (const std::string& window : outside)
    if (inside)
      context.Note("dialogs", "beside the editor in the host's window, it mapped " + window);
    else
      context.Fail("the editor mapped " + window + ", and nothing inside the host's");
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
