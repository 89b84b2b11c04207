// Unrotated drawing: clipping of a draw to both images, the six pixel rules, copies and fills.
#include "skin/cDIB.h"

#include <algorithm>
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

// --- pixel rules over one row of n pixels (s: source bytes, d: destination bytes) ---------

inline uint8_t Mix(unsigned weight, unsigned source, unsigned dest) {
  return static_cast<uint8_t>((weight * source + (255 - weight) * dest + 255) >> 8);
}

void RowCopy(const uint8_t* s, uint8_t* d, int n) {
  std::memmove(d, s, static_cast<size_t>(n) * 4);
}

void RowBlend(const uint8_t* __restrict s, uint8_t* __restrict d, int n, unsigned o) {
  for (int i = 0; i < n * 4; i += 4) {
    d[i + 0] = Mix(o, s[i + 0], d[i + 0]);
    d[i + 1] = Mix(o, s[i + 1], d[i + 1]);
    d[i + 2] = Mix(o, s[i + 2], d[i + 2]);
    d[i + 3] = std::max(d[i + 3], s[i + 3]);
  }
}

// Masked (full opacity) and MaskedBlend: the weight is the source alpha, scaled by o below 255.
template <bool Blend>
void RowMasked(const uint8_t* __restrict s, uint8_t* __restrict d, int n, unsigned o) {
  for (int i = 0; i < n * 4; i += 4) {
    const unsigned m = Blend ? (s[i + 3] * o) >> 8 : s[i + 3];
    d[i + 0] = Mix(m, s[i + 0], d[i + 0]);
    d[i + 1] = Mix(m, s[i + 1], d[i + 1]);
    d[i + 2] = Mix(m, s[i + 2], d[i + 2]);
    d[i + 3] = std::max(d[i + 3], s[i + 3]);
  }
}

// Blue, green and red of a pixel as the low three bytes of its little-endian word.
inline uint32_t ColourOf(const uint8_t* p) {
  return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
}

void RowTransparent(const uint8_t* __restrict s, uint8_t* __restrict d, int n, uint32_t key) {
  for (int i = 0; i < n * 4; i += 4) {
    if (ColourOf(s + i) != key) {
      d[i + 0] = s[i + 0];
      d[i + 1] = s[i + 1];
      d[i + 2] = s[i + 2];
      d[i + 3] = 0;
    }
  }
}

void RowTransparentBlend(const uint8_t* __restrict s, uint8_t* __restrict d, int n, unsigned o,
                         uint32_t key) {
  for (int i = 0; i < n * 4; i += 4) {
    if (ColourOf(s + i) != key) {
      d[i + 0] = Mix(o, s[i + 0], d[i + 0]);
      d[i + 1] = Mix(o, s[i + 1], d[i + 1]);
      d[i + 2] = Mix(o, s[i + 2], d[i + 2]);
      d[i + 3] = s[i + 3];
    }
  }
}

void RowAlpha(const uint8_t* __restrict s, uint8_t* __restrict d, int n) {
  for (int i = 3; i < n * 4; i += 4) {
    d[i] = s[i];
  }
}

void RowAlphaAsGrey(const uint8_t* __restrict s, uint8_t* __restrict d, int n) {
  for (int i = 0; i < n * 4; i += 4) {
    const uint8_t a = s[i + 3];
    d[i + 0] = a;
    d[i + 1] = a;
    d[i + 2] = a;
    d[i + 3] = a;
  }
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
  const uint32_t key = s.DrawKey() & 0x00FFFFFFu;
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
    const auto* sb = reinterpret_cast<const uint8_t*>(sp);
    auto* db = reinterpret_cast<uint8_t*>(dp);
    switch (op) {
    case TRowOp::Copy:
      RowCopy(sb, db, a.W);
      continue;
    case TRowOp::Alpha:
      RowAlpha(sb, db, a.W);
      continue;
    case TRowOp::AlphaAsGrey:
      RowAlphaAsGrey(sb, db, a.W);
      continue;
    case TRowOp::Variant:
      break;
    }
    switch (variant) {
    case dvCopy:
      RowCopy(sb, db, a.W);
      break;
    case dvBlend:
      RowBlend(sb, db, a.W, o);
      break;
    case dvMasked:
      RowMasked<false>(sb, db, a.W, 255);
      break;
    case dvMaskedBlend:
      RowMasked<true>(sb, db, a.W, o);
      break;
    case dvTransparent:
      RowTransparent(sb, db, a.W, key);
      break;
    case dvTransparentBlend:
      RowTransparentBlend(sb, db, a.W, o, key);
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
  std::fill(FBits, FBits + PixelCount(), ColorToPixel(colour));
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
    TPixel32* p = ScanLine(static_cast<int>(row)) + left;
    std::fill(p, p + (right - left), pixel);
  }
  Changed();
}
