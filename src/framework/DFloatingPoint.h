// Keeps floating-point exceptions masked and rounding to nearest while plug-in code runs on the
// host's thread: a division by zero or an invalid operation gives an infinity or a NaN, never a
// trap, and results do not depend on the host's settings. The host's floating-point
// environment is restored afterwards.
#pragma once

#include <cfenv>

class TMaskedFloatingPoint {
public:
  TMaskedFloatingPoint() {
    std::feholdexcept(&FHostEnvironment);
    std::fesetround(FE_TONEAREST);
  }
  ~TMaskedFloatingPoint() { std::fesetenv(&FHostEnvironment); }
  TMaskedFloatingPoint(const TMaskedFloatingPoint&) = delete;
  TMaskedFloatingPoint& operator=(const TMaskedFloatingPoint&) = delete;

private:
  std::fenv_t FHostEnvironment;
};
