#include "platform/Rounding.h"

#include <cmath>

double RoundHalfEven(double x) {
  const double floor = std::floor(x);
  const double fraction = x - floor;
  if (fraction > 0.5)
    return floor + 1.0;
  if (fraction < 0.5)
    return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}
