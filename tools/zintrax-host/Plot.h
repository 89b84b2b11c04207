// A picture of a render: a title saying what was rendered, the input waveform above and the
// output below, each channel drawn as the smallest and largest sample that falls into each pixel
// column, with a vertical scale, a time axis in seconds and a legend.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace zhost {

// What the title says: the settings as the plug-in displays them once they were applied.
struct PlotCaption {
  std::string plugin;                  // the effect's name, else its file name
  std::string program;                 // empty when the plug-in has no programs
  std::vector<std::string> parameters; // name, display and unit: "Distance 750 cm"
};

class WaveformPlot {
public:
  static constexpr int kWidth = 1200;
  static constexpr int kMarginLeft = 76;
  static constexpr int kMarginRight = 28;
  // One envelope column per pixel of the panes' width.
  static constexpr int kColumns = kWidth - kMarginLeft - kMarginRight;
  static constexpr int kPaneHeight = 200;

  WaveformPlot(int64_t totalFrames, int sampleRate, PlotCaption caption);

  // Adds one block of channel buffers (at most the first two channels are drawn).
  void AddInput(const float* const* channels, int count, int64_t firstFrame, int32_t frames);
  void AddOutput(const float* const* channels, int count, int64_t firstFrame, int32_t frames);

  // Writes the PNG, under a temporary name beside path until it is complete.
  void Write(const std::string& path) const;

  struct Column {
    float low = 0.0f;
    float high = 0.0f;
    bool seen = false;

    void Include(float v) {
      low = seen ? std::min(low, v) : v;
      high = seen ? std::max(high, v) : v;
      seen = true;
    }
  };
  struct Signal {
    static constexpr int64_t kNoFrame = std::numeric_limits<int64_t>::min();

    std::vector<Column> columns[2];
    int channels = 0;      // channels drawn: 0, 1 or 2
    bool identical = true; // both channels held the same samples throughout
    float peak = 0.0f;     // largest finite magnitude
    float previous[2] = {0.0f, 0.0f};
    int64_t previousFrame[2] = {kNoFrame, kNoFrame}; // where previous was, if it was a number
  };

private:
  void Add(Signal& signal, const float* const* channels, int count, int64_t firstFrame,
           int32_t frames);

  int64_t FTotalFrames;
  int FSampleRate;
  PlotCaption FCaption;
  Signal FInput;
  Signal FOutput;
};

} // namespace zhost
