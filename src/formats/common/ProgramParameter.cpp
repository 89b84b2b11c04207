#include "formats/common/ProgramParameter.h"

#include <algorithm>
#include <cmath>

double ProgramToNormalized(int32_t program, int32_t count) {
  const int32_t steps = count - 1;
  return steps > 0 ? double(std::clamp(program, 0, steps)) / steps : 0.0;
}

int32_t NormalizedToProgram(double normalized, int32_t count) {
  const int32_t steps = count - 1;
  if (steps <= 0 || std::isnan(normalized))
    return 0;
  return std::min(steps, int32_t(std::floor(std::clamp(normalized, 0.0, 1.0) * (steps + 1))));
}
