// A real third-party host loads the built plug-in: Ardour 7's headless Lua session tool scans
// it, inserts it on a stereo track behind a sine generator and exports one second. Skipped
// with a message where Ardour is not installed, and for builds Ardour cannot load (32-bit,
// sanitizers).
#include "ArdourSession.h"
#include "framework/DAEffect.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
using ardour::kArdourLua;
using ardour::ReadFile;
using ardour::SanitizedBuild;
constexpr const char* kScanner = "/usr/lib/ardour7/ardour-vst-scanner";

// The 16-bit samples after the header of a canonical WAV file.
std::vector<int16_t> WavSamples(const std::string& file) {
  std::vector<int16_t> samples;
  for (std::size_t i = 44; i + 1 < file.size(); i += 2)
    samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(file[i]) |
                                           (static_cast<uint8_t>(file[i + 1]) << 8)));
  return samples;
}

class Ardour : public ::testing::Test {
protected:
  void SetUp() override {
    if (sizeof(void*) != 8)
      GTEST_SKIP() << "Ardour here is 64-bit; it cannot load a 32-bit plug-in";
    if (SanitizedBuild())
      GTEST_SKIP() << "a sanitizer build cannot be loaded into Ardour";
    if (access(kArdourLua, X_OK) != 0 || access(kScanner, X_OK) != 0)
      GTEST_SKIP() << "Ardour 7 is not installed (apt-get install ardour)";
    char pattern[] = "/tmp/zintrax-ardour-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    fs::create_directories(dir / "plugins");
    fs::create_directories(dir / "out");
    // The scan cache must be newer than the plug-in file, or Ardour reports it as not found.
    fs::copy_file(ZINTRAX_PLUGIN_PATH, dir / "plugins" / "Zintrax.so");
    fs::last_write_time(dir / "plugins" / "Zintrax.so",
                        fs::file_time_type::clock::now() - std::chrono::hours(1));
    env = "XDG_CONFIG_HOME='" + (dir / "config").string() + "' XDG_CACHE_HOME='" +
          (dir / "cache").string() + "' LXVST_PATH='" + (dir / "plugins").string() + "' ";
  }
  void TearDown() override {
    if (!dir.empty())
      fs::remove_all(dir);
  }

  int Run(const std::string& command, const std::string& log) {
    return ardour::RunLogged(env, command, dir / log);
  }

  // Exports one second of a sine through the track, with or without Zintrax behind it.
  std::string Export(const std::string& name, bool withZintrax) {
    const std::string session = (dir / ("session-" + name)).string();
    std::ostringstream insert;
    if (withZintrax)
      insert << "local fx = ARDOUR.LuaAPI.new_plugin(Session, '" << FourCharCode('Z', 'n', 't', 'x')
             << "', ARDOUR.PluginType.LXVST, '')\n"
             << "assert(not fx:isnil(), 'Zintrax not found')\n"
             << "assert(track:add_processor_by_index(fx, 1, nil, true) == 0)\n"
             << "assert(ARDOUR.LuaAPI.set_processor_param(fx, 1, 0.75))\n"
             << "print('inserted ' .. track:nth_plugin(1):display_name())\n";
    const std::string lua =
        ardour::ExportScript(session, insert.str(), name, (dir / "out").string());
    const fs::path script = dir / (name + ".lua");
    std::ofstream(script) << lua;
    // ardour7-lua itself now and then aborts while it tears down ("double free"), also with no
    // plug-in at all, more often on a loaded machine; a run counts when one of five attempts ends
    // cleanly.
    int status = -1;
    for (int attempt = 0; attempt < 5 && status != 0; ++attempt) {
      fs::remove_all(session);
      status = Run(std::string(kArdourLua) + " '" + script.string() + "'", name + ".log");
    }
    EXPECT_EQ(status, 0) << ReadFile(dir / (name + ".log"));
    if (withZintrax) {
      EXPECT_NE(ReadFile(dir / (name + ".log")).find("inserted Zintrax"), std::string::npos);
    }
    return ReadFile(dir / "out" / (name + ".wav"));
  }

  fs::path dir;
  std::string env;
};
} // namespace

TEST_F(Ardour, LoadsAndRendersThePlugin) {
  const std::string scan = "env LD_LIBRARY_PATH=/usr/lib/ardour7 " + std::string(kScanner) +
                           " -f -v '" + (dir / "plugins" / "Zintrax.so").string() + "'";
  ASSERT_EQ(Run(scan, "scan.log"), 0) << ReadFile(dir / "scan.log");
  const std::string scanLog = ReadFile(dir / "scan.log");
  EXPECT_NE(scanLog.find("name=\"Zintrax\""), std::string::npos) << scanLog;
  EXPECT_NE(scanLog.find("creator=\"MerrowlakeAudio\""), std::string::npos);
  EXPECT_NE(scanLog.find("n_inputs=\"2\" n_outputs=\"2\""), std::string::npos);

  const std::vector<int16_t> dry = WavSamples(Export("dry", false));
  const std::vector<int16_t> wet = WavSamples(Export("wet", true));
  ASSERT_EQ(dry.size(), 96000u);
  ASSERT_EQ(wet.size(), dry.size());
  EXPECT_NE(wet, dry) << "the plug-in changed the sound";
  int peak = 0;
  for (int16_t s : wet)
    peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_GT(peak, 100) << "the plug-in's output is not silent";
}
