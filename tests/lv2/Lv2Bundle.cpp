// The bundle as LV2's own tools see it, and its sound: lv2_validate finds no error, lv2info
// lists the ports in the parameters' units, the binary exports its descriptor only, and lv2apply
// renders exactly the samples of the VST 2.x plug-in for the same seed, input and values.
#include "HostRun.h"

#include <dlfcn.h>

using namespace hosttest;
using ::testing::HasSubstr;

namespace {

constexpr const char* kUri = "https://merrowlake.invalid/lv2/zintrax";

// A folder that holds only the bundle, for LV2_PATH.
struct Lv2Path {
  TempDir dir;
  Lv2Path() {
    fs::create_directory(dir.Path() / "lv2");
    fs::create_directory_symlink(ZINTRAX_LV2_BUNDLE, dir.Path() / "lv2" / "Zintrax.lv2");
  }
  std::string Env() const { return "LV2_PATH=" + (dir.Path() / "lv2").string(); }
};

Result RunCommand(const TempDir& dir, const std::string& command) {
  const std::string line =
      "cd " + Quote(dir.Path().string()) + " && " + command + " >" + Quote(dir / ".out") + " 2>&1";
  const int raw = std::system(line.c_str());
  Result result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadText(dir / ".out");
  return result;
}

std::vector<std::vector<float>> Samples(const std::string& path) {
  return ReadAudio(path).samples;
}

} // namespace

TEST(Lv2Bundle, Lv2ValidateFindsNoError) {
  TempDir dir;
  const Result check =
      RunCommand(dir, "lv2_validate " + std::string(ZINTRAX_LV2_BUNDLE) + "/*.ttl");
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_THAT(check.out, HasSubstr("Found 0 errors")) << check.out;
}

TEST(Lv2Bundle, Lv2InfoShowsTheAudioPortsAndOneControlPerParameterInItsUnits) {
  const Lv2Path path;
  const Result info = RunCommand(path.dir, "env " + path.Env() + " lv2info " + kUri);
  ASSERT_EQ(info.status, 0) << info.out;
  for (const char* text :
       {"Name:              Zintrax", "Symbol:      in_1", "Symbol:      in_2",
        "Symbol:      out_1", "Symbol:      out_2", "hardRTCapable",
        "Symbol:      distance\n\t\tName:        Distance\n\t\tMinimum:     50.000000\n"
        "\t\tMaximum:     750.000000\n\t\tDefault:     750.000000",
        "Symbol:      feeding\n\t\tName:        Feeding\n\t\tMinimum:     1.000000\n"
        "\t\tMaximum:     5.000000\n\t\tDefault:     1.500000",
        "Symbol:      x_axis\n\t\tName:        X-Axis\n\t\tMinimum:     0.000000\n"
        "\t\tMaximum:     1.000000\n\t\tDefault:     0.500000",
        "Symbol:      y_axis\n\t\tName:        Y-Axis", "on stage", "heavy rock", "encore",
        "http://lv2plug.in/ns/extensions/ui#X11UI"})
    EXPECT_THAT(info.out, HasSubstr(text));
}

TEST(Lv2Bundle, BinariesExportTheirDescriptorsOnly) {
  for (const auto& [file, symbol] : {std::pair{"Zintrax.so", "lv2_descriptor"},
                                     std::pair{"Zintrax_ui.so", "lv2ui_descriptor"}}) {
    void* library = dlopen((fs::path(ZINTRAX_LV2_BUNDLE) / file).c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_NE(dlsym(library, symbol), nullptr) << file;
    for (const char* other : {"main", "VSTPluginMain", "lv2_descriptor", "lv2ui_descriptor"})
      if (std::string(other) != symbol) {
        EXPECT_EQ(dlsym(library, other), nullptr) << file << " exports " << other;
      }
    dlclose(library);
  }
}

// Every factory program and values set by hand: lv2apply with the controls, zintrax-host on the
// VST 2.x plug-in with all four values set (an instance given no value runs its after-open
// state until the first change), and zintrax-host on the bundle with the preset.
TEST(Lv2Bundle, Lv2ApplyRendersTheSamplesOfTheVst2PluginForEachProgramAndHandSetValues) {
  const Lv2Path path;
  const TempDir& dir = path.dir;
  WriteWav(dir / "in.wav", 48000, {Ramp(30000, 0.6f), Ramp(30000, -0.4f)});
  struct Case {
    std::string program;
    std::vector<std::string> values; // Distance, Feeding, X-Axis, Y-Axis
  };
  const std::vector<Case> cases = {{"on stage", {"750", "1.5", "0.5", "0.5"}},
                                   {"heavy rock", {"750", "2.5", "0.7", "0.9"}},
                                   {"encore", {"300", "2", "0.1", "0.2"}},
                                   {"", {"123.456", "4.321", "0.013", "0.987"}}};
  const char* names[] = {"Distance", "Feeding", "X-Axis", "Y-Axis"};
  const char* symbols[] = {"distance", "feeding", "x_axis", "y_axis"};
  const std::vector<std::string> settings = {"ZINTRAX_SEED=977",
                                             "ZINTRAX_SETTINGS_FILE=" + dir / "z.conf"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program.empty() ? "by hand" : c.program);
    std::vector<std::string> vst = {"render", ZINTRAX_PLUGIN_PATH, "--in", "in.wav", "--out",
                                    "vst.wav"};
    std::string apply = "env " ZINTRAX_TOOL_PRELOAD
                        " ZINTRAX_SEED=977 ZINTRAX_SETTINGS_FILE=z.conf " +
                        path.Env() + " lv2apply -i in.wav -o lv2.wav";
    for (int i = 0; i < 4; ++i) {
      vst.insert(vst.end(), {"--param", std::string(names[i]) + "=" + c.values[i]});
      apply += " -c " + std::string(symbols[i]) + " " + c.values[i];
    }
    ASSERT_EQ(RunHost(dir, vst, settings).status, 0);
    ASSERT_EQ(RunCommand(dir, apply + " " + kUri).status, 0) << ReadText(dir / ".out");
    const auto expected = Samples(dir / "vst.wav");
    EXPECT_EQ(Samples(dir / "lv2.wav"), expected);
    if (!c.program.empty()) {
      ASSERT_EQ(RunHost(dir,
                        {"render", ZINTRAX_LV2_BUNDLE, "--program", c.program, "--in", "in.wav",
                         "--out", "host.wav"},
                        settings)
                    .status,
                0);
      EXPECT_EQ(Samples(dir / "host.wav"), expected);
    }
  }
}

// The plug-in's own bypass, the control designated lv2:enabled: off, the input comes out once the
// crossfade of 20 ms is over.
TEST(Lv2Bundle, TheEnabledControlOffGivesTheInputAfterTheCrossfade) {
  const Lv2Path path;
  const TempDir& dir = path.dir;
  WriteWav(dir / "in.wav", 48000, {Ramp(20000, 0.6f), Ramp(20000, -0.4f)});
  const std::string apply = "env " ZINTRAX_TOOL_PRELOAD
                            " ZINTRAX_SEED=5 ZINTRAX_SETTINGS_FILE=z.conf " +
                            path.Env() + " lv2apply -i in.wav -o lv2.wav -c enabled 0 " + kUri;
  ASSERT_EQ(RunCommand(dir, apply).status, 0) << ReadText(dir / ".out");
  const auto input = Samples(dir / "in.wav");
  const auto output = Samples(dir / "lv2.wav");
  ASSERT_EQ(input.size(), output.size());
  for (std::size_t c = 0; c < input.size(); ++c)
    EXPECT_TRUE(std::equal(input[c].begin() + 960, input[c].end(), output[c].begin() + 960));
}
