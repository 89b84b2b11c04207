// Angles, points on circles, rotated sizes and the fixed-point sine and cosine tables.
#include "skin/cDIB.h"

#include <cmath>
#include <limits>

namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;

// Sine and cosine of whole degrees, exact at the multiples of 90 so that right angles do not
// pick up rounding noise (which would otherwise grow a rotated size by one pixel).
long double SinDegrees(long double degrees) {
  long double a = std::fmod(degrees, 360.0L);
  if (a < 0) {
    a += 360.0L;
  }
  if (a == 0.0L || a == 180.0L) {
    return 0.0L;
  }
  if (a == 90.0L) {
    return 1.0L;
  }
  if (a == 270.0L) {
    return -1.0L;
  }
  return std::sin(a * kPi / 180.0L);
}

long double CosDegrees(long double degrees) {
  return SinDegrees(degrees + 90.0L);
}

int32_t RoundToInt(long double value) {
  constexpr long double kLow = std::numeric_limits<int32_t>::min();
  constexpr long double kHigh = std::numeric_limits<int32_t>::max();
  if (std::isnan(value)) {
    return 0;
  }
  return static_cast<int32_t>(std::clamp(std::nearbyint(value), kLow, kHigh));
}

// Ceil, then up to the next even number; saturating, NaN gives 0.
int32_t CeilEven(long double value) {
  constexpr long double kHigh = std::numeric_limits<int32_t>::max() - 1;
  if (std::isnan(value) || value <= 0) {
    return 0;
  }
  const auto n = static_cast<int32_t>(std::min(std::ceil(value), kHigh));
  return n + (n & 1);
}

TTrigTables BuildTables() {
  TTrigTables t{};
  for (int a = 0; a < 360; ++a) {
    t.Sin[a] = RoundToInt(256.0L * SinDegrees(a));
    t.Cos[a] = RoundToInt(256.0L * CosDegrees(a));
    t.Sin90[a] = RoundToInt(256.0L * SinDegrees(a + 90));
    t.Cos90[a] = RoundToInt(256.0L * CosDegrees(a + 90));
  }
  return t;
}

} // namespace

const TTrigTables& TrigTables() {
  static const TTrigTables tables = BuildTables();
  return tables;
}

int NormalizeAngle(int angle) {
  angle %= 360;
  return angle < 0 ? angle + 360 : angle;
}

TPoint PointOnCircle(int cx, int cy, int radius, int angle) {
  const long double a = static_cast<long double>(angle) - 90.0L;
  return TPoint{RoundToInt(CosDegrees(a) * radius + cx), RoundToInt(SinDegrees(a) * radius + cy)};
}

int AngleOfPoint(int cx, int cy, int x, int y) {
  const long double dy = static_cast<long double>(cy) - y;
  const long double dx = static_cast<long double>(cx) - x;
  return RoundToInt(std::atan2(dy, dx) * 180.0L / kPi + 270.0L);
}

TPoint RotatedSize(int w, int h, int angle, double sx, double sy) {
  const long double ws = static_cast<long double>(sx) * w / 100.0L;
  const long double hs = static_cast<long double>(sy) * h / 100.0L;
  const long double c = CosDegrees(-static_cast<long double>(angle));
  const long double s = SinDegrees(-static_cast<long double>(angle));
  return TPoint{CeilEven(std::fabs(ws * c) + std::fabs(hs * s)),
                CeilEven(std::fabs(ws * s) + std::fabs(hs * c))};
}
