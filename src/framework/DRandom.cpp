#include "framework/DRandom.h"

#include <chrono>
#include <cstdlib>
#include <string>

namespace {
uint32_t SeedFromEnvironmentOrClock() {
  if (const char* text = std::getenv("ZINTRAX_SEED")) {
    try {
      std::size_t used = 0;
      const unsigned long long seed = std::stoull(text, &used, 10);
      if (text[used] == '\0')
        return static_cast<uint32_t>(seed);
    } catch (const std::exception&) {
      // Not a number: fall back to the clock.
    }
  }
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  return static_cast<uint32_t>(ticks ^ (ticks >> 32));
}
} // namespace

TRandomGenerator::TRandomGenerator() : FState(SeedFromEnvironmentOrClock()) {}
