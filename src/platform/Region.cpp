#include "platform/Region.h"

bool TRegion::Contains(int32_t x, int32_t y) const {
  for (const TRect& r : Rects) {
    if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) {
      return true;
    }
  }
  return false;
}
