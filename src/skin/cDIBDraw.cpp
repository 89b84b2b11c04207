// Unrotated drawing: clipping of a draw to both images, the six pixel rules, copies and fills.
#include "skin/cDIB.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace {

// The part of a draw left after clipping: w x h pixels from (sx, sy) of the source to (x, y)
// of the destination, all top-down and inside both images.
struct TDrawArea {
  int X;
  int Y;
  int SX;
  int SY;
  int W;
  int H;
};

// Cuts a draw to the destination's clip rectangle, to the source and to the destination.
// 64-bit arithmetic keeps extreme positions and sizes from overflowing.
bool ClipDraw(const TAbstractSuperDIB& s, const TAbstractSuperDIB& d, int x, int y, int sx, int sy,
              int h, int w, TDrawArea& area) {
  if (!s.HasBuffer() || !d.HasBuffer()) {
    return false;
  }
  int64_t X = x, Y = y, SX = sx, SY = sy, W = w, H = h;
  const TRect& clip = d.ClipRect();
  // Left and top edges move the source offset with the cut.
  auto cutLow = [](int64_t& pos, int64_t& src, int64_t& len, int64_t edge) {
    if (pos < edge) {
      src += edge - pos;
      len -= edge - pos;
      pos = edge;
    }
  };
  auto cutHigh = [](int64_t pos, int64_t& len, int64_t lastInclusive) {
    if (pos + len - 1 > lastInclusive) {
      len = lastInclusive - pos + 1;
    }
  };
  cutLow(X, SX, W, clip.Left);
  cutLow(Y, SY, H, clip.Top);
  cutHigh(X, W, clip.Right);
  cutHigh(Y, H, clip.Bottom);
  // The source rectangle stays inside s; a negative offset moves the destination with it.
  cutLow(SX, X, W, 0);
  cutLow(SY, Y, H, 0);
  cutHigh(SX, W, s.Width() - 1);
  cutHigh(SY, H, s.Height() - 1);
  // Finally the destination's own bounds (the clip rectangle may predate a size change).
  cutLow(X, SX, W, 0);
  cutLow(Y, SY, H, 0);
  cutHigh(X, W, d.Width() - 1);
  cutHigh(Y, H, d.Height() - 1);
  if (W < 1 || H < 1) {
    return false;
  }
  area = TDrawArea{static_cast<int>(X),  static_cast<int>(Y), static_cast<int>(SX),
                   static_cast<int>(SY), static_cast<int>(W), static_cast<int>(H)};
  return true;
}

// --- pixel rules ---------------------------------------------------------------------------
//
// Each rule works on whole pixels as little-endian 32-bit words (blue in the low byte, alpha in
// the high byte), so a row loop is one load, a few integer operations and one store per pixel,
// which the compiler vectorises. Blue and red are mixed together in the two 16-bit halves of a
// word: m * S + (255 - m) * D + 255 is at most 65280, so neither half overflows into the other.
static_assert(std::endian::native == std::endian::little,
              "the pixel rules read pixels as little-endian words");

inline uint32_t Mix(uint32_t m, uint32_t s, uint32_t d) {
  const uint32_t rb =
      ((m * (s & 0xFF00FFu) + (255 - m) * (d & 0xFF00FFu) + 0xFF00FFu) >> 8) & 0xFF00FFu;
  const uint32_t g = (m * ((s >> 8) & 0xFFu) + (255 - m) * ((d >> 8) & 0xFFu) + 0xFFu) & 0xFF00u;
  return rb | g;
}

inline uint32_t MaxAlpha(uint32_t s, uint32_t d) {
  return std::max(s >> 24, d >> 24) << 24;
}

// Applies rule(source word, destination word) -> new destination word to n pixels.
template <typename Rule>
void ForEachPixel(const TPixel32* __restrict s, TPixel32* __restrict d, int n, Rule rule) {
  for (int i = 0; i < n; ++i) {
    uint32_t sw;
    uint32_t dw;
    std::memcpy(&sw, s + i, 4);
    std::memcpy(&dw, d + i, 4);
    const uint32_t r = rule(sw, dw);
    std::memcpy(d + i, &r, 4);
  }
}

void RowCopy(const TPixel32* s, TPixel32* d, int n) {
  std::memcpy(d, s, static_cast<size_t>(n) * 4);
}

void RowBlend(const TPixel32* s, TPixel32* d, int n, uint32_t o) {
  ForEachPixel(s, d, n,
               [o](uint32_t sw, uint32_t dw) { return Mix(o, sw, dw) | MaxAlpha(sw, dw); });
}

void RowMasked(const TPixel32* s, TPixel32* d, int n) {
  ForEachPixel(s, d, n,
               [](uint32_t sw, uint32_t dw) { return Mix(sw >> 24, sw, dw) | MaxAlpha(sw, dw); });
}

void RowMaskedBlend(const TPixel32* s, TPixel32* d, int n, uint32_t o) {
  ForEachPixel(s, d, n, [o](uint32_t sw, uint32_t dw) {
    return Mix(((sw >> 24) * o) >> 8, sw, dw) | MaxAlpha(sw, dw);
  });
}

void RowTransparent(const TPixel32* s, TPixel32* d, int n, uint32_t key) {
  ForEachPixel(s, d, n, [key](uint32_t sw, uint32_t dw) {
    const uint32_t colour = sw & 0x00FFFFFFu;
    return colour != key ? colour : dw;
  });
}

void RowTransparentBlend(const TPixel32* s, TPixel32* d, int n, uint32_t o, uint32_t key) {
  ForEachPixel(s, d, n, [o, key](uint32_t sw, uint32_t dw) {
    return (sw & 0x00FFFFFFu) != key ? Mix(o, sw, dw) | (sw & 0xFF000000u) : dw;
  });
}

void RowAlpha(const TPixel32* s, TPixel32* d, int n) {
  ForEachPixel(s, d, n,
               [](uint32_t sw, uint32_t dw) { return (dw & 0x00FFFFFFu) | (sw & 0xFF000000u); });
}

void FillPixels(TPixel32* __restrict d, size_t n, TPixel32 pixel) {
  uint32_t word;
  std::memcpy(&word, &pixel, 4);
  for (size_t i = 0; i < n; ++i) {
    std::memcpy(d + i, &word, 4);
  }
}

void RowAlphaAsGrey(const TPixel32* s, TPixel32* d, int n) {
  ForEachPixel(s, d, n, [](uint32_t sw, uint32_t) { return (sw >> 24) * 0x01010101u; });
}

enum class TRowOp { Variant, Copy, Alpha, AlphaAsGrey };

// Applies one row operation to every row of a clipped area. When source and destination share
// a buffer, the source rows are copied aside first so no row reads pixels already written.
void DrawArea(const TAbstractSuperDIB& s, TAbstractSuperDIB& d, const TDrawArea& a, TRowOp op) {
  TDrawVariant variant = dvCopy;
  if (op == TRowOp::Variant) {
    variant = s.DrawVariant();
  }
  const unsigned o = s.Opacity();
  const uint32_t key = s.TransparentKey() & 0x00FFFFFFu;
  std::vector<TPixel32> aside;
  if (s.Pixels() == d.Pixels()) {
    aside.resize(static_cast<size_t>(a.W) * static_cast<size_t>(a.H));
    for (int j = 0; j < a.H; ++j) {
      std::memcpy(aside.data() + static_cast<size_t>(j) * a.W, s.ScanLine(a.SY + j) + a.SX,
                  static_cast<size_t>(a.W) * 4);
    }
  }
  for (int j = 0; j < a.H; ++j) {
    const TPixel32* sp =
        aside.empty() ? s.ScanLine(a.SY + j) + a.SX : aside.data() + static_cast<size_t>(j) * a.W;
    TPixel32* dp = d.ScanLine(a.Y + j) + a.X;
    switch (op) {
    case TRowOp::Copy:
      RowCopy(sp, dp, a.W);
      continue;
    case TRowOp::Alpha:
      RowAlpha(sp, dp, a.W);
      continue;
    case TRowOp::AlphaAsGrey:
      RowAlphaAsGrey(sp, dp, a.W);
      continue;
    case TRowOp::Variant:
      break;
    }
    switch (variant) {
    case dvCopy:
      RowCopy(sp, dp, a.W);
      break;
    case dvBlend:
      RowBlend(sp, dp, a.W, o);
      break;
    case dvMasked:
      RowMasked(sp, dp, a.W);
      break;
    case dvMaskedBlend:
      RowMaskedBlend(sp, dp, a.W, o);
      break;
    case dvTransparent:
      RowTransparent(sp, dp, a.W, key);
      break;
    case dvTransparentBlend:
      RowTransparentBlend(sp, dp, a.W, o, key);
      break;
    }
  }
  d.Changed();
}

} // namespace

void TAbstractSuperDIB::Draw(int x, int y, int sx, int sy, TAbstractSuperDIB& dest, int h, int w) {
  if (FAngle != 0 || FScaleX != 100.0 || FScaleY != 100.0) {
    DrawTransformed(x, y, dest, h, w);
    return;
  }
  TDrawArea area;
  if (ClipDraw(*this, dest, x, y, sx, sy, h, w, area)) {
    DrawArea(*this, dest, area, TRowOp::Variant);
  }
}

void TAbstractSuperDIB::DrawCopy(int x, int y, int sx, int sy, TAbstractSuperDIB& dest, int h,
                                 int w) {
  TDrawArea area;
  if (ClipDraw(*this, dest, x, y, sx, sy, h, w, area)) {
    DrawArea(*this, dest, area, TRowOp::Copy);
  }
}

void TAbstractSuperDIB::DrawAlpha(int x, int y, int sx, int sy, TAbstractSuperDIB& dest, int h,
                                  int w) {
  TDrawArea area;
  if (ClipDraw(*this, dest, x, y, sx, sy, h, w, area)) {
    DrawArea(*this, dest, area, TRowOp::Alpha);
  }
}

void TAbstractSuperDIB::DrawAlphaAsGrey(int x, int y, int sx, int sy, TAbstractSuperDIB& dest,
                                        int h, int w) {
  TDrawArea area;
  if (ClipDraw(*this, dest, x, y, sx, sy, h, w, area)) {
    DrawArea(*this, dest, area, TRowOp::AlphaAsGrey);
  }
}

void TAbstractSuperDIB::Fill(TColor colour) {
  if (FBits == nullptr) {
    return;
  }
  FillPixels(FBits, PixelCount(), ColorToPixel(colour));
  Changed();
}

void TAbstractSuperDIB::FillRect(TColor colour, int x, int y, int w, int h) {
  if (FBits == nullptr) {
    return;
  }
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + w, FWidth);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + h, FHeight);
  if (left >= right || top >= bottom) {
    return;
  }
  const TPixel32 pixel = ColorToPixel(colour);
  for (int64_t row = top; row < bottom; ++row) {
    FillPixels(ScanLine(static_cast<int>(row)) + left, static_cast<size_t>(right - left), pixel);
  }
  Changed();
}
