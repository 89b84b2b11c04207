// Keeps floating-point exceptions masked while plug-in code runs on the host's thread: a
// division by zero or an invalid operation gives an infinity or a NaN, never a trap, whatever
// the host set. The host's floating-point environment is restored afterwards.
#pragma once

#include <cfenv>

class TMaskedFloatingPoint {
public:
  TMaskedFloatingPoint() { std::feholdexcept(&FHostEnvironment); }
  ~TMaskedFloatingPoint() { std::fesetenv(&FHostEnvironment); }
  TMaskedFloatingPoint(const TMaskedFloatingPoint&) = delete;
  TMaskedFloatingPoint& operator=(const TMaskedFloatingPoint&) = delete;

private:
  std::fenv_t FHostEnvironment;
};
