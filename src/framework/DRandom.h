// The pseudo-random generator each module owns: state = state * kMultiplier + kIncrement
// (mod 2^32), each draw is state / 2^32. Seeded from the clock, or from the decimal number in
// the environment variable ZINTRAX_SEED so that runs can be repeated.
#pragma once

#include <cstdint>

class TRandomGenerator {
public:
  static constexpr uint32_t kMultiplier = 134775813u;
  static constexpr uint32_t kIncrement = 1u;

  TRandomGenerator(); // seeds as described above
  explicit TRandomGenerator(uint32_t seed) : FState(seed) {}

  double Next() { // in [0, 1)
    FState = FState * kMultiplier + kIncrement;
    return FState / 4294967296.0;
  }
  uint32_t State() const { return FState; }

  // n draws at once, as one step state * MultiplierOf(n) + IncrementOf(n): lets several
  // draws be computed side by side.
  static constexpr uint32_t MultiplierOf(unsigned n) {
    uint32_t multiplier = 1u;
    for (unsigned i = 0; i < n; ++i)
      multiplier *= kMultiplier;
    return multiplier;
  }
  static constexpr uint32_t IncrementOf(unsigned n) {
    uint32_t increment = 0u;
    for (unsigned i = 0; i < n; ++i)
      increment = increment * kMultiplier + kIncrement;
    return increment;
  }

private:
  uint32_t FState;
};
