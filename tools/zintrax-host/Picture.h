// A picture of a window written to a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zhost {

// Writes pixels of 0x00RRGGBB (top row first) as a PNG, under a temporary name beside path
// until it is complete; throws HostError.
void WritePicture(const std::string& path, int width, int height,
                  const std::vector<uint32_t>& pixels);

} // namespace zhost
