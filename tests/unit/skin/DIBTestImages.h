// Small helpers for building test images with known pixels.
#pragma once

#include "skin/cDIB.h"

#include <cstdint>

inline TPixel32 Px(uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  return TPixel32{b, g, r, a};
}

inline bool operator==(const TPixel32& p, const TPixel32& q) {
  return p.B == q.B && p.G == q.G && p.R == q.R && p.A == q.A;
}

inline void FillWith(TAbstractSuperDIB& image, TPixel32 p) {
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      image.PixelAt(x, y) = p;
    }
  }
}

// A pixel that tells its position: blue = x, green = y, red = x + y, alpha = 255 (sizes < 128).
inline TPixel32 Marker(int x, int y) {
  return Px(static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>(x + y), 255);
}

inline void FillWithMarkers(TAbstractSuperDIB& image) {
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      image.PixelAt(x, y) = Marker(x, y);
    }
  }
}
