#include "skin/DisplayScale.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {
constexpr double kScales[] = {1.0, 1.5, 2.0, 2.5, 3.0};
} // namespace

std::span<const double> DisplayScales() {
  return kScales;
}

double NearestDisplayScale(double wanted) {
  if (!(wanted >= 1.0))
    return 1.0;
  if (wanted >= 3.0)
    return 3.0;
  return std::floor(wanted * 2.0 + 0.5) / 2.0;
}

double ParseDisplayScale(const char* text) {
  if (!text)
    return 0.0;
  while (*text == ' ')
    ++text;
  double value = 0.0;
  const auto [stop, error] = std::from_chars(text, text + std::strlen(text), value);
  if (error != std::errc() || !std::isfinite(value))
    return 0.0;
  const char* end = stop;
  while (*end == ' ')
    ++end;
  if (*end == '%') {
    value /= 100.0;
    ++end;
  }
  while (*end == ' ' || *end == '\r' || *end == '\n')
    ++end;
  return *end == '\0' && value > 0.0 ? value : 0.0;
}

int32_t ScaledCoordinate(int32_t v, double scale) {
  return int32_t(std::floor(double(v) * scale + 0.5));
}

TRect ScaledRect(const TRect& r, double scale) {
  return {ScaledCoordinate(r.Left, scale), ScaledCoordinate(r.Top, scale),
          ScaledCoordinate(r.Right, scale), ScaledCoordinate(r.Bottom, scale)};
}

int32_t UnscaledCoordinate(int32_t p, double scale) {
  return int32_t(std::floor(double(p) / scale));
}

TRect UnscaledRectCovering(const TRect& r, double scale) {
  if (r.Right <= r.Left || r.Bottom <= r.Top)
    return {};
  return {UnscaledCoordinate(r.Left, scale), UnscaledCoordinate(r.Top, scale),
          UnscaledCoordinate(r.Right - 1, scale) + 1, UnscaledCoordinate(r.Bottom - 1, scale) + 1};
}
