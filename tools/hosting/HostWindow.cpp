#include "hosting/HostWindow.h"

#include "hosting/Errors.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace zhost {

namespace {

// The position of a colour mask's lowest bit and its width, to turn a pixel into 8 bits.
int Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0)
    return 0;
  int shift = 0;
  while (!(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  const unsigned long value = (pixel >> shift) & mask;
  return int(value * 255 / mask);
}

} // namespace

HostWindow::HostWindow(int width, int height, const std::string& title) {
  FDisplay = XOpenDisplay(nullptr);
  if (!FDisplay)
    throw HostError("cannot open the X display '" + std::string(XDisplayName(nullptr)) +
                    "' (is DISPLAY set?)");
  const int screen = DefaultScreen(FDisplay);
  FWindow = XCreateSimpleWindow(FDisplay, RootWindow(FDisplay, screen), 0, 0,
                                unsigned(std::max(width, 1)), unsigned(std::max(height, 1)), 0,
                                BlackPixel(FDisplay, screen), BlackPixel(FDisplay, screen));
  XStoreName(FDisplay, FWindow, title.c_str());
  FDeleteAtom = XInternAtom(FDisplay, "WM_DELETE_WINDOW", False);
  Atom protocols[] = {Atom(FDeleteAtom)};
  XSetWMProtocols(FDisplay, FWindow, protocols, 1);
  XSelectInput(FDisplay, FWindow, StructureNotifyMask);
  SetSize(width, height);
}

HostWindow::~HostWindow() {
  Destroy();
  XCloseDisplay(FDisplay);
}

void HostWindow::Destroy() {
  if (FWindow)
    XDestroyWindow(FDisplay, FWindow);
  XSync(FDisplay, False);
  FWindow = 0;
}

void* HostWindow::Handle() const {
  return reinterpret_cast<void*>(uintptr_t(FWindow));
}

void HostWindow::SetSize(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  XSizeHints hints{};
  hints.flags = PMinSize | PMaxSize;
  hints.min_width = hints.max_width = width;
  hints.min_height = hints.max_height = height;
  XSetWMNormalHints(FDisplay, FWindow, &hints);
  XResizeWindow(FDisplay, FWindow, unsigned(width), unsigned(height));
  XSync(FDisplay, False);
}

void HostWindow::Show() {
  XMapRaised(FDisplay, FWindow);
  XSync(FDisplay, False);
  for (int tries = 0; tries < 200; ++tries) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(FDisplay, FWindow, &attributes);
    if (attributes.map_state == IsViewable)
      return;
    Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  throw HostError("the host window did not become visible");
}

bool HostWindow::Pump() {
  while (XPending(FDisplay)) {
    XEvent event;
    XNextEvent(FDisplay, &event);
    if (event.type == ClientMessage && Atom(event.xclient.data.l[0]) == Atom(FDeleteAtom))
      FClosed = true;
    if (event.type == DestroyNotify && event.xdestroywindow.window == FWindow) {
      FClosed = true;
      FWindow = 0;
    }
  }
  return !FClosed;
}

std::vector<uint32_t> HostWindow::Capture(int width, int height) const {
  XSync(FDisplay, False);
  XImage* image =
      XGetImage(FDisplay, FWindow, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
  if (!image)
    throw HostError("cannot read the window's picture");
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      pixels[size_t(y) * size_t(width) + size_t(x)] = uint32_t(Channel(p, image->red_mask)) << 16 |
                                                      uint32_t(Channel(p, image->green_mask)) << 8 |
                                                      uint32_t(Channel(p, image->blue_mask));
    }
  XDestroyImage(image);
  return pixels;
}

} // namespace zhost
