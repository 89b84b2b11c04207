#include "platform/Region.h"

#include <algorithm>

bool IsEmptyRect(const TRect& r) {
  return r.Right <= r.Left || r.Bottom <= r.Top;
}

TRect UnionRect(const TRect& a, const TRect& b) {
  if (IsEmptyRect(a))
    return b;
  if (IsEmptyRect(b))
    return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}

TRect IntersectRect(const TRect& a, const TRect& b) {
  const TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                std::min(a.Bottom, b.Bottom)};
  return IsEmptyRect(r) ? TRect{} : r;
}

bool TRegion::Contains(int32_t x, int32_t y) const {
  for (const TRect& r : Rects) {
    if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) {
      return true;
    }
  }
  return false;
}
