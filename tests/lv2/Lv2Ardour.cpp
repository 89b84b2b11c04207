// Ardour 7, headless through ardour7-lua, loads the LV2 plug-in behind a sine generator and
// exports one second, as it does with the VST 2.x plug-in in its place, both given the same
// settings. Ardour's renders are not sample-reproducible (the generator's phase and the number of
// blocks before the range vary from run to run), so the two exports are compared by their level.
#include "HostRun.h"

#include <unistd.h>

#include <cmath>

using namespace hosttest;

namespace {
constexpr const char* kArdourLua = "/usr/bin/ardour7-lua";
constexpr const char* kScanner = "/usr/lib/ardour7/ardour-vst-scanner";

class Lv2Ardour : public ::testing::Test {
protected:
  void SetUp() override {
    if (access(kArdourLua, X_OK) != 0 || access(kScanner, X_OK) != 0)
      GTEST_SKIP() << "Ardour 7 is not installed (apt-get install ardour)";
    if (std::string(ZINTRAX_TOOL_PRELOAD) != "")
      GTEST_SKIP() << "Ardour cannot load a plug-in built with a sanitizer";
    fs::create_directories(dir.Path() / "lv2");
    fs::create_directories(dir.Path() / "vst");
    fs::create_directories(dir.Path() / "out");
    fs::create_directory_symlink(ZINTRAX_LV2_BUNDLE, dir.Path() / "lv2" / "Zintrax.lv2");
    // Ardour's scan cache must be newer than the plug-in file.
    fs::copy_file(ZINTRAX_PLUGIN_PATH, dir.Path() / "vst" / "Zintrax.so");
    fs::last_write_time(dir.Path() / "vst" / "Zintrax.so",
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    env = "env ZINTRAX_SEED=5 ZINTRAX_SETTINGS_FILE=" + Quote(dir / "z.conf") +
          " XDG_CONFIG_HOME=" + Quote(dir / "config") + " XDG_CACHE_HOME=" + Quote(dir / "cache") +
          " LV2_PATH=" + Quote(dir / "lv2") + " LXVST_PATH=" + Quote(dir / "vst") + " ";
  }

  int Run(const std::string& command, const std::string& log) {
    return std::system(
        (env + "timeout 300 " + command + " >" + Quote(dir / log) + " 2>&1").c_str());
  }

  // One second of a sine through the plug-in of that type and id, its parameters set to values
  // in the units that Ardour uses for that type; the channels as float samples.
  std::vector<std::vector<float>> Export(const std::string& name, const std::string& type,
                                         const std::string& id, const std::string& values) {
    std::ostringstream lua;
    lua << "AudioEngine:set_backend('None (Dummy)', '', '')\nAudioEngine:start(false)\n"
        << "assert(create_session('" << dir / ("session-" + name) << "', 'z', 48000))\n"
        << "local track = Session:new_audio_track(2, 2, nil, 1, 'fx', "
        << "ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()\n"
        << "local gen = ARDOUR.LuaAPI.new_luaproc(Session, 'SinGen')\n"
        << "assert(track:add_processor_by_index(gen, 0, nil, true) == 0)\n"
        << "local fx = ARDOUR.LuaAPI.new_plugin(Session, '" << id << "', ARDOUR.PluginType." << type
        << ", '')\nassert(not fx:isnil(), 'not found')\n"
        << "assert(track:add_processor_by_index(fx, 1, nil, true) == 0)\n"
        << "for i, v in ipairs({" << values << "}) do\n"
        << "  assert(ARDOUR.LuaAPI.set_processor_param(fx, i - 1, v))\nend\n"
        << "print('inserted ' .. track:nth_plugin(1):display_name())\n"
        << "local ex = Session:simple_export()\nex:set_name('" << name << "')\n"
        << "ex:set_folder('" << dir / "out"
        << "')\nex:set_range(0, 48000)\n"
        << "assert(ex:set_preset('75969a1c-3133-4694-864b-a1fa50e43348'))\n"
        << "assert(ex:check_outputs())\nassert(ex:run_export())\n";
    std::ofstream(dir / (name + ".lua")) << lua.str();
    const std::string wav = (dir.Path() / "out" / (name + ".wav")).string();
    // ardour7-lua now and then aborts while it tears down, after the export: the file counts.
    for (int attempt = 0; attempt < 5 && !fs::exists(wav); ++attempt)
      Run(std::string(kArdourLua) + " " + Quote(dir / (name + ".lua")), name + ".log");
    EXPECT_NE(ReadText(dir / (name + ".log")).find("inserted Zintrax"), std::string::npos)
        << ReadText(dir / (name + ".log"));
    return fs::exists(wav) ? ReadAudio(wav).samples : std::vector<std::vector<float>>{};
  }

  TempDir dir;
  std::string env;
};

double Rms(const std::vector<float>& samples) {
  double energy = 0.0;
  for (float s : samples)
    energy += double(s) * s;
  return samples.empty() ? 0.0 : std::sqrt(energy / double(samples.size()));
}
} // namespace

TEST_F(Lv2Ardour, RendersTheLv2PluginAsTheVst2PluginAtTheSameSettings) {
  ASSERT_EQ(Run(std::string("env LD_LIBRARY_PATH=/usr/lib/ardour7 ") + kScanner + " -f -v " +
                    Quote((dir.Path() / "vst" / "Zintrax.so").string()),
                "scan.log"),
            0);
  // Distance 400 cm, Feeding 2.5, X-Axis 0.25, Y-Axis 0.75: LV2 controls take the values, the
  // VST 2.x plug-in the same values on its 0..1 scale (exact in both).
  const auto lv2 =
      Export("lv2", "LV2", "https://merrowlake.invalid/lv2/zintrax", "400, 2.5, 0.25, 0.75");
  const auto vst = Export("vst", "LXVST", "1517188216", "0.5, 0.375, 0.25, 0.75");
  ASSERT_EQ(lv2.size(), 2u);
  ASSERT_EQ(vst.size(), 2u);
  for (size_t c = 0; c < 2; ++c) {
    ASSERT_EQ(lv2[c].size(), 48000u);
    ASSERT_EQ(vst[c].size(), 48000u);
    const double lv2Level = Rms(lv2[c]), vstLevel = Rms(vst[c]);
    EXPECT_GT(vstLevel, 0.01) << "the VST 2.x plug-in's output is silent";
    // Run to run, Ardour's renders of one plug-in differ by far less than this.
    EXPECT_NEAR(lv2Level / vstLevel, 1.0, 0.01)
        << "channel " << c << ": LV2 " << lv2Level << ", VST 2.x " << vstLevel;
  }
}
