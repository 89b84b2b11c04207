// Rotated and scaled drawing: inverse mapping with nearest-neighbour sampling in 8.8 fixed point.
#include "skin/cDIB.h"

#include <algorithm>
#include <cmath>

namespace {

// Round(table * 100 / scale). A scale near 0 gives a huge step; beyond 2^24 (65536 pixels)
// every sample but the centre one falls outside any image, so the step is limited there,
// which keeps the 64-bit positions from overflowing.
int64_t Step(int32_t tableValue, double scale) {
  const double v = std::nearbyint(tableValue * 100.0 / scale);
  constexpr double kLimit = 1 << 24;
  return static_cast<int64_t>(std::clamp(v, -kLimit, kLimit));
}

bool ScaleUsable(double scale, int size) {
  return std::isfinite(scale) && std::trunc(scale / 100.0 * size) != 0.0;
}

// Renders the part of a boxW x boxH target that starts at (left, top) of the box (top-down)
// into out, which has the size of that part. Each target pixel samples s at its own centre
// mapped back through the rotation and scale: for target column c and row r (r counted from
// the box's bottom row, as the buffer is) the offsets from the box centre in half pixels,
// (2c + 1 - boxW) and (2r + 1 - boxH), times the 8.8 steps give the source position from s's
// centre in 1/512 pixel. Nearest-neighbour sampling then takes the pixel under that position,
// so rotations by multiples of 90 degrees and integer scales map pixel centres exactly and
// keep every source row and column. Samples outside s take the fill pixel. Renders nothing
// and answers false when a scaled side of s is 0.
bool RenderPart(const TAbstractSuperDIB& s, int boxW, int boxH, int left, int top,
                TAbstractSuperDIB& out) {
  if (!s.HasBuffer() || !out.HasBuffer() || !ScaleUsable(s.ScaleX(), s.Width()) ||
      !ScaleUsable(s.ScaleY(), s.Height())) {
    return false;
  }
  const TTrigTables& t = TrigTables();
  const int a = s.Angle();
  const int64_t dy = Step(t.Sin[a], s.ScaleY());
  const int64_t dx = Step(t.Cos[a], s.ScaleX());
  const int64_t ey = Step(t.Sin90[a], s.ScaleY());
  const int64_t ex = Step(t.Cos90[a], s.ScaleX());

  TPixel32 fill{};
  if (!s.Masked()) {
    fill = ColorToPixel(s.TransparentColor());
  }
  const int64_t sw = s.Width();
  const int64_t sh = s.Height();
  const TPixel32* source = s.Pixels();
  const int outW = out.Width();
  const int outH = out.Height();
  const int64_t c2 = 2 * static_cast<int64_t>(left) + 1 - boxW;
  for (int oy = 0; oy < outH; ++oy) {
    const int64_t r2 = 2 * (static_cast<int64_t>(boxH) - 1 - top - oy) + 1 - boxH;
    // Positions from the source's bottom-left corner, in 1/512 pixel.
    int64_t v = c2 * dy + r2 * ey + sh * 256;
    int64_t u = c2 * dx + r2 * ex + sw * 256;
    TPixel32* row = out.ScanLine(oy);
    for (int ox = 0; ox < outW; ++ox, v += 2 * dy, u += 2 * dx) {
      const int64_t sr = v >> 9; // arithmetic shift: floor
      const int64_t sc = u >> 9;
      row[ox] = (sr >= 0 && sr < sh && sc >= 0 && sc < sw) ? source[sr * sw + sc] : fill;
    }
  }
  return true;
}

} // namespace

void TAbstractSuperDIB::RenderTransformed(TAbstractSuperDIB& target) const {
  if (!target.HasBuffer()) {
    return;
  }
  bool rendered;
  if (target.Pixels() == Pixels()) {
    // Rendering an image into itself: sample a copy, or the mapping reads pixels already written.
    TMemoryDIB copy;
    copy.Assign(*this);
    rendered = RenderPart(copy, target.Width(), target.Height(), 0, 0, target);
  } else {
    rendered = RenderPart(*this, target.Width(), target.Height(), 0, 0, target);
  }
  if (rendered) {
    target.Changed();
  }
}

// Only the part of the output box that can reach the destination is rendered, so a huge scale
// costs no more than the destination's size; the result is the same as rendering the whole box.
void TAbstractSuperDIB::DrawTransformed(int x, int y, TAbstractSuperDIB& dest, int h, int w) {
  if (!HasBuffer() || !dest.HasBuffer()) {
    return;
  }
  int64_t boxW = w;
  int64_t boxH = h;
  if (FAutoSize) {
    const TPoint size = RotatedSize(w, h, FAngle, FScaleX, FScaleY);
    boxW = size.X;
    boxH = size.Y;
  }
  if (boxW < 1 || boxH < 1) {
    return;
  }
  const TRect& clip = dest.ClipRect();
  const int64_t left = std::max<int64_t>({x, clip.Left, 0});
  const int64_t top = std::max<int64_t>({y, clip.Top, 0});
  const int64_t right = std::min<int64_t>({x + boxW, int64_t{clip.Right} + 1, dest.Width()});
  const int64_t bottom = std::min<int64_t>({y + boxH, int64_t{clip.Bottom} + 1, dest.Height()});
  if (left >= right || top >= bottom) {
    return;
  }
  TMemoryDIB part(static_cast<int>(right - left), static_cast<int>(bottom - top));
  part.SetMasked(FMasked);
  part.SetOpacity(FOpacity);
  part.SetTransparent(FTransparent);
  part.SetTransparentMode(tmFixed);
  part.SetTransparentColor(TransparentColor());
  RenderPart(*this, static_cast<int>(boxW), static_cast<int>(boxH), static_cast<int>(left - x),
             static_cast<int>(top - y), part);
  part.Draw(static_cast<int>(left), static_cast<int>(top), dest);
}
