// What the Windows editor tests share: a host window and its message loop, the pixels a window
// shows, and real pointer input through SendInput.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace win32host {

inline void Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// A top-level window, or a child of parent (hosts often embed editors in one).
inline HWND MakeHostWindow(HWND parent = nullptr) {
  static const ATOM hostClass = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"ZintraxTestHost";
    return RegisterClassExW(&wc);
  }();
  HWND window =
      CreateWindowExW(0, reinterpret_cast<LPCWSTR>(uintptr_t(hostClass)), L"host",
                      (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE, parent ? 0 : 40, parent ? 0 : 40,
                      400, 300, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  UpdateWindow(window);
  return window;
}

inline std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> found;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    found.push_back(child);
  return found;
}

// The window's pixels as the screen shows them, top row first, 0x00RRGGBB.
inline std::vector<uint32_t> Grab(HWND window, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  HDC screen = GetDC(window);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  ReleaseDC(window, screen);
  const auto* pixels = static_cast<const uint32_t*>(bits);
  std::vector<uint32_t> result(pixels, pixels + size_t(width) * size_t(height));
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(bitmap);
  for (uint32_t& p : result)
    p &= 0xFFFFFF;
  return result;
}

inline void SendMouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

// The pointer placed at a point of the window, then moved by nothing through SendInput, so
// that the window under it receives the move as from a mouse.
inline void MoveTo(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  SetCursorPos(p.x, p.y);
  SendMouse(MOUSEEVENTF_MOVE);
}

// A press at the first point, moves to the others with the button held, and the release; the
// host's idle(times) after each step delivers it.
inline void Drag(HWND window, std::initializer_list<POINT> points,
                 const std::function<void(int)>& idle) {
  auto p = points.begin();
  MoveTo(window, p->x, p->y);
  idle(1);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  idle(2);
  for (++p; p != points.end(); ++p) {
    MoveTo(window, p->x, p->y);
    idle(2);
  }
  SendMouse(MOUSEEVENTF_LEFTUP);
  idle(2);
}

} // namespace win32host
