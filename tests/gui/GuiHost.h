// What the editor tests of the built plug-in share: a private Xvfb when DISPLAY is unset, a host
// window made with Xlib on the test's own connection, real pointer events through XTest, and
// the idle calls a host makes.
#pragma once

#include "abi/PluginHost.h"
#include "hosting/HostWindow.h"
#include "hosting/Xvfb.h"

#include <gtest/gtest.h> // before Xlib, whose macros (None, Bool) clash with its names

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <dirent.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace gui {

class XvfbEnvironment : public ::testing::Environment {
public:
  void SetUp() override { FServer = std::make_unique<zhost::Xvfb>(); }
  void TearDown() override { FServer.reset(); }

private:
  std::unique_ptr<zhost::Xvfb> FServer;
};

// The gesture notices and the automation between them, one letter and the index each:
// "B0 A0 A0 E0".
inline std::string Gestures() {
  std::string text;
  for (const testhost::HostCall& call : testhost::Log().calls) {
    const char* kind = call.opcode == audioMasterBeginEdit  ? "B"
                       : call.opcode == audioMasterAutomate ? "A"
                       : call.opcode == audioMasterEndEdit  ? "E"
                                                            : nullptr;
    if (!kind)
      continue;
    if (!text.empty())
      text += ' ';
    text += kind;
    text += std::to_string(call.index);
  }
  return text;
}

inline int OpenDescriptors() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir))
      ++count;
    closedir(dir);
  }
  return count;
}

// The children of a window, as the server sees them.
inline std::vector<Window> Children(Display* display, Window window) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  std::vector<Window> found;
  if (XQueryTree(display, window, &root, &parent, &children, &count)) {
    found.assign(children, children + count);
    XFree(children);
  }
  return found;
}

// The host's side: a window on the test's own connection that an editor is opened in.
class EditorHost {
public:
  EditorHost() : Window(400, 300, "zintrax editor test") { Window.Show(); }

  VstIntPtr Open(const testhost::Instance& instance, bool passDisplay = true) {
    return instance.Dispatch(effEditOpen, 0,
                             passDisplay ? reinterpret_cast<VstIntPtr>(Window.Display()) : 0,
                             Window.Handle());
  }
  // Idle calls as a host makes them, with the server given time to deliver between them.
  void Idle(const testhost::Instance& instance, int times = 3) {
    for (int i = 0; i < times; ++i) {
      XSync(Window.Display(), False);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      Window.Pump();
      instance.Dispatch(effEditIdle);
    }
  }
  ::Window Id() const { return ::Window(reinterpret_cast<uintptr_t>(Window.Handle())); }

  // Real pointer events at a point of the host window.
  void MoveTo(int x, int y) {
    int rx = 0, ry = 0;
    ::Window child = 0;
    Display* d = Window.Display();
    XTranslateCoordinates(d, Id(), DefaultRootWindow(d), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(d, DefaultScreen(d), rx, ry, CurrentTime);
    XFlush(d);
  }
  void Button(unsigned button, bool down) {
    XTestFakeButtonEvent(Window.Display(), button, down, CurrentTime);
    XFlush(Window.Display());
  }
  // A press at a point of the window, moves with the button held and its release, each with
  // the idle calls that deliver it.
  void Press(const testhost::Instance& instance, int x, int y, unsigned button = 1) {
    MoveTo(x, y);
    Idle(instance, 1);
    Button(button, true);
    Idle(instance, 2);
  }
  void DragTo(const testhost::Instance& instance, int x, int y) {
    MoveTo(x, y);
    Idle(instance, 2);
  }
  void Release(const testhost::Instance& instance, unsigned button = 1) {
    Button(button, false);
    Idle(instance, 2);
  }
  void Key(const char* name, bool down) {
    Display* d = Window.Display();
    XTestFakeKeyEvent(d, XKeysymToKeycode(d, XStringToKeysym(name)), down, CurrentTime);
    XFlush(d);
  }

  zhost::HostWindow Window;
};

} // namespace gui
