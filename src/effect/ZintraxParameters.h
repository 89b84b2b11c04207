// The effect's four parameters by index, as the host, the effect and the editor number them.
#pragma once

#include <cstdint>

enum TZintraxParameter : int32_t {
  zpDistance = 0, // 50 to 750 cm: the delay and the loss of the returning sound
  zpFeeding = 1,  // 1 to 5: the drive of the saturation and the feed while the input is quiet
  zpXAxis = 2,    // 0 to 1: the pad's horizontal axis of the cabinet blend
  zpYAxis = 3,    // 0 to 1: the pad's vertical axis of the cabinet blend
};

inline constexpr int32_t kZintraxParameterCount = 4;
