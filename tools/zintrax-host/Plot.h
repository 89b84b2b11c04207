// A picture of a render: the input waveform above, the output below, left channel in blue and
// right in red, drawn as the smallest and largest sample that falls into each pixel column.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zhost {

class WaveformPlot {
public:
  static constexpr int kWidth = 1200;
  static constexpr int kPaneHeight = 200;

  explicit WaveformPlot(int64_t totalFrames);

  // Adds one block of channel buffers (at most the first two channels are drawn).
  void AddInput(const float* const* channels, int count, int64_t firstFrame, int32_t frames);
  void AddOutput(const float* const* channels, int count, int64_t firstFrame, int32_t frames);

  // Writes the PNG, under a temporary name beside path until it is complete.
  void Write(const std::string& path);

  struct Column {
    float low = 0.0f;
    float high = 0.0f;
    bool seen = false;
  };
  using Trace = std::vector<Column>;

private:
  void Add(Trace* traces, const float* const* channels, int count, int64_t firstFrame,
           int32_t frames);

  int64_t FTotalFrames;
  Trace FInput[2];
  Trace FOutput[2];
};

} // namespace zhost
