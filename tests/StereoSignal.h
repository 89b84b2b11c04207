// Two channels of samples compared byte for byte, and the factory render's input signal as such:
// what the tests of the plug-in's other formats render and compare with the VST 2.x plug-in.
#pragma once

#include "FactoryRender.h"

#include <cstring>
#include <vector>

namespace stereotest {

struct Stereo {
  std::vector<float> left, right;
  explicit Stereo(std::size_t frames = 0) : left(frames), right(frames) {}
  std::size_t Frames() const { return left.size(); }
  bool operator==(const Stereo& other) const {
    return left.size() == other.left.size() &&
           std::memcmp(left.data(), other.left.data(), left.size() * sizeof(float)) == 0 &&
           std::memcmp(right.data(), other.right.data(), right.size() * sizeof(float)) == 0;
  }
};

// The factory render's signal, its first frames only.
inline Stereo FactoryInput(std::size_t frames = factoryrender::kFrames) {
  factoryrender::TSignal signal = factoryrender::Input();
  Stereo input;
  input.left.assign(signal.Left.begin(), signal.Left.begin() + std::ptrdiff_t(frames));
  input.right.assign(signal.Right.begin(), signal.Right.begin() + std::ptrdiff_t(frames));
  return input;
}

} // namespace stereotest
