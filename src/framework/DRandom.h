// The pseudo-random generator each module owns: state = state * 134775813 + 1 (mod 2^32),
// each draw is state / 2^32. Seeded from the clock, or from the decimal number in the
// environment variable ZINTRAX_SEED so that runs can be repeated.
#pragma once

#include <cstdint>

class TRandomGenerator {
public:
  TRandomGenerator(); // seeds as described above
  explicit TRandomGenerator(uint32_t seed) : FState(seed) {}

  double Next() { // in [0, 1)
    FState = FState * 134775813u + 1u;
    return FState / 4294967296.0;
  }
  uint32_t State() const { return FState; }

private:
  uint32_t FState;
};
