// The X11 editor window: a child of the host's window on a Display connection of its own.
//
// The host owns the process and its X error handler, so every method that talks to the server
// sets a trap (our handler, installed on entry), waits for the server to have handled its
// requests before it returns and then puts the previous handler back. Errors of displays that
// are not ours go on to that previous handler; errors that say our window is gone mark it
// destroyed. Nothing here starts a thread or calls XInitThreads.
#include "platform/EditorWindowNative.h"

#include "platform/WindowImage.h"
#include "platform/WindowTimers.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#ifdef ZINTRAX_HAVE_XSHM
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#endif

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

constexpr uint32_t kDoubleClickMs = 500;
constexpr int kDoubleClickDistance = 4;

// A number at the start of text, or 0.
double LeadingNumber(const char* text) {
  char* end = nullptr;
  const double value = text ? std::strtod(text, &end) : 0.0;
  return end != text && value > 0.0 && value < 1e4 ? value : 0.0;
}

// The X resources' Xft.dpi over 96, else GDK_SCALE, else 0.
double DesktopScale(Display* display) {
  if (const char* resources = display ? XResourceManagerString(display) : nullptr) {
    static constexpr char kDpi[] = "Xft.dpi:";
    for (const char* line = resources; line && *line;) {
      if (std::strncmp(line, kDpi, sizeof kDpi - 1) == 0)
        if (const double dpi = LeadingNumber(line + sizeof kDpi - 1); dpi > 0)
          return dpi / 96.0;
      line = std::strchr(line, '\n');
      line = line ? line + 1 : nullptr;
    }
  }
  return LeadingNumber(std::getenv("GDK_SCALE"));
}

// Our error handler for the span of one method. Traps nest (a method calling another, the
// client calling in from a callback, several windows) and form a list, so that the handler
// can tell our displays from the host's; the mutex guards the list against a host thread whose
// own error reaches the handler while it is installed.
class TErrorTrap {
public:
  // watched: our window (0 while it does not exist yet); gone is set when an error says that
  // the watched window no longer exists.
  TErrorTrap(Display* display, Window watched, bool& gone)
      : FDisplay(display), FWatched(watched), FGone(gone) {
    std::lock_guard lock(Mutex());
    FPrevious = XSetErrorHandler(OnError);
    FOuter = Innermost();
    Innermost() = this;
  }

  ~TErrorTrap() {
    XSync(FDisplay, False);
    std::lock_guard lock(Mutex());
    XSetErrorHandler(FPrevious);
    for (TErrorTrap** link = &Innermost(); *link; link = &(*link)->FOuter)
      if (*link == this) {
        *link = FOuter;
        break;
      }
  }

  TErrorTrap(const TErrorTrap&) = delete;
  TErrorTrap& operator=(const TErrorTrap&) = delete;

  // Waits until the server has handled every request so far; true when none of those made
  // since the trap was set failed.
  bool Sync() {
    XSync(FDisplay, False);
    std::lock_guard lock(Mutex());
    return FErrors == 0;
  }

private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }

  static TErrorTrap*& Innermost() {
    static TErrorTrap* innermost = nullptr;
    return innermost;
  }

  static int OnError(Display* display, XErrorEvent* error) {
    XErrorHandler forward = nullptr;
    {
      std::lock_guard lock(Mutex());
      for (TErrorTrap* trap = Innermost(); trap; trap = trap->FOuter) {
        if (trap->FDisplay == display) {
          ++trap->FErrors;
          if (trap->FWatched && error->resourceid == trap->FWatched &&
              (error->error_code == BadWindow || error->error_code == BadDrawable))
            trap->FGone = true;
          return 0;
        }
        if (trap->FPrevious && trap->FPrevious != OnError)
          forward = trap->FPrevious;
      }
    }
    return forward ? forward(display, error) : 0;
  }

  Display* FDisplay;
  Window FWatched;
  bool& FGone;
  XErrorHandler FPrevious = nullptr;
  TErrorTrap* FOuter = nullptr;
  int FErrors = 0;
};

// Where one colour channel sits in a pixel of the visual.
struct TChannel {
  int Shift = 0;
  int Bits = 0;

  explicit TChannel(unsigned long mask)
      : Shift(mask ? std::countr_zero(mask) : 0), Bits(std::popcount(mask)) {}
  unsigned long Place(uint8_t value) const {
    const unsigned long scaled =
        Bits >= 8 ? (unsigned long)value << (Bits - 8) : (unsigned long)value >> (8 - Bits);
    return scaled << Shift;
  }
};

// The image the window is drawn from: window-sized, in the server's pixel format, shared
// with the server through MIT-SHM where it can be, otherwise sent with XPutImage.
struct TStaging {
  XImage* Image = nullptr;
  std::vector<char> Buffer;
#ifdef ZINTRAX_HAVE_XSHM
  XShmSegmentInfo Segment{};
#endif
  bool Shared = false;
  // 32 bits per pixel, bytes B, G, R, x in memory: the image's own layout.
  bool SameLayout = false;
};

class TX11EditorWindow final : public TEditorWindow {
public:
  TX11EditorWindow(Display* display, const TEditorWindowParams& params, TEditorWindowClient& client)
      : FDisplay(display), FClient(client), FParent(Window(uintptr_t(params.Parent))),
        FWidth(std::max(params.Width, 0)), FHeight(std::max(params.Height, 0)) {}

  ~TX11EditorWindow() override {
    FTimers = {};
    {
      TErrorTrap trap(FDisplay, FWindow, FGone);
      ReleaseStaging();
      if (FGC)
        XFreeGC(FDisplay, FGC);
      if (FWindow && !FGone)
        XDestroyWindow(FDisplay, FWindow);
    }
    XCloseDisplay(FDisplay);
  }

  // Makes the window; false when the parent does not exist or the server refused.
  bool Create() {
    TErrorTrap trap(FDisplay, 0, FGone);
    XWindowAttributes parent;
    if (!XGetWindowAttributes(FDisplay, FParent, &parent))
      return false;
    Screen* screen = parent.screen;
    FVisual = DefaultVisualOfScreen(screen);
    FDepth = DefaultDepthOfScreen(screen);
    // An explicit colormap and border pixel let the window have a visual other than its
    // parent's; no background means the server never clears it before we paint.
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.border_pixel = BlackPixelOfScreen(screen);
    attributes.colormap = DefaultColormapOfScreen(screen);
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | StructureNotifyMask;
    FWindow = XCreateWindow(FDisplay, FParent, 0, 0, unsigned(std::max(FWidth, 1)),
                            unsigned(std::max(FHeight, 1)), 0, FDepth, InputOutput, FVisual,
                            CWBackPixmap | CWBorderPixel | CWColormap | CWBitGravity | CWEventMask,
                            &attributes);
    FGC = XCreateGC(FDisplay, FWindow, 0, nullptr);
    // An XEmbed client that wants to be shown (protocol version 0, flag XEMBED_MAPPED): embedders
    // that follow the protocol map the window only when the flag is set.
    const long embedInfo[2] = {0, 1};
    const Atom embedAtom = XInternAtom(FDisplay, "_XEMBED_INFO", False);
    XChangeProperty(FDisplay, FWindow, embedAtom, embedAtom, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(embedInfo), 2);
    return trap.Sync();
  }

  void* NativeHandle() const override { return reinterpret_cast<void*>(uintptr_t(FWindow)); }
  bool Alive() const override { return !FGone; }

  void Show() override {
    if (FGone)
      return;
    TErrorTrap trap(FDisplay, FWindow, FGone);
    XMapWindow(FDisplay, FWindow);
  }

  void Place(int32_t left, int32_t top, int32_t width, int32_t height) override {
    if (FGone)
      return;
    TErrorTrap trap(FDisplay, FWindow, FGone);
    FWidth = std::max(width, 0);
    FHeight = std::max(height, 0);
    if (FStaging.Image && (FStaging.Image->width != FWidth || FStaging.Image->height != FHeight))
      ReleaseStaging();
    XMoveResizeWindow(FDisplay, FWindow, left, top, unsigned(std::max(FWidth, 1)),
                      unsigned(std::max(FHeight, 1)));
  }

  int32_t ClientWidth() const override { return FWidth; }
  int32_t ClientHeight() const override { return FHeight; }
  double SystemScale() const override { return DesktopScale(FDisplay); }

  void Invalidate(const TRect& rect) override {
    if (!FGone)
      FDirty = IntersectRect(UnionRect(FDirty, rect), {0, 0, FWidth, FHeight});
  }

  void Update() override {
    if (ReportGone() || FPainting || IsEmptyRect(FDirty))
      return;
    const TRect dirty = FDirty;
    FDirty = {};
    FPainting = true;
    FClient.WindowPaint(dirty);
    FPainting = false;
    ReportGone();
  }

  void CopyToScreen(TWindowImage& image, const TRect& source, TPoint origin) override {
    if (FGone)
      return;
    const TRect inImage = IntersectRect(source, {0, 0, image.Width(), image.Height()});
    const TRect r = IntersectRect(OffsetRect(inImage, origin), {0, 0, FWidth, FHeight});
    if (IsEmptyRect(r))
      return;
    TErrorTrap trap(FDisplay, FWindow, FGone);
    if (!FStaging.Image && !MakeStaging())
      return;
    Convert(image, r, origin);
    const unsigned width = unsigned(r.Right - r.Left);
    const unsigned height = unsigned(r.Bottom - r.Top);
#ifdef ZINTRAX_HAVE_XSHM
    // The trap's closing XSync also means the server has read the segment before the next
    // copy writes it again.
    if (FStaging.Shared) {
      XShmPutImage(FDisplay, FWindow, FGC, FStaging.Image, r.Left, r.Top, r.Left, r.Top, width,
                   height, False);
      return;
    }
#endif
    XPutImage(FDisplay, FWindow, FGC, FStaging.Image, r.Left, r.Top, r.Left, r.Top, width, height);
  }

  // X grabs the pointer for the window a button was pressed in until the last button is
  // released, so motion and the release outside the window already come to us. An explicit
  // grab is deliberately not taken: one the host does not know of could lock its interface.
  void SetCapture() override {}
  void ReleaseCapture() override {}

  bool StartTimer(uint32_t id, uint32_t intervalMs) override {
    return !FGone && FTimers.Start(id, intervalMs, MonotonicMilliseconds());
  }
  void StopTimer(uint32_t id) override {
    FTimers.Stop(id);
  }

  int EventDescriptor() const override {
    return ConnectionNumber(FDisplay);
  }

  void ProcessEvents() override {
    if (ReportGone())
      return;
    {
      TErrorTrap trap(FDisplay, FWindow, FGone);
      while (!FGone && XPending(FDisplay)) {
        XEvent event;
        XNextEvent(FDisplay, &event);
        Dispatch(event);
      }
    }
    if (ReportGone())
      return;
    for (uint32_t id : FTimers.TakeDue(MonotonicMilliseconds()))
      if (!FGone && FTimers.Running(id))
        FClient.WindowTimer(id);
    ReportGone();
  }

private:
  // Tells the client once that the window went away; true from then on.
  bool ReportGone() {
    if (!FGone)
      return false;
    if (!FReportedGone) {
      FReportedGone = true;
      FTimers = {};
      FClient.WindowDestroyed();
    }
    return true;
  }

  void Dispatch(const XEvent& event) {
    switch (event.type) {
    case Expose:
      Invalidate({event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                  event.xexpose.y + event.xexpose.height});
      break;
    case ButtonPress:
    case ButtonRelease:
      Button(event.xbutton);
      break;
    case MotionNotify:
      Mouse(TWindowMouseKind::Move, TMouseButton::Left, Shift(event.xmotion.state), event.xmotion.x,
            event.xmotion.y);
      break;
    case LeaveNotify:
      if (event.xcrossing.mode == NotifyNormal &&
          !(event.xcrossing.state & (Button1Mask | Button2Mask | Button3Mask)))
        Mouse(TWindowMouseKind::Leave, TMouseButton::Left, Shift(event.xcrossing.state),
              event.xcrossing.x, event.xcrossing.y);
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == FWindow)
        FGone = true;
      break;
    }
  }

  static uint32_t Shift(unsigned state) {
    uint32_t shift = 0;
    if (state & ShiftMask)
      shift |= sfShift;
    if (state & ControlMask)
      shift |= sfCtrl;
    if (state & Mod1Mask)
      shift |= sfAlt;
    if (state & Button1Mask)
      shift |= sfLeft;
    if (state & Button2Mask)
      shift |= sfMiddle;
    if (state & Button3Mask)
      shift |= sfRight;
    return shift;
  }

  // Buttons 1 to 3; a press of 4 or 5 is a notch of the wheel, up or down.
  void Button(const XButtonEvent& event) {
    static constexpr TMouseButton kButtons[] = {TMouseButton::Left, TMouseButton::Middle,
                                                TMouseButton::Right};
    static constexpr uint32_t kFlags[] = {sfLeft, sfMiddle, sfRight};
    if ((event.button == Button4 || event.button == Button5) && event.type == ButtonPress) {
      FClient.WindowMouse({TWindowMouseKind::Wheel, TMouseButton::Left, Shift(event.state), event.x,
                           event.y, event.button == Button4 ? 1 : -1});
      return;
    }
    if (event.button < Button1 || event.button > Button3)
      return;
    const unsigned index = event.button - Button1;
    // The state is the one before the event: a press adds its button, a release drops it.
    uint32_t shift = Shift(event.state);
    if (event.type == ButtonRelease) {
      Mouse(TWindowMouseKind::Up, kButtons[index], shift & ~kFlags[index], event.x, event.y);
      return;
    }
    shift |= kFlags[index];
    if (FLastPress && FLastPressButton == event.button &&
        uint32_t(uint32_t(event.time) - FLastPressTime) <= kDoubleClickMs &&
        std::abs(event.x - FLastPressX) <= kDoubleClickDistance &&
        std::abs(event.y - FLastPressY) <= kDoubleClickDistance) {
      shift |= sfDouble;
      FLastPress = false;
    } else {
      FLastPress = true;
      FLastPressButton = event.button;
      FLastPressTime = uint32_t(event.time);
      FLastPressX = event.x;
      FLastPressY = event.y;
    }
    Mouse(TWindowMouseKind::Down, kButtons[index], shift, event.x, event.y);
  }

  void Mouse(TWindowMouseKind kind, TMouseButton button, uint32_t shift, int x, int y) {
    FClient.WindowMouse({kind, button, shift, x, y});
  }

  bool MakeStaging() {
    if (FWidth <= 0 || FHeight <= 0)
      return false;
#ifdef ZINTRAX_HAVE_XSHM
    if (!FShmRefused && XShmQueryExtension(FDisplay) && MakeSharedStaging())
      return true;
    // A server without MIT-SHM, or one that cannot reach our memory (on another machine), is
    // sent the pixels from then on.
    FShmRefused = true;
#endif
    XImage* image = XCreateImage(FDisplay, FVisual, unsigned(FDepth), ZPixmap, 0, nullptr,
                                 unsigned(FWidth), unsigned(FHeight), 32, 0);
    if (!image)
      return false;
    FStaging.Buffer.assign(size_t(image->bytes_per_line) * size_t(FHeight), 0);
    image->data = FStaging.Buffer.data();
    Adopt(image);
    return true;
  }

#ifdef ZINTRAX_HAVE_XSHM
  bool MakeSharedStaging() {
    XShmSegmentInfo& segment = FStaging.Segment;
    XImage* image = XShmCreateImage(FDisplay, FVisual, unsigned(FDepth), ZPixmap, nullptr, &segment,
                                    unsigned(FWidth), unsigned(FHeight));
    if (!image)
      return false;
    segment.shmid =
        shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * size_t(FHeight), IPC_CREAT | 0600);
    bool attached = false;
    if (segment.shmid >= 0) {
      segment.shmaddr = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
      if (segment.shmaddr != reinterpret_cast<char*>(-1)) {
        segment.readOnly = False;
        TErrorTrap trap(FDisplay, FWindow, FGone);
        attached = XShmAttach(FDisplay, &segment) && trap.Sync();
        if (!attached)
          shmdt(segment.shmaddr);
      }
      // Marked for removal at once: the segment ends with its last user, even on a crash.
      shmctl(segment.shmid, IPC_RMID, nullptr);
    }
    if (!attached) {
      XDestroyImage(image);
      segment = {};
      return false;
    }
    image->data = segment.shmaddr;
    FStaging.Shared = true;
    Adopt(image);
    return true;
  }
#endif

  void Adopt(XImage* image) {
    FStaging.Image = image;
    FStaging.SameLayout = image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                          image->red_mask == 0xff0000 && image->green_mask == 0xff00 &&
                          image->blue_mask == 0xff;
  }

  void ReleaseStaging() {
    if (!FStaging.Image)
      return;
#ifdef ZINTRAX_HAVE_XSHM
    if (FStaging.Shared) {
      XShmDetach(FDisplay, &FStaging.Segment);
      XSync(FDisplay, False);
      shmdt(FStaging.Segment.shmaddr);
    }
#endif
    // The pixels belong to the buffer or the segment, not to the image.
    FStaging.Image->data = nullptr;
    XDestroyImage(FStaging.Image);
    FStaging = {};
  }

  // Copies the window rectangle r into the staging image from image (B, G, R, A, bottom row
  // first), whose top-left pixel lies at origin of the window.
  void Convert(TWindowImage& image, const TRect& r, TPoint origin) {
    XImage* target = FStaging.Image;
    const size_t width = size_t(r.Right - r.Left);
    auto row = [&](int32_t y) {
      return image.Bits() + (size_t(image.Height() - 1 - (y - origin.Y)) * size_t(image.Width()) +
                             size_t(r.Left - origin.X)) *
                                4;
    };
    if (FStaging.SameLayout) {
      for (int32_t y = r.Top; y < r.Bottom; ++y)
        std::memcpy(target->data + size_t(y) * size_t(target->bytes_per_line) + size_t(r.Left) * 4,
                    row(y), width * 4);
      return;
    }
    const TChannel red(target->red_mask), green(target->green_mask), blue(target->blue_mask);
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
      const uint8_t* from = row(y);
      for (int32_t x = r.Left; x < r.Right; ++x, from += 4)
        XPutPixel(target, x, y, blue.Place(from[0]) | green.Place(from[1]) | red.Place(from[2]));
    }
  }

  Display* FDisplay;
  TEditorWindowClient& FClient;
  Window FParent;
  Window FWindow = 0;
  GC FGC = nullptr;
  Visual* FVisual = nullptr;
  int FDepth = 0;
  int32_t FWidth;
  int32_t FHeight;
  bool FGone = false;
  bool FReportedGone = false;
  bool FPainting = false;
  TRect FDirty{};
  TWindowTimers FTimers;
  TStaging FStaging;
#ifdef ZINTRAX_HAVE_XSHM
  bool FShmRefused = false;
#endif
  bool FLastPress = false;
  unsigned FLastPressButton = 0;
  uint32_t FLastPressTime = 0;
  int FLastPressX = 0;
  int FLastPressY = 0;
};

} // namespace

std::unique_ptr<TEditorWindow> CreateNativeEditorWindow(const TEditorWindowParams& params,
                                                        TEditorWindowClient& client) {
  if (!params.Parent)
    return nullptr;
  Display* display = XOpenDisplay(nullptr);
  if (!display)
    return nullptr;
  auto window = std::make_unique<TX11EditorWindow>(display, params, client);
  if (!window->Create())
    return nullptr;
  return window;
}
