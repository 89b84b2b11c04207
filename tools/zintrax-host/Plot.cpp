#include "Plot.h"

#include "AudioFile.h"
#include "Errors.h"

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zhost {

namespace {

constexpr int kGap = 4; // rows between the panes

struct Rgb {
  uint8_t r, g, b;
};

constexpr Rgb kBackground{255, 255, 255};
constexpr Rgb kInputBackground{244, 246, 250};
constexpr Rgb kGuide{200, 200, 200};
constexpr Rgb kSeparator{90, 90, 90};
constexpr Rgb kChannelColour[2] = {{30, 90, 200}, {210, 50, 40}};

class Image {
public:
  Image(int width, int height) : FWidth(width), FPixels(size_t(width) * height * 3) {}

  void Set(int x, int y, Rgb c, float alpha = 1.0f) {
    uint8_t* p = &FPixels[(size_t(y) * FWidth + x) * 3];
    const uint8_t v[3] = {c.r, c.g, c.b};
    for (int i = 0; i < 3; ++i)
      p[i] = static_cast<uint8_t>(std::lround(p[i] + (v[i] - p[i]) * alpha));
  }
  void Row(int y, Rgb c) {
    for (int x = 0; x < FWidth; ++x)
      Set(x, y, c);
  }
  png_bytep RowPointer(int y) { return &FPixels[size_t(y) * FWidth * 3]; }

private:
  int FWidth;
  std::vector<uint8_t> FPixels;
};

int SampleToRow(float value, int top) {
  const float clamped = std::clamp(std::isfinite(value) ? value : 0.0f, -1.0f, 1.0f);
  const int half = WaveformPlot::kPaneHeight / 2;
  return top + half - static_cast<int>(std::lround(clamped * (half - 1)));
}

void DrawPane(Image& image, const WaveformPlot::Trace* traces, int top, Rgb background) {
  for (int y = top; y < top + WaveformPlot::kPaneHeight; ++y)
    image.Row(y, background);
  image.Row(SampleToRow(1.0f, top), kGuide);
  image.Row(SampleToRow(-1.0f, top), kGuide);
  image.Row(SampleToRow(0.0f, top), kGuide);
  for (int channel = 0; channel < 2; ++channel) {
    const float alpha = channel == 0 ? 1.0f : 0.6f;
    for (int x = 0; x < WaveformPlot::kWidth; ++x) {
      const WaveformPlot::Column& column = traces[channel][x];
      if (!column.seen)
        continue;
      for (int y = SampleToRow(column.high, top); y <= SampleToRow(column.low, top); ++y)
        image.Set(x, y, kChannelColour[channel], alpha);
    }
  }
}

struct PngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

} // namespace

WaveformPlot::WaveformPlot(int64_t totalFrames) : FTotalFrames(std::max<int64_t>(totalFrames, 1)) {
  for (Trace* traces : {FInput, FOutput})
    for (int c = 0; c < 2; ++c)
      traces[c].assign(kWidth, Column{});
}

void WaveformPlot::AddInput(const float* const* channels, int count, int64_t firstFrame,
                            int32_t frames) {
  Add(FInput, channels, count, firstFrame, frames);
}

void WaveformPlot::AddOutput(const float* const* channels, int count, int64_t firstFrame,
                             int32_t frames) {
  Add(FOutput, channels, count, firstFrame, frames);
}

void WaveformPlot::Add(Trace* traces, const float* const* channels, int count, int64_t firstFrame,
                       int32_t frames) {
  for (int c = 0; c < std::min(count, 2); ++c) {
    for (int32_t n = 0; n < frames; ++n) {
      const int64_t x = (firstFrame + n) * kWidth / FTotalFrames;
      Column& column = traces[c][std::min<int64_t>(x, kWidth - 1)];
      const float v = channels[c][n];
      column.low = column.seen ? std::min(column.low, v) : v;
      column.high = column.seen ? std::max(column.high, v) : v;
      column.seen = true;
    }
  }
}

void WaveformPlot::Write(const std::string& path) {
  const int height = 2 * kPaneHeight + kGap;
  Image image(kWidth, height);
  DrawPane(image, FInput, 0, kInputBackground);
  for (int y = kPaneHeight; y < kPaneHeight + kGap; ++y)
    image.Row(y, y == kPaneHeight + kGap / 2 ? kSeparator : kBackground);
  DrawPane(image, FOutput, kPaneHeight + kGap, kBackground);

  PendingFile file(path);
  const int descriptor = dup(file.Descriptor());
  FILE* stream = descriptor >= 0 ? fdopen(descriptor, "wb") : nullptr;
  if (stream == nullptr) {
    if (descriptor >= 0)
      close(descriptor);
    throw HostError("cannot write " + path);
  }
  PngWriter writer;
  writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  writer.info = writer.png ? png_create_info_struct(writer.png) : nullptr;
  if (writer.info == nullptr || setjmp(png_jmpbuf(writer.png))) {
    std::fclose(stream);
    throw HostError("cannot write " + path);
  }
  png_init_io(writer.png, stream);
  png_set_IHDR(writer.png, writer.info, kWidth, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(writer.png, writer.info);
  for (int y = 0; y < height; ++y)
    png_write_row(writer.png, image.RowPointer(y));
  png_write_end(writer.png, nullptr);
  if (std::fclose(stream) != 0)
    throw HostError("cannot write " + path);
  file.Commit();
}

} // namespace zhost
