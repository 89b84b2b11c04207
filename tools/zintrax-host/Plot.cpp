#include "Plot.h"

#include "AudioFile.h"

#include "hosting/Errors.h"

#include <cairo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <memory>
#include <utility>

namespace zhost {

namespace {

struct Colour {
  double r, g, b;
};

constexpr Colour kBackground{1.0, 1.0, 1.0};
constexpr Colour kPaneBackground{0.984, 0.986, 0.990};
constexpr Colour kPaneBorder{0.76, 0.78, 0.82};
constexpr Colour kGrid{0.90, 0.91, 0.93};
constexpr Colour kFullScale{0.80, 0.82, 0.86};
constexpr Colour kZeroLine{0.58, 0.61, 0.66};
constexpr Colour kHeading{0.11, 0.12, 0.14};
constexpr Colour kText{0.28, 0.30, 0.34};
constexpr Colour kFaintText{0.45, 0.47, 0.51};
constexpr Colour kChannelColour[2] = {{0.13, 0.40, 0.80}, {0.90, 0.36, 0.08}};
constexpr double kChannelAlpha[2] = {0.90, 0.62};

constexpr double kTitleSize = 20.0;
constexpr double kSubtitleSize = 14.0;
constexpr double kBodySize = 13.0;
constexpr double kSmallSize = 11.5;
constexpr double kLineGap = 18.0;    // baseline to baseline of the parameter lines
constexpr double kPanePadding = 6.0; // between full scale and the pane's edge
constexpr int kPaneGap = 40;         // from the input pane's bottom to the output pane's top
constexpr int kAxisHeight = 54;      // tick labels and the axis name under the output pane
constexpr double kSwatchWidth = 16.0;
constexpr double kSwatchGap = 6.0;  // from a legend's swatch to its label
constexpr double kLegendGap = 18.0; // between legend entries

const char* const kMinus = "\u2212";

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

Context NewContext(cairo_surface_t* surface) {
  return Context(cairo_create(surface), cairo_destroy);
}

void Paint(cairo_t* cr, Colour c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// Plug-ins hand over texts in no particular encoding. Valid UTF-8 passes, any other byte is read
// as Latin-1, and control characters become spaces, so that cairo always accepts the text.
std::string Printable(const std::string& text) {
  std::string out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  for (size_t i = 0; i < size;) {
    const unsigned char lead = bytes[i];
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF)
      length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    bool valid = length > 0 && i + length <= size && bytes[i + 1] >= low && bytes[i + 1] <= high;
    for (size_t k = 2; valid && k < length; ++k)
      valid = bytes[i + k] >= 0x80 && bytes[i + k] <= 0xBF;
    if (valid) {
      out.append(text, i, length);
      i += length;
      continue;
    }
    if (lead < 0x20 || lead == 0x7F)
      out += ' ';
    else if (lead < 0x80)
      out += static_cast<char>(lead);
    else {
      out += static_cast<char>(0xC0 | (lead >> 6));
      out += static_cast<char>(0x80 | (lead & 0x3F));
    }
    ++i;
  }
  return out;
}

void Font(cairo_t* cr, double size, bool bold = false) {
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}

double TextWidth(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

enum class Align { Left, Centre, Right };

// Draws text with its baseline at y; answers the x just after it.
double Text(cairo_t* cr, double x, double y, const std::string& text, Align align = Align::Left) {
  const double width = TextWidth(cr, text);
  const double left = align == Align::Left ? x : align == Align::Centre ? x - width / 2 : x - width;
  cairo_move_to(cr, left, y);
  cairo_show_text(cr, text.c_str());
  return left + width;
}

// A one-pixel line along y, placed on a pixel row so that it stays sharp.
void HorizontalLine(cairo_t* cr, double left, double right, double y) {
  const double row = std::floor(y) + 0.5;
  cairo_move_to(cr, left, row);
  cairo_line_to(cr, right, row);
  cairo_stroke(cr);
}

void VerticalLine(cairo_t* cr, double x, double top, double bottom) {
  const double column = std::floor(x) + 0.5;
  cairo_move_to(cr, column, top);
  cairo_line_to(cr, column, bottom);
  cairo_stroke(cr);
}

// Full scale, or the next of 1.5, 2, 3, 5 times a power of ten that holds the peak.
double ScaleFor(float peak) {
  if (!(peak > 1.0f))
    return 1.0;
  for (double decade = 1.0; decade < 1e39; decade *= 10.0)
    for (double step : {1.0, 1.5, 2.0, 3.0, 5.0})
      if (step * decade >= peak)
        return step * decade;
  return peak;
}

// The smallest step of 1, 2 or 5 times a power of ten that gives at most a dozen ticks.
double TimeStep(double seconds) {
  for (double decade = 1e-4;; decade *= 10.0)
    for (double step : {1.0, 2.0, 5.0})
      if (seconds / (step * decade) <= 12.0 || decade > 1e6)
        return step * decade;
}

std::string Number(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// A scale label: "+1", "0", "−1.5".
std::string ScaleLabel(double value) {
  if (value == 0.0)
    return "0";
  char text[48];
  std::snprintf(text, sizeof text, "%g", std::fabs(value));
  return (value > 0.0 ? "+" : kMinus) + std::string(text);
}

struct TitleLayout {
  std::string program;
  std::string sampleRate;
  std::vector<std::string> parameterLines;
  int height = 0;
};

// Breaks the parameters into lines that fit the panes' width.
TitleLayout LayOutTitle(const PlotCaption& caption, int sampleRate) {
  TitleLayout layout;
  if (!caption.program.empty())
    layout.program = "program \u201c" + Printable(caption.program) + "\u201d";
  layout.sampleRate = "sample rate " + std::to_string(sampleRate) + " Hz";
  Surface scratch(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1), cairo_surface_destroy);
  Context cr = NewContext(scratch.get());
  Font(cr.get(), kBodySize);
  const double width = WaveformPlot::kColumns;
  const std::string separator = "     ";
  std::string line;
  for (const std::string& parameter : caption.parameters) {
    const std::string item = Printable(parameter);
    const std::string longer = line.empty() ? item : line + separator + item;
    if (!line.empty() && TextWidth(cr.get(), longer) > width) {
      layout.parameterLines.push_back(line);
      line = item;
    } else {
      line = longer;
    }
  }
  if (!line.empty())
    layout.parameterLines.push_back(line);
  layout.height = 44 + static_cast<int>(kLineGap * layout.parameterLines.size());
  return layout;
}

void DrawTitle(cairo_t* cr, const PlotCaption& caption, const TitleLayout& layout) {
  const double left = WaveformPlot::kMarginLeft;
  const double right = WaveformPlot::kWidth - WaveformPlot::kMarginRight;
  const double baseline = 32.0;
  Paint(cr, kHeading);
  Font(cr, kTitleSize, true);
  const double after = Text(cr, left, baseline, Printable(caption.plugin));
  Paint(cr, kText);
  Font(cr, kSubtitleSize);
  if (!layout.program.empty())
    Text(cr, after + 12.0, baseline, layout.program);
  Text(cr, right, baseline, layout.sampleRate, Align::Right);
  Font(cr, kBodySize);
  for (size_t i = 0; i < layout.parameterLines.size(); ++i)
    Text(cr, left, baseline + kLineGap * (i + 1) + 4.0, layout.parameterLines[i]);
}

struct PaneGeometry {
  double left, right, top, bottom;
  double zero;  // the centre of the pixel row of value 0
  double scale; // the value at the pane's full height
  double half;  // pixels from zero to full scale

  double Row(double value) const { return zero - std::clamp(value, -scale, scale) / scale * half; }
};

PaneGeometry GeometryFor(double top, const WaveformPlot::Signal& signal) {
  PaneGeometry g;
  g.left = WaveformPlot::kMarginLeft;
  g.right = g.left + WaveformPlot::kColumns;
  g.top = top;
  g.bottom = top + WaveformPlot::kPaneHeight;
  g.zero = top + WaveformPlot::kPaneHeight / 2 + 0.5;
  g.scale = ScaleFor(signal.peak);
  g.half = WaveformPlot::kPaneHeight / 2 - kPanePadding;
  return g;
}

// The envelope of one channel as filled shapes, one per run of columns that received samples. A
// column is at least a pixel tall, so that silence still shows as a line at zero.
void FillEnvelope(cairo_t* cr, const std::vector<WaveformPlot::Column>& columns,
                  const PaneGeometry& g) {
  auto edges = [&](const WaveformPlot::Column& column) {
    double top = g.Row(column.high);
    double bottom = g.Row(column.low);
    if (bottom - top < 1.0) {
      const double middle = (top + bottom) / 2.0;
      top = middle - 0.5;
      bottom = middle + 0.5;
    }
    return std::pair{top, bottom};
  };
  const size_t count = columns.size();
  for (size_t first = 0; first < count;) {
    if (!columns[first].seen) {
      ++first;
      continue;
    }
    size_t end = first;
    while (end < count && columns[end].seen)
      ++end;
    cairo_move_to(cr, g.left + first, edges(columns[first]).first);
    for (size_t x = first; x < end; ++x)
      cairo_line_to(cr, g.left + x + 0.5, edges(columns[x]).first);
    cairo_line_to(cr, g.left + end, edges(columns[end - 1]).first);
    cairo_line_to(cr, g.left + end, edges(columns[end - 1]).second);
    for (size_t x = end; x-- > first;)
      cairo_line_to(cr, g.left + x + 0.5, edges(columns[x]).second);
    cairo_line_to(cr, g.left + first, edges(columns[first]).second);
    cairo_close_path(cr);
    first = end;
  }
  cairo_fill(cr);
}

struct LegendEntry {
  std::string label;
  Colour colour;
  double alpha;
};

std::vector<LegendEntry> LegendFor(const WaveformPlot::Signal& signal) {
  if (signal.channels == 1)
    return {{"Mono", kChannelColour[0], 1.0}};
  if (signal.channels == 2 && signal.identical)
    return {{"Left = Right", kChannelColour[0], 1.0}};
  if (signal.channels == 2)
    return {{"Left", kChannelColour[0], kChannelAlpha[0]},
            {"Right", kChannelColour[1], kChannelAlpha[1]}};
  return {};
}

// The pane's name at the left above it and the legend at the right.
void DrawHeading(cairo_t* cr, const PaneGeometry& g, const char* name,
                 const WaveformPlot::Signal& signal) {
  const double baseline = g.top - 9.0;
  Paint(cr, kHeading);
  Font(cr, kBodySize, true);
  Text(cr, g.left, baseline, name);
  Font(cr, kSmallSize);
  double x = g.right;
  const std::vector<LegendEntry> entries = LegendFor(signal);
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    x -= TextWidth(cr, entry->label);
    Paint(cr, kText);
    Text(cr, x, baseline, entry->label);
    x -= kSwatchGap + kSwatchWidth;
    Paint(cr, entry->colour, entry->alpha);
    cairo_rectangle(cr, x, baseline - 8.0, kSwatchWidth, 8.0);
    cairo_fill(cr);
    x -= kLegendGap;
  }
}

std::vector<double> TimeTicks(double seconds) {
  const double step = TimeStep(seconds);
  std::vector<double> ticks;
  for (int64_t i = 0; i * step <= seconds * (1.0 + 1e-9); ++i)
    ticks.push_back(i * step);
  return ticks;
}

void DrawPane(cairo_t* cr, const PaneGeometry& g, const char* name,
              const WaveformPlot::Signal& signal, const std::vector<double>& tickColumns) {
  cairo_rectangle(cr, g.left, g.top, g.right - g.left, g.bottom - g.top);
  Paint(cr, kPaneBackground);
  cairo_fill(cr);

  cairo_set_line_width(cr, 1.0);
  Paint(cr, kGrid);
  for (double x : tickColumns)
    VerticalLine(cr, x, g.top, g.bottom);
  for (double value : {-0.5, 0.5})
    HorizontalLine(cr, g.left, g.right, g.Row(value * g.scale));
  std::vector<double> labels = {-g.scale, 0.0, g.scale};
  // Full scale, where the scale is wider and leaves the marks room apart from zero.
  if (g.scale > 1.0 && g.half / g.scale >= 16.0) {
    Paint(cr, kFullScale);
    const double dashes[] = {4.0, 3.0};
    cairo_set_dash(cr, dashes, 2, 0.0);
    for (double value : {-1.0, 1.0})
      HorizontalLine(cr, g.left, g.right, g.Row(value));
    cairo_set_dash(cr, nullptr, 0, 0.0);
    labels.insert(labels.end(), {-1.0, 1.0});
  }
  Paint(cr, kZeroLine);
  HorizontalLine(cr, g.left, g.right, g.zero);

  cairo_save(cr);
  cairo_rectangle(cr, g.left, g.top, g.right - g.left, g.bottom - g.top);
  cairo_clip(cr);
  const int drawn = signal.identical ? std::min(signal.channels, 1) : signal.channels;
  for (int channel = 0; channel < drawn; ++channel) {
    Paint(cr, kChannelColour[channel], drawn == 1 ? 1.0 : kChannelAlpha[channel]);
    FillEnvelope(cr, signal.columns[channel], g);
  }
  cairo_restore(cr);

  Paint(cr, kPaneBorder);
  cairo_rectangle(cr, g.left + 0.5, g.top + 0.5, g.right - g.left - 1.0, g.bottom - g.top - 1.0);
  cairo_stroke(cr);

  Paint(cr, kFaintText);
  Font(cr, kSmallSize);
  for (double value : labels)
    Text(cr, g.left - 8.0, std::floor(g.Row(value)) + 4.5, ScaleLabel(value), Align::Right);
  if (signal.channels == 0)
    Text(cr, (g.left + g.right) / 2.0, g.top + 26.0, "no channels", Align::Centre);
  DrawHeading(cr, g, name, signal);
}

void DrawTimeAxis(cairo_t* cr, const PaneGeometry& g, const std::vector<double>& ticks,
                  const std::vector<double>& tickColumns) {
  const double step = ticks.size() > 1 ? ticks[1] : 1.0;
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  Paint(cr, kPaneBorder);
  for (double x : tickColumns)
    VerticalLine(cr, x, g.bottom, g.bottom + 5.0);
  Paint(cr, kFaintText);
  Font(cr, kSmallSize);
  for (size_t i = 0; i < ticks.size(); ++i)
    Text(cr, tickColumns[i], g.bottom + 19.0, Number(ticks[i], decimals), Align::Centre);
  Paint(cr, kText);
  Font(cr, kBodySize);
  Text(cr, (g.left + g.right) / 2.0, g.bottom + 41.0, "Time (s)", Align::Centre);
}

cairo_status_t WriteChunk(void* closure, const unsigned char* data, unsigned int length) {
  const int descriptor = *static_cast<const int*>(closure);
  while (length > 0) {
    const ssize_t written = write(descriptor, data, length);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return CAIRO_STATUS_WRITE_ERROR;
    data += written;
    length -= static_cast<unsigned int>(written);
  }
  return CAIRO_STATUS_SUCCESS;
}

} // namespace

WaveformPlot::WaveformPlot(int64_t totalFrames, int sampleRate, PlotCaption caption)
    : FTotalFrames(std::max<int64_t>(totalFrames, 1)), FSampleRate(std::max(sampleRate, 1)),
      FCaption(std::move(caption)) {
  for (Signal* signal : {&FInput, &FOutput})
    for (auto& columns : signal->columns)
      columns.assign(kColumns, Column{});
}

void WaveformPlot::AddInput(const float* const* channels, int count, int64_t firstFrame,
                            int32_t frames) {
  Add(FInput, channels, count, firstFrame, frames);
}

void WaveformPlot::AddOutput(const float* const* channels, int count, int64_t firstFrame,
                             int32_t frames) {
  Add(FOutput, channels, count, firstFrame, frames);
}

// Samples that are not a number leave their column alone; infinities reach the scale's ends.
// Each column also holds the line from the previous sample where it crosses the column, so that
// the envelope stays connected where samples are fewer than columns or change fast.
void WaveformPlot::Add(Signal& signal, const float* const* channels, int count, int64_t firstFrame,
                       int32_t frames) {
  const int drawn = std::clamp(count, 0, 2);
  signal.channels = std::max(signal.channels, drawn);
  const auto columnOf = [&](int64_t frame) {
    return std::min<int64_t>(frame * kColumns / FTotalFrames, kColumns - 1);
  };
  const double framesPerColumn = static_cast<double>(FTotalFrames) / kColumns;
  for (int c = 0; c < drawn; ++c) {
    std::vector<Column>& columns = signal.columns[c];
    for (int32_t n = 0; n < frames; ++n) {
      const int64_t frame = firstFrame + n;
      const float v = channels[c][n];
      if (std::isnan(v)) {
        signal.previousFrame[c] = Signal::kNoFrame;
        continue;
      }
      const int64_t x = columnOf(frame);
      columns[x].Include(v);
      if (std::isfinite(v))
        signal.peak = std::max(signal.peak, std::fabs(v));
      const float p = signal.previous[c];
      const int64_t from = columnOf(frame - 1);
      if (signal.previousFrame[c] == frame - 1 && from < x && std::isfinite(p) &&
          std::isfinite(v)) {
        for (int64_t k = from; k <= x; ++k) {
          const double start = std::max<double>(frame - 1, k * framesPerColumn);
          const double end = std::min<double>(frame, (k + 1) * framesPerColumn);
          for (double at : {start, end})
            columns[k].Include(p + (v - p) * static_cast<float>(at - (frame - 1)));
        }
      }
      signal.previous[c] = v;
      signal.previousFrame[c] = frame;
    }
  }
  if (drawn == 2)
    for (int32_t n = 0; n < frames && signal.identical; ++n)
      signal.identical = channels[0][n] == channels[1][n];
}

void WaveformPlot::Write(const std::string& path) const {
  PendingFile file(path);
  const TitleLayout title = LayOutTitle(FCaption, FSampleRate);
  const int inputTop = title.height + 30;
  const int outputTop = inputTop + kPaneHeight + kPaneGap;
  const int height = outputTop + kPaneHeight + kAxisHeight;

  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, height),
                  cairo_surface_destroy);
  Context context = NewContext(surface.get());
  cairo_t* cr = context.get();
  Paint(cr, kBackground);
  cairo_paint(cr);
  DrawTitle(cr, FCaption, title);

  const double seconds = static_cast<double>(FTotalFrames) / FSampleRate;
  const std::vector<double> ticks = TimeTicks(seconds);
  std::vector<double> tickColumns;
  for (double t : ticks)
    tickColumns.push_back(kMarginLeft + t / seconds * kColumns);
  const PaneGeometry input = GeometryFor(inputTop, FInput);
  const PaneGeometry output = GeometryFor(outputTop, FOutput);
  DrawPane(cr, input, "Input", FInput, tickColumns);
  DrawPane(cr, output, "Output", FOutput, tickColumns);
  DrawTimeAxis(cr, output, ticks, tickColumns);

  cairo_surface_flush(surface.get());
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
    throw HostError("cannot draw " + path + ": " + cairo_status_to_string(cairo_status(cr)));
  int descriptor = file.Descriptor();
  if (cairo_surface_write_to_png_stream(surface.get(), WriteChunk, &descriptor) !=
      CAIRO_STATUS_SUCCESS)
    throw HostError("cannot write " + path);
  file.Commit();
}

} // namespace zhost
