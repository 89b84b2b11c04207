// The window layer of the editor: one native window, a child of a window the host owns, that
// shows a memory image and turns the window system's input, exposure and timers into calls of
// its client. Backends: X11 (Linux), Win32 and headless (memory only, for tests, benchmarks
// and pictures); the toolkit above sees only this interface.
//
// Everything happens on the thread that calls in: a backend has no thread of its own. The
// client's callbacks run only inside ProcessEvents and Update (and never after the window is
// destroyed).
#pragma once

#include "platform/Region.h"

#include <cstdint>
#include <functional>
#include <memory>

class TWindowImage;

enum class TMouseButton : uint8_t { Left, Right, Middle };

// Keys and buttons held at an event. For a press the pressed button is included, for a
// release it is not any more. sfDouble marks the second press of a double click.
enum TShiftFlag : uint32_t {
  sfShift = 1u << 0,
  sfCtrl = 1u << 1,
  sfAlt = 1u << 2,
  sfLeft = 1u << 3,
  sfRight = 1u << 4,
  sfMiddle = 1u << 5,
  sfDouble = 1u << 6,
};

enum class TWindowMouseKind : uint8_t {
  Down,
  Up,
  Move,
  Leave, // the pointer left the window (not sent while a button holds it)
  Wheel, // the wheel turned by Wheel notches
};

struct TWindowMouseEvent {
  TWindowMouseKind Kind = TWindowMouseKind::Move;
  TMouseButton Button = TMouseButton::Left; // Down and Up only
  uint32_t Shift = 0;                       // TShiftFlag bits
  int32_t X = 0;                            // client coordinates; may lie outside the window
  int32_t Y = 0;                            // while a press holds the pointer
  int32_t Wheel = 0;                        // Wheel only: notches, positive away from the user
};

// What the window calls back. Rectangles have exclusive Right and Bottom.
class TEditorWindowClient {
public:
  virtual ~TEditorWindowClient() = default;
  // Paint the dirty rectangle; the client draws it and copies it with CopyToScreen.
  virtual void WindowPaint(const TRect& dirty) = 0;
  virtual void WindowMouse(const TWindowMouseEvent& event) = 0;
  virtual void WindowTimer(uint32_t id) = 0;
  // The window system destroyed the window (for example with the host's window); no further
  // callback follows and the window's operations do nothing from now on.
  virtual void WindowDestroyed() = 0;
};

struct TEditorWindowParams {
  void* Parent = nullptr; // the host's window handle (an X11 Window id, an HWND)
  intptr_t HostData = 0;  // effEditOpen's value: the host's Display* on some X11 hosts, or 0
  int32_t Width = 0;
  int32_t Height = 0;
};

class TEditorWindow {
public:
  // Destroys the native window and everything the backend holds for it (timers, connection).
  virtual ~TEditorWindow() = default;

  virtual void* NativeHandle() const = 0;
  // False once the window system has destroyed the window.
  virtual bool Alive() const = 0;

  virtual void Show() = 0;
  virtual void Place(int32_t left, int32_t top, int32_t width, int32_t height) = 0;
  virtual int32_t ClientWidth() const = 0;
  virtual int32_t ClientHeight() const = 0;
  // The display scale the desktop asks of applications (on X11 the X resources' Xft.dpi over
  // 96, else GDK_SCALE), or 0 when it asks none.
  virtual double SystemScale() const { return 0.0; }

  // Marks a rectangle for the next paint (Update or the window system's own exposure).
  virtual void Invalidate(const TRect& rect) = 0;
  // Paints what is marked now, through the client's WindowPaint.
  virtual void Update() = 0;
  // Inside WindowPaint: copies the rectangle source of image to the screen, the image's
  // top-left pixel lying at origin of the window; what falls outside either is left out.
  virtual void CopyToScreen(TWindowImage& image, const TRect& source, TPoint origin) = 0;

  // Keeps delivering the pointer to this window while a button is held outside it.
  virtual void SetCapture() = 0;
  virtual void ReleaseCapture() = 0;

  // Starts or restarts the timer id; false when the window system has no timer left. A timer
  // fires at most once per ProcessEvents, once intervalMs have passed since it was started or
  // last fired; a late tick is not made up for.
  virtual bool StartTimer(uint32_t id, uint32_t intervalMs) = 0;
  virtual void StopTimer(uint32_t id) = 0;

  // Delivers, in order, what the window system has queued: input, exposure (marked for the
  // next Update) and due timers. Backends whose host drives the messages do nothing here.
  virtual void ProcessEvents() = 0;
  // A file descriptor that becomes readable when the window system has queued something for
  // ProcessEvents, for a host that watches descriptors; -1 for a backend that has none.
  virtual int EventDescriptor() const { return -1; }
};

// Makes the window, or answers null when it cannot be made (no window system, no parent, a
// parent that does not exist).
using TEditorWindowFactory = std::function<std::unique_ptr<TEditorWindow>(
    const TEditorWindowParams& params, TEditorWindowClient& client)>;

// Through the installed factory, or the platform's own backend when none is installed.
std::unique_ptr<TEditorWindow> CreateEditorWindow(const TEditorWindowParams& params,
                                                  TEditorWindowClient& client);
// Installs a factory and answers the previous one; an empty one restores the platform's own.
TEditorWindowFactory SetEditorWindowFactory(TEditorWindowFactory factory);

// Milliseconds of a monotonic clock.
using TMillisecondClock = std::function<uint64_t()>;
uint64_t MonotonicMilliseconds();
