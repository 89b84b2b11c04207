// zintrax-host render against a fake plug-in that multiplies by its gain and logs every call:
// the order in which a DAW drives a plug-in, block sizes, channel mapping, settings, formats and
// the promise that no partial output file is ever left under the target's name.
#include "HostRun.h"
#include "Plot.h"
#include "hosting/Errors.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

using namespace hosttest;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kPlugin = std::string("--plugin=") + FAKE_PLUGIN_PATH;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream stream(text);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(line);
  return lines;
}

struct Picture {
  int width = 0;
  int height = 0;
  int ink = 0;                       // dark grey pixels: text, scales, frames
  std::vector<int> colouredInColumn; // strongly coloured pixels: the waveforms
};

Picture ReadPicture(const std::string& path) {
  Picture picture;
  cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    picture.width = cairo_image_surface_get_width(surface);
    picture.height = cairo_image_surface_get_height(surface);
    picture.colouredInColumn.assign(picture.width, 0);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x) {
        const auto pixel = reinterpret_cast<const uint32_t*>(data + y * stride)[x];
        const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
        const int spread = std::max({r, g, b}) - std::min({r, g, b});
        picture.colouredInColumn[x] += spread > 40;
        picture.ink += spread < 30 && std::max({r, g, b}) < 140;
      }
  }
  cairo_surface_destroy(surface);
  return picture;
}

std::vector<float> Scaled(const std::vector<float>& samples, float gain, size_t frames) {
  std::vector<float> out(frames, 0.0f);
  for (size_t n = 0; n < std::min(frames, samples.size()); ++n)
    out[n] = samples[n] * gain;
  return out;
}

TEST(HostRender, DrivesThePluginAsADawDoes) {
  TempDir dir;
  const std::vector<float> input = Ramp(1000, 0.8f);
  WriteWav(dir / "in.wav", 48000, {input});
  const Result render = RunHost(
      dir,
      {"render", kPlugin, "--in", "in.wav", "--out", "out.wav", "--block", "300", "--tail", "0.01"},
      {"FAKE_PLUGIN_LOG=log"});
  ASSERT_EQ(render.status, 0) << render.err;

  // 1000 input frames and 480 of tail, in blocks of the announced size and a short last one.
  const std::vector<std::string> expected = {"main",
                                             "seed none",
                                             "host version 2400",
                                             "dispatcher 0 0 0",
                                             "dispatcher 10 0 0 48000",
                                             "dispatcher 11 0 300",
                                             "dispatcher 12 0 1",
                                             "host rate 48000 block 300",
                                             "dispatcher 71 0 0",
                                             "process 300",
                                             "process 300",
                                             "process 300",
                                             "process 300",
                                             "process 280",
                                             "dispatcher 72 0 0",
                                             "dispatcher 12 0 0",
                                             "dispatcher 1 0 0"};
  EXPECT_THAT(Lines(ReadText(dir / "log")), ElementsAreArray(expected));

  // The mono input feeds both inputs; the tail is silence through the plug-in.
  const Audio out = ReadAudio(dir / "out.wav");
  EXPECT_EQ(out.channels, 2);
  EXPECT_EQ(out.sampleRate, 48000);
  ASSERT_EQ(out.Frames(), 1480u);
  EXPECT_EQ(out.samples[0], Scaled(input, 1.0f, 1480));
  EXPECT_EQ(out.samples[1], Scaled(input, 1.0f, 1480));
  EXPECT_THAT(render.err, HasSubstr("wrote out.wav: 2 channels, 1480 frames at 48000 Hz"));
}

TEST(HostRender, ProgramThenParametersInOrder) {
  TempDir dir;
  const std::vector<float> left = Ramp(500, 0.5f);
  const std::vector<float> right = Ramp(500, -0.25f);
  WriteWav(dir / "in.wav", 44100, {left, right});

  // Program "Half" sets the gain to 0.5; the later --param overrides it with a text in its unit.
  const Result render = RunHost(dir,
                                {"render", kPlugin, "--in=in.wav", "--out=out.wav", "--program",
                                 "half", "--param", "gain=1.5", "--param", "Mode=7"},
                                {"FAKE_PLUGIN_LOG=log"});
  ASSERT_EQ(render.status, 0) << render.err;
  EXPECT_THAT(render.err, HasSubstr("program 1: Half"));
  EXPECT_THAT(render.err, HasSubstr("Gain = 1.5 x"));
  // Mode refuses texts: the position that displays 7 was searched.
  EXPECT_THAT(render.err, HasSubstr("Mode = 7\n"));
  const std::string log = ReadText(dir / "log");
  EXPECT_THAT(log, HasSubstr("dispatcher 67 0 0\ndispatcher 2 0 1\ndispatcher 68 0 0\n"));

  const Audio out = ReadAudio(dir / "out.wav");
  ASSERT_EQ(out.channels, 2);
  EXPECT_EQ(out.samples[0], Scaled(left, 1.5f, 500));
  EXPECT_EQ(out.samples[1], Scaled(right, 1.5f, 500));

  ASSERT_EQ(
      RunHost(dir, {"render", kPlugin, "--in=in.wav", "--out=o2.wav", "--program", "1"}).status, 0);
  EXPECT_EQ(ReadAudio(dir / "o2.wav").samples[0], Scaled(left, 0.5f, 500));
}

TEST(HostRender, ChannelCountsAndTheAccumulatingCallback) {
  TempDir dir;
  const std::vector<float> left = Ramp(700, 0.5f);
  const std::vector<float> right = Ramp(700, -0.5f);
  WriteWav(dir / "in.wav", 44100, {left, right});

  // Without processReplacing the host clears its outputs before every accumulating call.
  ASSERT_EQ(RunHost(dir, {"render", kPlugin, "--in", "in.wav", "--out", "acc.wav", "--block", "64"},
                    {"FAKE_PLUGIN_ACCUMULATE=1"})
                .status,
            0);
  const Audio accumulated = ReadAudio(dir / "acc.wav");
  EXPECT_EQ(accumulated.samples[0], left);
  EXPECT_EQ(accumulated.samples[1], right);

  // A one-in, one-out plug-in gets the left channel and writes a mono file.
  const Result mono = RunHost(dir, {"render", kPlugin, "--in", "in.wav", "--out", "mono.wav"},
                              {"FAKE_PLUGIN_MONO=1"});
  ASSERT_EQ(mono.status, 0) << mono.err;
  EXPECT_THAT(mono.err, HasSubstr("the input has 2 channels and the plug-in takes 1"));
  const Audio out = ReadAudio(dir / "mono.wav");
  EXPECT_EQ(out.channels, 1);
  EXPECT_EQ(out.samples[0], left);
}

TEST(HostRender, SeedReachesThePluginBeforeItIsBuilt) {
  TempDir dir;
  ASSERT_EQ(RunHost(dir, {"render", kPlugin, "--out", "out.wav", "--seed", "4294967295"},
                    {"FAKE_PLUGIN_LOG=log"})
                .status,
            0);
  EXPECT_THAT(ReadText(dir / "log"), HasSubstr("main\nseed 4294967295\n"));
}

TEST(HostRender, OutputFormatsByExtension) {
  TempDir dir;
  const std::vector<float> input = Ramp(2000, 0.9f);
  WriteWav(dir / "in.wav", 44100, {input});
  for (const char* name : {"out.flac", "out.AIFF", "out.aif", "out.Wav"}) {
    const Result render = RunHost(dir, {"render", kPlugin, "--in", "in.wav", "--out", name});
    ASSERT_EQ(render.status, 0) << name << render.err;
    const Audio out = ReadAudio(dir / name);
    EXPECT_EQ(out.channels, 2) << name;
    ASSERT_EQ(out.Frames(), input.size()) << name;
    for (size_t n = 0; n < input.size(); ++n)
      ASSERT_NEAR(out.samples[1][n], input[n], 1.0 / (1 << 22)) << name << " frame " << n;
  }
}

TEST(HostRender, NoPartialOutputWhenARenderFails) {
  TempDir dir;
  WriteWav(dir / "in.wav", 44100, {Ramp(10000, 0.5f)});
  std::ofstream(dir / "out.wav") << "the previous render";

  // The plug-in takes the process down in its third audio call, as a crashing plug-in does.
  const Result crash =
      RunHost(dir, {"render", kPlugin, "--in", "in.wav", "--out", "out.wav", "--block", "256"},
              {"FAKE_PLUGIN_EXIT_AT=3"});
  EXPECT_EQ(crash.status, 3);
  EXPECT_EQ(ReadText(dir / "out.wav"), "the previous render");
  auto files = dir.Files();
  std::sort(files.begin(), files.end());
  EXPECT_THAT(files, ElementsAreArray({"in.wav", "out.wav"}));

  // Refusals after the plug-in was loaded leave the old file alone too.
  const Result refused =
      RunHost(dir, {"render", kPlugin, "--in", "in.wav", "--out", "out.wav", "--param", "Gain=9"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(ReadText(dir / "out.wav"), "the previous render");

  const Result noFolder = RunHost(dir, {"render", kPlugin, "--out", "missing/out.wav"});
  EXPECT_EQ(noFolder.status, 1);
  EXPECT_THAT(noFolder.err, HasSubstr("cannot write into missing"));

  const Result folder = RunHost(dir, {"render", kPlugin, "--out", "in.wav/x.wav"});
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(dir.Files().size(), 2u);
}

TEST(HostRender, InputProblems) {
  TempDir dir;
  std::ofstream(dir / "noise.wav") << "RIFF but not really";
  WriteWav(dir / "in48.wav", 48000, {Ramp(100, 0.5f)});
  const Result unreadable =
      RunHost(dir, {"render", kPlugin, "--in", "noise.wav", "--out", "o.wav"});
  EXPECT_EQ(unreadable.status, 1);
  EXPECT_THAT(unreadable.err, HasSubstr("cannot read noise.wav"));
  const Result missing = RunHost(dir, {"render", kPlugin, "--in", "none.wav", "--out", "o.wav"});
  EXPECT_EQ(missing.status, 1);
  const Result rate = RunHost(
      dir, {"render", kPlugin, "--in", "in48.wav", "--out", "o.wav", "--sample-rate", "44100"});
  EXPECT_EQ(rate.status, 2);
  EXPECT_THAT(rate.err, HasSubstr("in48.wav is at 48000 Hz"));
  EXPECT_FALSE(fs::exists(dir / "o.wav"));
}

TEST(HostRender, DemoSignalWithoutInput) {
  TempDir dir;
  const Result render = RunHost(dir, {"render", kPlugin, "--out", "demo.wav", "--sample-rate",
                                      "48000", "--tail", "0.5", "--plot", "demo.png"});
  ASSERT_EQ(render.status, 0) << render.err;
  const Audio out = ReadAudio(dir / "demo.wav");
  ASSERT_EQ(out.Frames(), 6u * 48000 + 24000);
  EXPECT_EQ(out.samples[0], out.samples[1]);
  // Notes in the first 3.5 s, at most 0.7 at the peak; silence after them.
  float peak = 0.0f;
  for (size_t n = 0; n < 48000 * 7 / 2; ++n)
    peak = std::max(peak, std::fabs(out.samples[0][n]));
  EXPECT_FLOAT_EQ(peak, 0.7f);
  for (size_t n = 48000 * 7 / 2; n < out.Frames(); ++n)
    ASSERT_EQ(out.samples[0][n], 0.0f) << n;

  // The picture holds both panes' waveforms where the notes are and only the zero line where
  // the demo is silent.
  const Picture picture = ReadPicture(dir / "demo.png");
  EXPECT_EQ(picture.width, 1200);
  EXPECT_EQ(picture.height, 586);
  EXPECT_GT(picture.ink, 2000) << "no title, scales or labels";
  auto columnAt = [](double seconds) {
    return zhost::WaveformPlot::kMarginLeft +
           static_cast<int>(seconds / 6.5 * zhost::WaveformPlot::kColumns);
  };
  EXPECT_GT(picture.colouredInColumn[columnAt(2.3)], 40);
  for (int x = columnAt(3.6); x < columnAt(5.5); ++x)
    ASSERT_LE(picture.colouredInColumn[x], 6) << "silence drawn wider than a line at " << x;
}

TEST(HostRender, PlotOfAwkwardSignalsAndTexts) {
  TempDir dir;
  // Latin-1 and control characters in the plug-in's texts, no input channels, fewer frames
  // than columns, not-a-number and infinite samples, and a signal past full scale.
  zhost::PlotCaption caption{"Gr\xe9"
                             "at \x01Verb",
                             "Hall \xff",
                             {"Size 3 m", "Damp \xb5"}};
  zhost::WaveformPlot plot(400, 48000, caption);
  std::vector<float> left(400), right(400);
  for (size_t n = 0; n < left.size(); ++n) {
    left[n] = 0.8f * std::sin(0.05f * n);
    right[n] = n % 50 == 0 ? std::nanf("") : 1.8f;
  }
  right[7] = INFINITY;
  const float* channels[] = {left.data(), right.data()};
  plot.AddOutput(channels, 2, 0, 400);
  plot.Write(dir / "plot.png");
  const Picture picture = ReadPicture(dir / "plot.png");
  EXPECT_EQ(picture.width, 1200);
  EXPECT_GT(picture.ink, 2000);
  // The left channel's trace is connected through every column, however few the samples.
  for (int x = zhost::WaveformPlot::kMarginLeft + 2;
       x < zhost::WaveformPlot::kMarginLeft + zhost::WaveformPlot::kColumns - 2; ++x)
    ASSERT_GT(picture.colouredInColumn[x], 0) << x;
  EXPECT_THAT(dir.Files(), ElementsAreArray({"plot.png"}));

  EXPECT_THROW(plot.Write(dir / "missing/plot.png"), zhost::HostError);
  EXPECT_THAT(dir.Files(), ElementsAreArray({"plot.png"}));
}

} // namespace

namespace {

// Runs the host with its standard error on a pseudo-terminal (through script(1)); answers what
// the terminal showed, or nothing when script is not installed.
std::optional<std::string> RunOnTerminal(const TempDir& dir, const std::string& args) {
  if (std::system("command -v script >/dev/null 2>&1") != 0)
    return std::nullopt;
  const std::string inner =
      "cd " + Quote(dir.Path().string()) + " && " + Quote(ZINTRAX_HOST_PATH) + " " + args + " 2>&1";
  const std::string seen = (dir.Path() / ".terminal").string();
  const std::string command =
      "script -qec " + Quote(inner) + " /dev/null </dev/null >" + Quote(seen);
  EXPECT_EQ(std::system(command.c_str()), 0) << args;
  std::string text = ReadText(seen);
  fs::remove(seen);
  return text;
}

TEST(HostRender, ProgressBarOnlyOnATerminalAndForLongRenders) {
  TempDir dir;
  const std::string plugin = Quote(kPlugin);
  const auto longRender = RunOnTerminal(dir, "render " + plugin + " --out long.wav");
  if (!longRender)
    GTEST_SKIP() << "script(1) is not available to provide a terminal";
  EXPECT_THAT(*longRender, HasSubstr("rendering ["));
  EXPECT_THAT(*longRender, HasSubstr("] 100%"));

  WriteWav(dir / "short.wav", 44100, {Ramp(44100 / 2, 0.5f)});
  const auto shortRender = RunOnTerminal(dir, "render " + plugin + " --in short.wav --out s.wav");
  ASSERT_TRUE(shortRender);
  EXPECT_THAT(*shortRender, Not(HasSubstr("rendering [")));

  // Not on a terminal: no bar, however long the render.
  EXPECT_THAT(RunHost(dir, {"render", kPlugin, "--out", "pipe.wav"}).err,
              Not(HasSubstr("rendering [")));
}

} // namespace
