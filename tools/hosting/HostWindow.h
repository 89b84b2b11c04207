// The host's side of a plug-in editor on X11: a top-level window on the user's display (or a
// private Xvfb) that a plug-in embeds its editor in, with its own event pump and a way to read
// back what the window shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace zhost {

class HostWindow {
public:
  // Opens a connection to DISPLAY and makes the window (not yet shown); throws HostError.
  HostWindow(int width, int height, const std::string& title);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  _XDisplay* Display() const { return FDisplay; }
  // The X11 Window id, as effEditOpen takes it.
  void* Handle() const;
  // Fixes the window's size (the user cannot resize it).
  void SetSize(int width, int height);
  // Maps the window and waits until it is viewable.
  void Show();
  // Handles the window's own events; false once the user has closed it.
  bool Pump();
  // Destroys the window now, as a host that goes away before closing the editor does.
  void Destroy();
  // The window's pixels (with whatever the plug-in's editor shows in it), as 0x00RRGGBB,
  // top row first.
  std::vector<uint32_t> Capture(int width, int height) const;

private:
  _XDisplay* FDisplay = nullptr;
  unsigned long FWindow = 0;
  unsigned long FDeleteAtom = 0;
  bool FClosed = false;
};

} // namespace zhost
