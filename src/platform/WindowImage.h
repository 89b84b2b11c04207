// A 32-bit, bottom-up pixel section that the window system can copy to a window. The backend
// of each window system (X11, Win32) installs a factory; without one, sections are plain
// memory, which is all that headless drawing needs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// Raised when the window system cannot create a section: "Windows error (code) text".
class EWindowsError : public std::runtime_error {
public:
  EWindowsError(long code, const std::string& systemText)
      : std::runtime_error("Windows error (" + std::to_string(code) + ") " + systemText) {}
};

class TWindowImage {
public:
  virtual ~TWindowImage() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Width * Height pixels of 4 bytes (blue, green, red, alpha), bottom row first, no padding.
  virtual uint8_t* Bits() = 0;
  // The window system's handle of the section (null for plain memory).
  virtual void* NativeHandle() const = 0;
};

using TWindowImageFactory = std::function<std::unique_ptr<TWindowImage>(int width, int height)>;

// Installs the window system's factory; an empty one restores plain memory.
void SetWindowImageFactory(TWindowImageFactory factory);
// A zero-filled section of width x height pixels (both at least 1).
std::unique_ptr<TWindowImage> CreateWindowImage(int width, int height);
