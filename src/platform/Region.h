// Plain geometry shared by the images and the window system: points, rectangles and a region
// kept as a list of rectangles, which each window-system backend turns into its own region.
#pragma once

#include <cstdint>
#include <vector>

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Left/Top/Right/Bottom as given; whether Right and Bottom are inclusive is said by the user.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

// Rectangles with exclusive Right and Bottom: empty when they hold no pixel; the union is the
// smallest rectangle holding both (an empty one adds nothing); an empty intersection is all 0.
bool IsEmptyRect(const TRect& r);
TRect UnionRect(const TRect& a, const TRect& b);
TRect IntersectRect(const TRect& a, const TRect& b);
constexpr TRect OffsetRect(const TRect& r, TPoint by) {
  return {r.Left + by.X, r.Top + by.Y, r.Right + by.X, r.Bottom + by.Y};
}

// A set of pixels as rectangles whose Right and Bottom are exclusive. The rectangles do not
// overlap when built by the image helpers, so uniting two regions is appending their lists.
struct TRegion {
  std::vector<TRect> Rects;

  void Unite(const TRegion& other) {
    Rects.insert(Rects.end(), other.Rects.begin(), other.Rects.end());
  }
  bool Contains(int32_t x, int32_t y) const;
};
