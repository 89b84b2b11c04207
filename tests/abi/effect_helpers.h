// Helpers for the effect's ABI tests: a private settings store and a fixed seed for every
// instance, and rendering of whole signals through processReplacing in blocks.
#pragma once

#include "PluginHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace effecttest {

// A temporary folder that holds the settings store; ZINTRAX_SETTINGS_FILE points into it and
// ZINTRAX_SEED is fixed while the object lives.
class PrivateSettings {
public:
  explicit PrivateSettings(const std::string& seed = "12345") {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "zintrax-effect-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("mkdtemp failed");
    FFolder = pattern;
    setenv("ZINTRAX_SETTINGS_FILE", Store().c_str(), 1);
    setenv("ZINTRAX_SEED", seed.c_str(), 1);
  }
  ~PrivateSettings() {
    unsetenv("ZINTRAX_SETTINGS_FILE");
    unsetenv("ZINTRAX_SEED");
    std::error_code ignored;
    std::filesystem::remove_all(FFolder, ignored);
  }
  PrivateSettings(const PrivateSettings&) = delete;
  PrivateSettings& operator=(const PrivateSettings&) = delete;

  const std::filesystem::path& Folder() const { return FFolder; }
  std::filesystem::path Store() const { return FFolder / "Zintrax.conf"; }

private:
  std::filesystem::path FFolder;
};

struct Stereo {
  std::vector<float> left, right;
  explicit Stereo(std::size_t frames = 0, float fill = 0.0f)
      : left(frames, fill), right(frames, fill) {}
  std::size_t Frames() const { return left.size(); }
};

// Runs the input through processReplacing in blocks of the given sizes, used in turn.
inline Stereo Render(const testhost::Instance& instance, const Stereo& input,
                     const std::vector<int>& blocks = {512}) {
  Stereo output(input.Frames(), -7.0f);
  std::size_t done = 0;
  for (std::size_t b = 0; done < input.Frames(); ++b) {
    const int n = std::min<int>(blocks[b % blocks.size()], int(input.Frames() - done));
    const float* in[2] = {&input.left[done], &input.right[done]};
    float* out[2] = {&output.left[done], &output.right[done]};
    instance.Effect()->processReplacing(instance.Effect(), const_cast<float**>(in), out, n);
    done += std::size_t(n);
  }
  return output;
}

inline float Normalised(float real, float min, float max) {
  return (real - min) / (max - min);
}

// Sets all four parameters through the host interface, in real units.
inline void SetParameters(const testhost::Instance& instance, float distance, float feeding,
                          float x, float y) {
  instance.SetParameter(0, Normalised(distance, 50.0f, 750.0f));
  instance.SetParameter(1, Normalised(feeding, 1.0f, 5.0f));
  instance.SetParameter(2, x);
  instance.SetParameter(3, y);
}

inline float Peak(const std::vector<float>& v, std::size_t from, std::size_t to) {
  float peak = 0.0f;
  for (std::size_t i = from; i < to && i < v.size(); ++i)
    peak = std::max(peak, std::abs(v[i]));
  return peak;
}

} // namespace effecttest
