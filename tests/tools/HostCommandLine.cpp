// zintrax-host's answers to its command line: help, refusals with their exit status and
// message, and what it reports when a library is not a plug-in it can load.
#include "HostRun.h"

namespace {

using namespace hosttest;
using ::testing::HasSubstr;

TEST(HostCommandLine, HelpAndMissingCommand) {
  TempDir dir;
  const Result help = RunHost(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, HasSubstr("render --out FILE"));
  EXPECT_EQ(RunHost(dir, {"render", "--help"}).status, 0);

  const Result none = RunHost(dir, {});
  EXPECT_EQ(none.status, 2);
  EXPECT_THAT(none.err, HasSubstr("a command is needed"));
}

TEST(HostCommandLine, BadArgumentsAreRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  const std::string plugin = std::string("--plugin=") + FAKE_PLUGIN_PATH;
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"mix"}, "unknown command 'mix'"},
      {{"play", plugin, "--no-connect", "--in", "system:capture_1"}, "--no-connect with --in"},
      {{"play", plugin, "--fresh", "--state", "s.state"}, "--fresh with --state"},
      {{"play", plugin, "--record", "x.mp3"}, "must end in .wav, .flac or .aiff"},
      {{"play", plugin, "--in", ""}, "--in needs a JACK port's name"},
      {{"play", plugin, "--loud"}, "play: unknown argument --loud"},
      {{"render", plugin}, "render needs --out"},
      {{"render", plugin, "--out", "x.mp3"}, "must end in .wav, .flac or .aiff"},
      {{"render", plugin, "--out", "x.wav", "--block", "0"}, "--block needs a whole number"},
      {{"render", plugin, "--out", "x.wav", "--block", "12x"}, "not '12x'"},
      {{"render", plugin, "--out", "x.wav", "--block=65537"}, "from 1 to 65536"},
      {{"render", plugin, "--out", "x.wav", "--sample-rate", "100"}, "--sample-rate"},
      {{"render", plugin, "--out", "x.wav", "--tail", "-1"}, "--tail needs a number of seconds"},
      {{"render", plugin, "--out", "x.wav", "--tail", "nan"}, "--tail"},
      {{"render", plugin, "--out", "x.wav", "--seed", "-1"}, "--seed"},
      {{"render", plugin, "--out", "x.wav", "--seed", "4294967296"}, "--seed"},
      {{"render", plugin, "--out", "x.wav", "--param", "Gain"}, "--param needs NAME=VALUE"},
      {{"render", plugin, "--out", "x.wav", "--block"}, "--block needs a value"},
      {{"render", plugin, "--out", "x.wav", "--plot", "x.jpg"}, "must end in .png"},
      {{"render", plugin, "--out", "x.wav", "--loud"}, "unknown argument --loud"},
      {{"render", plugin, "--out", "x.wav", "--param", "Volume=1"}, "no parameter 'Volume'"},
      {{"render", plugin, "--out", "x.wav", "--param", "Gain=3"}, "outside its range 0 to 2 x"},
      {{"render", plugin, "--out", "x.wav", "--param", "Mode=11"}, "outside its range 0 to 10"},
      {{"render", plugin, "--out", "x.wav", "--param", "Gain=loud"}, "not a number"},
      {{"render", plugin, "--out", "x.wav", "--program", "Loud"}, "\"Unity\", \"Half\""},
      {{"render", plugin, "--out", "x.wav", "--program", "2"}, "no program '2'"},
      {{"info", "a.so", "b.so"}, "one plug-in"},
  };
  for (const auto& [args, message] : cases) {
    const Result result = RunHost(dir, args);
    EXPECT_EQ(result.status, 2) << args.back();
    EXPECT_THAT(result.err, HasSubstr(message)) << args.back();
    EXPECT_TRUE(dir.Files().empty()) << args.back();
  }
}

TEST(HostCommandLine, LibrariesThatAreNotPluginsAreRefused) {
  TempDir dir;
  std::ofstream(dir / "text.so") << "not a library";
  fs::create_directory(dir.Path() / "folder.so");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"info", "missing.so"}, "missing.so: no such file"},
      {{"info", "folder.so"}, "folder.so: not a file"},
      {{"info", "text.so"}, "cannot load text.so"},
      {{"info", NOT_A_PLUGIN_PATH}, "exports neither VSTPluginMain nor main"},
      {{"render", "--plugin", "missing.so", "--out", "x.wav"}, "no such file"},
  };
  for (const auto& [args, message] : cases) {
    const Result result = RunHost(dir, args);
    EXPECT_EQ(result.status, 1) << args[1];
    EXPECT_THAT(result.err, HasSubstr(message)) << args[1];
  }
  const Result refused = RunHost(dir, {"info", FAKE_PLUGIN_PATH}, {"FAKE_PLUGIN_REFUSE=1"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("refused to create an instance"));
  EXPECT_EQ(dir.Files().size(), 2u); // text.so and folder.so, nothing else
}

TEST(HostCommandLine, EveryCommandTakesThePluginAsAnArgument) {
  TempDir dir;
  const Result render = RunHost(dir, {"render", FAKE_PLUGIN_PATH, "--out", "x.wav"});
  EXPECT_EQ(render.status, 0) << render.err;
  const Result snapshot =
      RunHost(dir, {"snapshot", FAKE_PLUGIN_PATH, "--out", "f.png"}, {}, "-u DISPLAY");
  EXPECT_EQ(snapshot.status, 1);
  EXPECT_THAT(snapshot.err, HasSubstr("has no editor"));
  for (const char* command : {"info", "render", "snapshot", "edit", "validate"}) {
    const Result twice = RunHost(dir, {command, "a.so", "--plugin", "b.so", "--out", "x.png"});
    EXPECT_EQ(twice.status, 2) << command;
    EXPECT_THAT(twice.err, HasSubstr("takes one plug-in, not also 'b.so'")) << command;
  }
}

TEST(HostCommandLine, AnInstalledHostLoadsTheInstalledPlugin) {
  TempDir dir;
  const fs::path root = dir.Path();
  fs::create_directories(root / "usr" / "bin");
  fs::create_directories(root / "usr" / "lib" / "vst");
  fs::create_directories(root / "src" / "effect");
  fs::copy_file(ZINTRAX_HOST_PATH, root / "usr" / "bin" / "zintrax-host");
  fs::copy_file(FAKE_PLUGIN_PATH, root / "usr" / "lib" / "vst" / "Zintrax.so");
  // Where a build tree beside it would hold its plug-in.
  fs::copy_file(NOT_A_PLUGIN_PATH, root / "src" / "effect" / "Zintrax.so");
  const Result info = RunHost(dir, {"info"}, {}, "sh -c 'exec usr/bin/zintrax-host \"$@\"'");
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_THAT(info.out, HasSubstr("/usr/lib/vst/Zintrax.so\n"));
  EXPECT_THAT(info.out, HasSubstr("Effect name     Fake"));
}

TEST(HostCommandLine, InfoShowsWhatTheRecordAndDispatcherAnswer) {
  TempDir dir;
  const Result info = RunHost(dir, {"info", FAKE_PLUGIN_PATH}, {"FAKE_PLUGIN_LOG=log"});
  ASSERT_EQ(info.status, 0) << info.err;
  for (const char* line :
       {"Effect name     Fake", "Vendor          Test Vendor", "Product         Fake Product",
        "Vendor version  7", "VST version     2400", "Unique ID       'Fake' (0x46616B65)",
        "Category        Effect (1)", "Flags           0x00000010: CanReplacing",
        "Inputs          2", "Can do          2in2out",
        "Programs (2, current 0):\n  0  Unity\n  1  Half"})
    EXPECT_THAT(info.out, HasSubstr(line));
  // Parameter rows: name, current display, the display at both ends, automatable.
  EXPECT_THAT(info.out, HasSubstr("0  Gain  1 x    0 x   2 x   yes"));
  EXPECT_THAT(info.out, HasSubstr("1  Mode  0      0     10    no"));
  // The probing for the ends leaves the parameter where it was.
  EXPECT_THAT(ReadText(dir / "log"), HasSubstr("host version 2400"));
  const std::string log = ReadText(dir / "log");
  EXPECT_EQ(log.find("main\n"), 0u);
  EXPECT_NE(log.find("dispatcher 0 0 0"), std::string::npos); // effOpen
  EXPECT_EQ(log.rfind("dispatcher 1 0 0"), log.size() - std::string("dispatcher 1 0 0\n").size());
}

TEST(HostCommandLine, InfoFindsTheOlderEntryPointName) {
  TempDir dir;
  const Result info = RunHost(dir, {"info", FAKE_PLUGIN_MAIN_PATH});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_THAT(info.out, HasSubstr("Effect name     Fake"));
}

} // namespace
