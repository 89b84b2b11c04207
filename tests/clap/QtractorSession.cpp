// Qtractor, headless: a session written here (one audio track playing a file through the CLAP
// plug-in, whose values come with its state, as Qtractor restores them) plays on a private JACK
// server with the dummy driver, on Xvfb, with an empty ALSA sequencer standing in for the one
// this machine lacks. What the test's own client records of Qtractor's master bus is the VST 2.x
// plug-in's render of the same file at the same values, sample for sample, apart from the one
// period Qtractor ramps in when the transport starts.
#include "ClapTestHost.h"
#include "JackServer.h"
#include "Vst2Reference.h"
#include "abi/effect_helpers.h"

#include "AudioFile.h"
#include "hosting/Xvfb.h"

#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>

using namespace claptest;
namespace fs = std::filesystem;

namespace {

constexpr int kRate = 48000;
constexpr int kPeriod = 1024;
constexpr std::size_t kFrames = 2 * kRate;

// The state as Qtractor keeps it in a session: Qt's qCompress (the length, four bytes big-endian,
// then a zlib stream), in base64.
std::string SessionState(const std::vector<uint8_t>& state) {
  uLongf packedSize = compressBound(uLong(state.size()));
  std::vector<uint8_t> packed(4 + packedSize);
  for (int i = 0; i < 4; ++i)
    packed[std::size_t(i)] = uint8_t(state.size() >> (24 - 8 * i));
  EXPECT_EQ(compress(packed.data() + 4, &packedSize, state.data(), uLong(state.size())), Z_OK);
  packed.resize(4 + packedSize);
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t at = 0; at < packed.size(); at += 3) {
    const std::size_t left = packed.size() - at;
    uint32_t group = uint32_t(packed[at]) << 16;
    if (left > 1)
      group |= uint32_t(packed[at + 1]) << 8;
    if (left > 2)
      group |= packed[at + 2];
    for (std::size_t digit = 0; digit < 4; ++digit)
      text += digit <= left ? kDigits[(group >> (18 - 6 * digit)) & 63] : '=';
  }
  return text;
}

void WriteSession(const fs::path& file, const fs::path& audio, const std::string& state) {
  std::ofstream(file) << R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE qtractorSession>
<session name="zintrax" version="0.9.31">
 <properties>
  <directory>)" << file.parent_path().string()
                      << R"(</directory>
  <sample-rate>48000</sample-rate>
 </properties>
 <tracks>
  <track name="Guitar" type="audio">
   <properties><input-bus>Master</input-bus><output-bus>Master</output-bus></properties>
   <state><gain>1</gain><panning>0</panning></state>
   <clips>
    <clip name="take">
     <properties><start>0</start><offset>0</offset><length>)"
                      << kFrames << R"(</length></properties>
     <audio-clip><filename>)"
                      << audio.string() << R"(</filename></audio-clip>
    </clip>
   </clips>
   <plugins>
    <plugin type="CLAP">
     <filename>)" << ZINTRAX_CLAP_FILE
                      << R"(</filename>
     <index>0</index>
     <activated>true</activated>
     <configs><config key="state">)"
                      << state << R"(</config></configs>
    </plugin>
   </plugins>
  </track>
 </tracks>
</session>
)";
}

// Qtractor on the session, with its own home and the empty sequencer; killed with the object.
class Qtractor {
public:
  Qtractor(const fs::path& session, const fs::path& home) {
    const std::string command =
        "exec env HOME=" + home.string() + " LD_PRELOAD=" ZINTRAX_EMPTY_SEQUENCER " qtractor " +
        session.string() + " >" + (home / "qtractor.log").string() + " 2>&1";
    const char* args[] = {"sh", "-c", command.c_str(), nullptr};
    if (posix_spawnp(&FPid, "sh", nullptr, nullptr, const_cast<char**>(args), environ) != 0)
      FPid = -1;
  }
  ~Qtractor() {
    if (FPid > 0) {
      kill(FPid, SIGKILL);
      waitpid(FPid, nullptr, 0);
    }
  }
  Qtractor(const Qtractor&) = delete;
  Qtractor& operator=(const Qtractor&) = delete;

private:
  pid_t FPid = -1;
};

// Records two inputs from the moment it is activated.
struct Recorder {
  Recorder() : jack("recorder"), heard(2, std::vector<float>(20 * kRate)) {
    for (int c = 0; c < 2; ++c)
      in[c] = jack.AddPort("rec_" + std::to_string(c + 1), true);
    jack.Activate({[this](jack_nframes_t frames) {
                     const std::size_t at = position;
                     for (int c = 0; c < 2; ++c) {
                       const float* i = jack.Buffer(in[c], frames);
                       for (jack_nframes_t n = 0; n < frames && at + n < heard[c].size(); ++n)
                         heard[c][at + n] = i[n];
                     }
                     position = at + frames;
                     return 0;
                   },
                   nullptr, nullptr, nullptr, nullptr});
  }
  zhost::JackClient jack;
  jack_port_t* in[2] = {};
  std::vector<std::vector<float>> heard;
  std::atomic<std::size_t> position{0};
};

// Where in heard the reference plays from its second period on (npos when nowhere).
std::size_t Offset(const std::vector<float>& heard, const std::vector<float>& reference) {
  for (std::size_t at = 0; at + kFrames <= heard.size(); ++at)
    if (std::equal(reference.begin() + kPeriod, reference.begin() + 2 * kPeriod,
                   heard.begin() + std::ptrdiff_t(at + kPeriod)))
      return at;
  return std::string::npos;
}

TEST(ClapQtractor, ASessionPlaysAFileThroughThePlugInAsTheVst2PlugInPlaysIt) {
  const effecttest::PrivateSettings settings("31337");
  const fs::path dir = settings.Folder();
  const std::array<double, 4> values = {287.5, 4.25, 0.375, 0.625};
  const Stereo input = FactoryInput(kFrames);
  const Stereo expected = Vst2Render(values, input);

  std::vector<uint8_t> state;
  {
    Effect clap;
    for (clap_id id = 0; id < 4; ++id)
      clap.Set(id, values[id]);
    state = clap.Save().value();
  }
  {
    std::vector<float> interleaved;
    for (std::size_t n = 0; n < kFrames; ++n)
      interleaved.insert(interleaved.end(), {input.left[n], input.right[n]});
    zhost::AudioFileWriter file((dir / "take.wav").string(), 2, kRate);
    file.Write(interleaved.data(), int64_t(kFrames));
    file.Commit();
  }
  WriteSession(dir / "zintrax.qtr", dir / "take.wav", SessionState(state));
  fs::create_directories(dir / "home");

  const zhost::Xvfb display;
  JackServer server(kRate, kPeriod);
  ASSERT_TRUE(server.Running()) << "jackd did not start";
  Recorder recorder;
  const Qtractor qtractor(dir / "zintrax.qtr", dir / "home");
  bool connected = false;
  for (int i = 0; i < 200 && !connected; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    connected =
        recorder.jack.Connect("Qtractor:Master/out_1", recorder.jack.PortName(recorder.in[0])) &&
        recorder.jack.Connect("Qtractor:Master/out_2", recorder.jack.PortName(recorder.in[1]));
  }
  ASSERT_TRUE(connected) << "Qtractor's master bus never appeared";
  // The session loads while the engine runs; then the transport rolls for the file and a second.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  ASSERT_EQ(std::system("echo play | jack_transport >/dev/null"), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000 + 1000 * kFrames / kRate));
  recorder.jack.Deactivate();

  const std::vector<float>* want[2] = {&expected.left, &expected.right};
  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE("channel " + std::to_string(c + 1));
    const std::vector<float>& heard = recorder.heard[std::size_t(c)];
    const std::size_t at = Offset(heard, *want[c]);
    ASSERT_NE(at, std::string::npos) << "the plug-in's sound is nowhere in what Qtractor played";
    std::size_t differ = 0;
    for (std::size_t n = kPeriod; n < kFrames; ++n)
      differ += heard[at + n] != (*want[c])[n];
    EXPECT_EQ(differ, 0u);
  }
}

} // namespace
