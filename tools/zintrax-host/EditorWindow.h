// A plug-in's editor embedded in a window of this tool's own on the display, idled as a host
// idles it, and closed before its window goes.
#pragma once

#include "Instance.h"

#include "hosting/HostWindow.h"

#include <string>

namespace zhost {

// The plug-in's name, else what the user named.
std::string Title(const Instance& plugin);

class EditorWindow {
public:
  // Opens the editor of an opened plug-in in a new window sized to it; throws HostError when
  // the plug-in has no editor or does not open it.
  explicit EditorWindow(Instance& plugin);
  ~EditorWindow();
  EditorWindow(const EditorWindow&) = delete;
  EditorWindow& operator=(const EditorWindow&) = delete;

  // One idle round as a host makes it: the window's events, then the plug-in's idle; false once
  // the window was closed.
  bool Idle();

  HostWindow& Window() { return FWindow; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

private:
  Instance& FPlugin;
  HostWindow FWindow;
  int FWidth = 0;
  int FHeight = 0;
};

} // namespace zhost
