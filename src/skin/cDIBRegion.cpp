// Regions from an image's mask or colours, and the conversion to palette indexes for 8-bit
// displays.
#include "skin/cDIB.h"

#include <algorithm>

namespace {

// Rows from the top down; every maximal run of qualifying pixels in a row is one rectangle.
template <typename Qualifies>
std::optional<TRegion> RegionOfRuns(const TAbstractSuperDIB& s, Qualifies qualifies) {
  if (!s.HasBuffer()) {
    return std::nullopt;
  }
  TRegion region;
  const int w = s.Width();
  for (int y = 0; y < s.Height(); ++y) {
    const TPixel32* row = s.ScanLine(y);
    int x = 0;
    while (x < w) {
      while (x < w && !qualifies(row[x])) {
        ++x;
      }
      if (x == w) {
        break;
      }
      const int start = x;
      while (x < w && qualifies(row[x])) {
        ++x;
      }
      region.Rects.push_back(TRect{start, y, x, y + 1});
    }
  }
  if (region.Rects.empty()) {
    return std::nullopt;
  }
  return region;
}

} // namespace

std::optional<TRegion> RegionFromMask(const TAbstractSuperDIB& s, uint8_t threshold) {
  return RegionOfRuns(s, [threshold](TPixel32 p) { return p.A > threshold; });
}

std::optional<TRegion> RegionFromColour(const TAbstractSuperDIB& s, TColor colour) {
  const TPixel32 c = ColorToPixel(colour);
  return RegionOfRuns(s, [c](TPixel32 p) { return p.B != c.B || p.G != c.G || p.R != c.R; });
}

T8BitImage Render8BitIndexes(const TAbstractSuperDIB& s, const TRect& source,
                             const TLookupPalette& palette) {
  if (palette.Lookup.empty()) {
    throw EDIBError("Render8Bit can only be used with a palette containing a lookup table");
  }
  if (palette.Lookup.size() < kLookupTableSize) {
    throw EDIBError("Render8Bit needs a lookup table of " + std::to_string(kLookupTableSize) +
                    " entries");
  }
  T8BitImage result;
  const size_t colours = std::min<size_t>(palette.Entries.size(), 235);
  result.ColourTable.assign(palette.Entries.begin(), palette.Entries.begin() + colours);
  if (!s.HasBuffer()) {
    return result;
  }
  const int left = std::clamp(std::min(source.Left, source.Right), 0, s.Width());
  const int right = std::clamp(std::max(source.Left, source.Right), 0, s.Width());
  const int top = std::clamp(std::min(source.Top, source.Bottom), 0, s.Height());
  const int bottom = std::clamp(std::max(source.Top, source.Bottom), 0, s.Height());
  result.Width = right - left;
  result.Height = bottom - top;
  result.Indexes.resize(static_cast<size_t>(result.Width) * static_cast<size_t>(result.Height));
  uint8_t* out = result.Indexes.data();
  for (int y = top; y < bottom; ++y) {
    const TPixel32* row = s.ScanLine(y);
    for (int x = left; x < right; ++x) {
      const TPixel32 p = row[x];
      *out++ = palette.Lookup[(p.B >> 2) + (p.G >> 2) * 64 + (p.R >> 2) * 4096];
    }
  }
  return result;
}
