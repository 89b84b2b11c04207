// Values no host should send but some do: what the parameter and text tests feed a plug-in.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace zhost::validate {

struct HostileValue {
  float value;
  const char* name;
};

inline constexpr HostileValue kHostileValues[] = {
    {std::numeric_limits<float>::quiet_NaN(), "NaN"},
    {std::numeric_limits<float>::infinity(), "+inf"},
    {-std::numeric_limits<float>::infinity(), "-inf"},
    {-1.0f, "-1"},
    {2.0f, "2"},
    {1e30f, "1e30"},
    {-1e30f, "-1e30"},
    {std::numeric_limits<float>::denorm_min(), "the smallest subnormal"},
    {-0.0f, "-0"},
};

// Indexes outside a list of `count` items: past either end, as a host with a stale count sends
// them, and the extremes.
inline std::vector<int32_t> BadIndexes(int32_t count) {
  return {-1,
          count,
          count + 1,
          count + 1000,
          std::numeric_limits<int32_t>::max(),
          std::numeric_limits<int32_t>::min()};
}

inline bool InUnitRange(float value) {
  return std::isfinite(value) && value >= 0.0f && value <= 1.0f;
}

inline std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

} // namespace zhost::validate
