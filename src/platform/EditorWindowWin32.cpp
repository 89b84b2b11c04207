// The Win32 editor window: a WS_CHILD of the host's HWND, driven by the host's message loop.
//
// Messages reach the window procedure from whatever loop dispatches them (the host's, or
// UpdateWindow inside Update), so input, paints and timers are handed to the client there;
// ProcessEvents only reports a window that the host destroyed. The window procedure is a
// boundary to code that is not ours: no exception leaves it.
//
// While the DLL is loaded, window images are device-independent sections, each selected into a
// memory device context of its own, so that a paint is one bit-block transfer of the dirty
// rectangle. The window class is registered on the first window and unregistered when the DLL
// unloads. Its registration is a static object made when the DLL loads, so it is destroyed
// after the modules that a host never closed, and with them their windows.
#include "platform/EditorWindowNative.h"

#include "platform/WindowImage.h"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

namespace {

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

std::string SystemText(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result(text ? text : "", length);
  LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
    result.pop_back();
  return result;
}

[[noreturn]] void RaiseLastError() {
  // GDI does not always set an error code when it runs out of room for a section.
  const DWORD code = GetLastError() ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
  throw EWindowsError(long(code), SystemText(code));
}

// A 32-bit bottom-up device-independent section, selected into a memory device context of its
// own for the whole of its life.
class TDIBSection final : public TWindowImage {
public:
  TDIBSection(int width, int height) : FWidth(width), FHeight(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // positive: the bottom row comes first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    FBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!FBitmap)
      RaiseLastError();
    FDC = CreateCompatibleDC(nullptr);
    if (!FDC) {
      DeleteObject(FBitmap);
      RaiseLastError();
    }
    FPrevious = SelectObject(FDC, FBitmap);
    FBits = static_cast<uint8_t*>(bits);
    std::memset(FBits, 0, size_t(width) * size_t(height) * 4);
  }

  ~TDIBSection() override {
    SelectObject(FDC, FPrevious);
    DeleteDC(FDC);
    DeleteObject(FBitmap);
  }

  TDIBSection(const TDIBSection&) = delete;
  TDIBSection& operator=(const TDIBSection&) = delete;

  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  uint8_t* Bits() override { return FBits; }
  void* NativeHandle() const override { return FBitmap; }
  HDC DC() const { return FDC; }

private:
  int FWidth;
  int FHeight;
  HBITMAP FBitmap = nullptr;
  HDC FDC = nullptr;
  HGDIOBJ FPrevious = nullptr;
  uint8_t* FBits = nullptr;
};

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A class atom where the window functions take a class name.
LPCWSTR AtomName(ATOM atom) {
  return reinterpret_cast<LPCWSTR>(uintptr_t(atom));
}

// The window class, registered once under a name of its own (two copies of the DLL loaded from
// different files have different module addresses), and the window images of the DLL.
class TWindowClass {
public:
  TWindowClass() {
    SetWindowImageFactory(
        [](int width, int height) { return std::make_unique<TDIBSection>(width, height); });
  }

  ~TWindowClass() {
    SetWindowImageFactory(nullptr);
    if (FClass)
      UnregisterClassW(AtomName(FClass), ThisModule());
  }

  // The class atom, or 0 when the class cannot be registered.
  ATOM Class() {
    std::lock_guard lock(FMutex);
    if (FClass)
      return FClass;
    wchar_t name[64];
    std::swprintf(name, 64, L"ZintraxEditor%p", static_cast<void*>(ThisModule()));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = name;
    FClass = RegisterClassExW(&wc);
    return FClass;
  }

private:
  std::mutex FMutex;
  ATOM FClass = 0;
};

TWindowClass gWindowClass;

// Cuts the window off from our code and destroys it: at once on its own thread, through its
// message queue on any other (DestroyWindow works only on the thread that owns the window).
void Detach(HWND window) {
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
  if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
    DestroyWindow(window);
  else
    PostMessageW(window, WM_CLOSE, 0, 0);
}

uint32_t Shift(WPARAM keys) {
  uint32_t shift = 0;
  if (keys & MK_SHIFT)
    shift |= sfShift;
  if (keys & MK_CONTROL)
    shift |= sfCtrl;
  if (GetKeyState(VK_MENU) < 0)
    shift |= sfAlt;
  if (keys & MK_LBUTTON)
    shift |= sfLeft;
  if (keys & MK_RBUTTON)
    shift |= sfRight;
  if (keys & MK_MBUTTON)
    shift |= sfMiddle;
  return shift;
}

// The keys and buttons held now, for messages that carry none.
WPARAM KeysNow() {
  WPARAM keys = 0;
  const std::pair<int, WPARAM> map[] = {{VK_SHIFT, MK_SHIFT},
                                        {VK_CONTROL, MK_CONTROL},
                                        {VK_LBUTTON, MK_LBUTTON},
                                        {VK_RBUTTON, MK_RBUTTON},
                                        {VK_MBUTTON, MK_MBUTTON}};
  for (const auto& [key, flag] : map)
    if (GetKeyState(key) < 0)
      keys |= flag;
  return keys;
}

class TWin32EditorWindow final : public TEditorWindow {
public:
  TWin32EditorWindow(const TEditorWindowParams& params, TEditorWindowClient& client)
      : FClient(client), FWidth(std::max(params.Width, 0)), FHeight(std::max(params.Height, 0)) {}

  // Destroying the window also ends its timers and its hold on the pointer.
  ~TWin32EditorWindow() override {
    if (FWindow)
      Detach(FWindow);
  }

  // Makes the window, hidden, in the top-left corner of the parent; false when it cannot.
  bool Create(HWND parent) {
    const ATOM windowClass = gWindowClass.Class();
    if (!windowClass)
      return false;
    return CreateWindowExW(0, AtomName(windowClass), L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0,
                           std::max(FWidth, 1), std::max(FHeight, 1), parent, nullptr, ThisModule(),
                           this) != nullptr;
  }

  void* NativeHandle() const override { return FWindow; }
  bool Alive() const override { return FWindow != nullptr; }

  void Show() override {
    if (FWindow)
      ShowWindow(FWindow, SW_SHOWNA);
  }

  void Place(int32_t left, int32_t top, int32_t width, int32_t height) override {
    if (!FWindow)
      return;
    FWidth = std::max(width, 0);
    FHeight = std::max(height, 0);
    SetWindowPos(FWindow, nullptr, left, top, std::max(FWidth, 1), std::max(FHeight, 1),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }

  int32_t ClientWidth() const override { return FWidth; }
  int32_t ClientHeight() const override { return FHeight; }

  void Invalidate(const TRect& rect) override {
    const TRect r = IntersectRect(rect, {0, 0, FWidth, FHeight});
    if (!FWindow || IsEmptyRect(r))
      return;
    const RECT area{r.Left, r.Top, r.Right, r.Bottom};
    InvalidateRect(FWindow, &area, FALSE);
  }

  void Update() override {
    if (!ReportGone())
      UpdateWindow(FWindow);
  }

  void CopyToScreen(TWindowImage& image, const TRect& source, TPoint origin) override {
    if (!FWindow || !FPaintDC)
      return;
    const TRect inImage = IntersectRect(source, {0, 0, image.Width(), image.Height()});
    const TRect r = IntersectRect(OffsetRect(inImage, origin), {0, 0, FWidth, FHeight});
    if (IsEmptyRect(r))
      return;
    // Every window image is a section while the DLL is loaded; one made while a caller had
    // another factory installed has no device context to copy from and is not shown.
    const auto* section = dynamic_cast<const TDIBSection*>(&image);
    if (!section)
      return;
    BitBlt(FPaintDC, r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top, section->DC(),
           r.Left - origin.X, r.Top - origin.Y, SRCCOPY);
    // The client draws into the section next; the transfer must have read it by then.
    GdiFlush();
  }

  void SetCapture() override {
    if (FWindow)
      ::SetCapture(FWindow);
  }
  void ReleaseCapture() override {
    if (FWindow && ::GetCapture() == FWindow)
      ::ReleaseCapture();
  }

  bool StartTimer(uint32_t id, uint32_t intervalMs) override {
    if (!FWindow || !SetTimer(FWindow, id, std::max<UINT>(intervalMs, USER_TIMER_MINIMUM), nullptr))
      return false;
    if (std::find(FTimers.begin(), FTimers.end(), id) == FTimers.end())
      FTimers.push_back(id);
    return true;
  }

  void StopTimer(uint32_t id) override {
    if (FWindow)
      KillTimer(FWindow, id);
    std::erase(FTimers, id);
  }

  void ProcessEvents() override { ReportGone(); }

  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
      FWindow = window;
      break;
    case WM_NCDESTROY:
      // Only a window destroyed from outside gets here: ours are detached first.
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      FWindow = nullptr;
      FTimers.clear();
      break;
    case WM_ERASEBKGND:
      return 1; // every pixel is painted from the image
    case WM_PAINT:
      Paint();
      return 0;
    case WM_TIMER:
      if (std::find(FTimers.begin(), FTimers.end(), uint32_t(wParam)) != FTimers.end())
        FClient.WindowTimer(uint32_t(wParam));
      return 0;
    case WM_MOUSEMOVE:
      if (!FTrackingLeave) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
        FTrackingLeave = TrackMouseEvent(&track);
      }
      Mouse(TWindowMouseKind::Move, TMouseButton::Left, wParam, lParam);
      return 0;
    case WM_MOUSELEAVE:
      FTrackingLeave = false;
      if (::GetCapture() != window) {
        POINT p{};
        GetCursorPos(&p);
        ScreenToClient(window, &p);
        FClient.WindowMouse({TWindowMouseKind::Leave, TMouseButton::Left, Shift(KeysNow()),
                             int32_t(p.x), int32_t(p.y)});
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      Mouse(TWindowMouseKind::Down, TMouseButton::Left, wParam, lParam,
            message == WM_LBUTTONDBLCLK);
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      Mouse(TWindowMouseKind::Down, TMouseButton::Right, wParam, lParam,
            message == WM_RBUTTONDBLCLK);
      return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      Mouse(TWindowMouseKind::Down, TMouseButton::Middle, wParam, lParam,
            message == WM_MBUTTONDBLCLK);
      return 0;
    case WM_LBUTTONUP:
      Mouse(TWindowMouseKind::Up, TMouseButton::Left, wParam, lParam);
      return 0;
    case WM_RBUTTONUP:
      Mouse(TWindowMouseKind::Up, TMouseButton::Right, wParam, lParam);
      return 0;
    case WM_MBUTTONUP:
      Mouse(TWindowMouseKind::Up, TMouseButton::Middle, wParam, lParam);
      return 0;
    case WM_MOUSEWHEEL: {
      // The wheel's point is on the screen; the delta is in 120ths of a notch.
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(window, &point);
      const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
      if (notches != 0)
        FClient.WindowMouse({TWindowMouseKind::Wheel, TMouseButton::Left,
                             Shift(GET_KEYSTATE_WPARAM(wParam)), point.x, point.y, notches});
      return 0;
    }
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

private:
  // Tells the client once that the window went away; true from then on.
  bool ReportGone() {
    if (FWindow)
      return false;
    if (!FReportedGone) {
      FReportedGone = true;
      FClient.WindowDestroyed();
    }
    return true;
  }

  void Paint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(FWindow, &paint);
    if (!dc)
      return;
    const TRect dirty = IntersectRect(
        {paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom},
        {0, 0, FWidth, FHeight});
    if (!FPaintDC && !IsEmptyRect(dirty)) {
      FPaintDC = dc;
      try {
        FClient.WindowPaint(dirty);
      } catch (...) {
        FPaintDC = nullptr;
        EndPaint(FWindow, &paint);
        throw;
      }
      FPaintDC = nullptr;
    }
    EndPaint(FWindow, &paint);
  }

  // Coordinates are signed: while the capture holds, the pointer may lie left of or above the
  // window. The keys of a press include its button, those of a release no longer do.
  void Mouse(TWindowMouseKind kind, TMouseButton button, WPARAM keys, LPARAM lParam,
             bool doubleClick = false) {
    const uint32_t shift = Shift(keys) | (doubleClick ? uint32_t(sfDouble) : 0u);
    FClient.WindowMouse({kind, button, shift, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
  }

  TEditorWindowClient& FClient;
  HWND FWindow = nullptr;
  int32_t FWidth;
  int32_t FHeight;
  HDC FPaintDC = nullptr;
  bool FReportedGone = false;
  bool FTrackingLeave = false;
  std::vector<uint32_t> FTimers;
};

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(
        window, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
  auto* self = reinterpret_cast<TWin32EditorWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self)
    return DefWindowProcW(window, message, wParam, lParam);
  try {
    return self->Handle(window, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

} // namespace

std::unique_ptr<TEditorWindow> CreateNativeEditorWindow(const TEditorWindowParams& params,
                                                        TEditorWindowClient& client) {
  HWND parent = static_cast<HWND>(params.Parent);
  if (!parent || !IsWindow(parent))
    return nullptr;
  auto window = std::make_unique<TWin32EditorWindow>(params, client);
  if (!window->Create(parent))
    return nullptr;
  return window;
}
