// zintrax-host with the built Zintrax.so, the tool's default plug-in: what info reports, and
// renders of the built-in demo with each factory program, repeatable with a seed whatever the
// block size.
#include "HostRun.h"

#include <cmath>

namespace {

using namespace hosttest;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;

TEST(HostZintrax, InfoOnTheDefaultPlugin) {
  TempDir dir;
  const Result info = RunHost(dir, {"info"});
  ASSERT_EQ(info.status, 0) << info.err;
  for (const char* line :
       {"Plug-in         " ZINTRAX_PLUGIN_PATH, "Effect name     Zintrax",
        "Vendor          MerrowlakeAudio", "Product         Zintrax", "Vendor version  1",
        "VST version     2300", "Unique ID       'Zntx' (0x5A6E7478)", "Category        Effect (1)",
        "Flags           0x00000019: HasEditor CanMono CanReplacing",
        "Inputs          2: \"Input #1\" (In1, active, stereo)",
        "Can do          plugAsChannelInsert, plugAsSend, mixDryWet, 2in2out",
        "Programs (3, current 0):\n  0  on stage\n  1  heavy rock\n  2  encore\n"})
    EXPECT_THAT(info.out, HasSubstr(line));
  // Each parameter with its display at both ends of the host's scale.
  for (const char* row :
       {"0  Distance +[0-9.]+ cm +50 cm +750 cm +yes\n", "1  Feeding +[0-9.]+ +1 +5 +yes\n",
        "2  X-Axis +[0-9.]+ +0 +1 +yes\n", "3  Y-Axis +[0-9.]+ +0 +1 +yes\n"})
    EXPECT_THAT(info.out, ContainsRegex(row));
}

Audio RenderDemo(const TempDir& dir, const std::string& name, std::vector<std::string> extra) {
  std::vector<std::string> args = {"render", "--out", name};
  args.insert(args.end(), extra.begin(), extra.end());
  const Result render = RunHost(dir, args);
  EXPECT_EQ(render.status, 0) << render.err;
  return ReadAudio(dir / name);
}

TEST(HostZintrax, DemoWithEachFactoryProgram) {
  TempDir dir;
  for (const char* program : {"on stage", "heavy rock", "encore"}) {
    const Audio out = RenderDemo(dir, "demo.wav", {"--program", program, "--seed", "1"});
    ASSERT_EQ(out.channels, 2) << program;
    ASSERT_EQ(out.Frames(), 6u * 44100) << program;
    for (const auto& channel : out.samples)
      for (float sample : channel)
        ASSERT_TRUE(std::isfinite(sample) && std::fabs(sample) <= 1.0f) << program;
  }
}

TEST(HostZintrax, SameSeedSameOutputWhateverTheBlockSize) {
  TempDir dir;
  const std::vector<std::string> settings = {"--program", "heavy rock", "--seed",
                                             "7",         "--tail",     "1"};
  auto with = [&](std::vector<std::string> more) {
    more.insert(more.begin(), settings.begin(), settings.end());
    return more;
  };
  const Audio big = RenderDemo(dir, "big.wav", with({"--block", "4096"}));
  const Audio odd = RenderDemo(dir, "odd.wav", with({"--block", "37"}));
  const Audio again = RenderDemo(dir, "again.wav", with({"--block", "4096"}));
  ASSERT_EQ(big.Frames(), 7u * 44100);
  EXPECT_EQ(big.samples, odd.samples);
  EXPECT_EQ(big.samples, again.samples);
}

TEST(HostZintrax, ParametersInTheirUnits) {
  TempDir dir;
  const Result set = RunHost(dir, {"render", "--out", "o.wav", "--param", "Distance=300", "--param",
                                   "feeding=2.5", "--param", "X-Axis=0.25"});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_THAT(set.err, HasSubstr("Distance = 300 cm\nFeeding = 2.5\nX-Axis = 0.25\n"));

  const std::vector<std::pair<std::string, std::string>> refused = {
      {"Distance=5000", "Distance=5000 is outside its range 50 to 750 cm"},
      {"Distance=49.9", "outside its range 50 to 750 cm"},
      {"Feeding=abc", "not a number"},
      {"Y-Axis=nan", "Y-Axis=nan"},
  };
  for (const auto& [param, message] : refused) {
    const Result result = RunHost(dir, {"render", "--out", "x.wav", "--param", param});
    EXPECT_EQ(result.status, 2) << param;
    EXPECT_THAT(result.err, HasSubstr(message)) << param;
  }
  EXPECT_FALSE(fs::exists(dir / "x.wav"));
}

TEST(HostZintrax, MonoInputFeedsBothChannels) {
  TempDir dir;
  WriteWav(dir / "mono.wav", 44100, {Ramp(3000, 0.5f)});
  const Result render = RunHost(
      dir, {"render", "--in", "mono.wav", "--out", "out.flac", "--tail", "0.5", "--seed", "3"});
  ASSERT_EQ(render.status, 0) << render.err;
  const Audio out = ReadAudio(dir / "out.flac");
  EXPECT_EQ(out.channels, 2);
  EXPECT_EQ(out.Frames(), 3000u + 22050u);
}

} // namespace
