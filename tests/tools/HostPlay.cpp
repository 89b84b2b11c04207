// zintrax-host play on a private JACK server (its dummy driver, 48000 Hz, 64 frames a period): a
// client of the test's own feeds a known signal into play's inputs and records its outputs; what
// play recorded of the plug-in's input renders to exactly what came out, in every format; the
// settings kept at exit come back at the next start, and a damaged file is left alone; on a
// terminal, when the server goes away and without one, play says what it should.
#include "HostRun.h"
#include "Jack.h"
#include "JackServer.h"

#include "hosting/Errors.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

extern char** environ;

using namespace hosttest;

namespace {

constexpr int kRate = 48000;

// The test's client: send_1 and send_2 play a signal that never repeats within its length from
// the moment it starts; rec_1 and rec_2 record what comes back.
struct Feeder {
  explicit Feeder(size_t frames) : jack("feeder"), sent(2), heard(2) {
    for (int c = 0; c < 2; ++c) {
      sent[c].resize(frames);
      heard[c].assign(frames, 0.0f);
    }
    uint32_t noise = 12345;
    for (size_t n = 0; n < frames; ++n) {
      const float burst = (n / 6000) % 2 == 0 ? 0.4f : 0.0f;
      for (int c = 0; c < 2; ++c) {
        noise = noise * 1664525u + 1013904223u;
        sent[c][n] = burst * (float(noise >> 8) / float(1 << 24) - 0.5f);
      }
    }
    for (int c = 0; c < 2; ++c) {
      out[c] = jack.AddPort("send_" + std::to_string(c + 1), false);
      in[c] = jack.AddPort("rec_" + std::to_string(c + 1), true);
    }
    jack.Activate({[this](jack_nframes_t frames) {
                     const size_t at = position;
                     for (int c = 0; c < 2; ++c) {
                       float* o = jack.Buffer(out[c], frames);
                       const float* i = jack.Buffer(in[c], frames);
                       for (jack_nframes_t n = 0; n < frames; ++n) {
                         o[n] = at + n < sent[c].size() ? sent[c][at + n] : 0.0f;
                         if (at + n < heard[c].size())
                           heard[c][at + n] = i[n];
                       }
                     }
                     position = at + frames;
                     return 0;
                   },
                   nullptr, nullptr, nullptr, nullptr});
  }
  zhost::JackClient jack;
  jack_port_t* out[2] = {};
  jack_port_t* in[2] = {};
  std::vector<std::vector<float>> sent, heard;
  std::atomic<size_t> position{0};
};

// Where within haystack the run of needle starting at from is found first (npos if nowhere).
size_t Find(const std::vector<float>& haystack, const std::vector<float>& needle, size_t from) {
  constexpr size_t kRun = 256;
  if (from + kRun > needle.size())
    return std::string::npos;
  for (size_t at = 0; at + kRun <= haystack.size(); ++at)
    if (std::equal(needle.begin() + from, needle.begin() + from + kRun, haystack.begin() + at))
      return at;
  return std::string::npos;
}

// The first frame at or after from where a burst of the signal starts.
size_t BurstStart(const std::vector<float>& samples, size_t from) {
  while (from < samples.size() && (samples[from] == 0.0f || samples[from - 1] != 0.0f))
    ++from;
  return from;
}

// How many frames a and b agree for, from aFrom and bFrom on.
size_t Agreement(const std::vector<float>& a, size_t aFrom, const std::vector<float>& b,
                 size_t bFrom) {
  size_t n = 0;
  while (aFrom + n < a.size() && bFrom + n < b.size() && a[aFrom + n] == b[bFrom + n])
    ++n;
  return n;
}

// The longest run of played from from on that the feeder's timeline holds unbroken (an xrun
// may skip a period for one client and not for another); bursts: look for it only where a burst
// of the signal starts.
size_t LongestMatch(const std::vector<float>& timeline, const std::vector<float>& played,
                    size_t from, bool bursts) {
  size_t longest = 0;
  for (size_t at = from; at < played.size();) {
    if (bursts && (at = BurstStart(played, at)) >= played.size())
      break;
    const size_t found = Find(timeline, played, at);
    const size_t run = found == std::string::npos ? 0 : Agreement(timeline, found, played, at);
    longest = std::max(longest, run);
    at += std::max<size_t>(run, 256);
  }
  return longest;
}

// The numbers after label on each status line, in order.
std::vector<double> Figures(const std::string& out, const std::string& label) {
  std::vector<double> figures;
  for (size_t at = out.find(label); at != std::string::npos; at = out.find(label, at + 1))
    figures.push_back(std::atof(out.c_str() + at + label.size()));
  return figures;
}

std::vector<std::string> PlayArgs(const std::string& plugin, const std::string& record) {
  return {"play",   plugin,         "--no-editor", "--fresh",       "--seed",   "7",
          "--name", "zplay",        "--in",        "feeder:send_1", "--in",     "feeder:send_2",
          "--out",  "feeder:rec_1", "--out",       "feeder:rec_2",  "--record", record};
}

TEST(HostPlay, PlaysEachFormatLiveExactlyAsRenderDoesWellWithinItsPeriod) {
  JackServer server(kRate, 64);
  ASSERT_TRUE(server.Running()) << "jackd did not start";
  TempDir dir;
  // The last run has the server's period changed to 256 frames under it, which the plug-in
  // (opened for 64) takes in blocks of 64, so that its sound does not change.
  const std::vector<std::string> runs = {ZINTRAX_PLUGIN_PATH, ZINTRAX_LV2_BUNDLE,
                                         ZINTRAX_VST3_BUNDLE, ZINTRAX_CLAP_FILE,
                                         ZINTRAX_PLUGIN_PATH};
  for (size_t run = 0; run < runs.size(); ++run) {
    const std::string& plugin = runs[run];
    const bool resized = run + 1 == runs.size();
    SCOPED_TRACE(plugin + (resized ? " with the period changed" : ""));
    Feeder feeder(8 * kRate);
    std::thread resize([&] {
      if (resized) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        EXPECT_EQ(std::system("jack_bufsize 256 >/dev/null"), 0);
      }
    });
    const Result played =
        RunHost(dir, PlayArgs(plugin, dir / "live.wav"), {}, "timeout --preserve-status -s INT 4");
    resize.join();
    ASSERT_EQ(played.status, 0) << played.err;
    feeder.jack.Deactivate();
    // One status line a second on a pipe. The dummy driver's periods come late now and then on
    // a virtual machine with no client at all, so the xruns are reported, and what is held
    // against play is its own share of each period: in a typical second (the median of the
    // seconds' largest shares), since the machine itself may hold up any single period.
    std::vector<double> load = Figures(played.out, "plug-in ");
    ASSERT_GE(load.size(), 3u) << played.out;
    std::sort(load.begin() + 1, load.end());
    EXPECT_LT(load[1 + (load.size() - 1) / 2], 50.0) << played.out;
    RecordProperty("xruns" + std::to_string(run), int(Figures(played.out, "xruns ").back()));

    const Audio live = ReadAudio(dir / "live.wav");
    ASSERT_EQ(live.channels, 4);
    ASSERT_EQ(RunHost(dir, {"render", plugin, "--in", dir / "live.wav", "--seed", "7", "--block",
                            "64", "--out", dir / "rendered.wav"})
                  .status,
              0);
    const Audio rendered = ReadAudio(dir / "rendered.wav");
    // From the end of the fade in to the start of the fade out, the plug-in's output is the
    // render's, and it took the feeder's signal and reached the feeder's ears unchanged.
    const size_t steady = kRate * 11 / 10;
    for (int c = 0; c < 2; ++c) {
      EXPECT_GT(Agreement(rendered.samples[c], steady, live.samples[2 + c], steady),
                size_t(kRate * 3 / 2));
      EXPECT_GT(LongestMatch(feeder.sent[c], live.samples[c], steady, true), size_t(kRate / 4))
          << "the feeder's signal is not what the plug-in got";
      // The loop back to the feeder is a period late, and in the last run the period changed.
      if (!resized) {
        EXPECT_GT(LongestMatch(feeder.heard[c], rendered.samples[c], steady, false),
                  size_t(kRate / 4))
            << "the feeder did not hear play's output";
      }
    }
  }
}

TEST(HostPlay, KeepsTheSettingsLeavesADamagedFileAloneAndSaysWhatHappened) {
  JackServer server(kRate, 64);
  ASSERT_TRUE(server.Running()) << "jackd did not start";
  TempDir dir;
  const std::string config = "XDG_CONFIG_HOME=" + dir / "config";
  const std::string kept = dir / "config/Merrowlake/play-Zintrax-VST-2-x.state";
  const auto play = [&](std::vector<std::string> args, int seconds = 1) {
    args.insert(args.begin(), {"play", ZINTRAX_PLUGIN_PATH, "--no-editor", "--no-connect"});
    return RunHost(dir, args, {config},
                   "timeout --preserve-status -s INT " + std::to_string(seconds));
  };
  ASSERT_EQ(play({"--program", "1", "--param", "Distance=300"}).status, 0);
  EXPECT_THAT(ReadText(kept), testing::HasSubstr("program\t1\nparam\tDistance\t300\n"));
  const Result again = play({});
  EXPECT_THAT(again.err, testing::HasSubstr("with the last settings"));
  EXPECT_THAT(ReadText(kept), testing::HasSubstr("program\t1\nparam\tDistance\t300\n"));

  std::ofstream(kept) << "zintrax-host play settings 1\nplugin\tZintrax (VST 2.x)\nprogram\tx\n";
  const Result damaged = play({});
  EXPECT_EQ(damaged.status, 0);
  EXPECT_THAT(damaged.err, testing::HasSubstr("line 3: the program is not a number"));
  EXPECT_THAT(damaged.err, testing::HasSubstr("starting from the plug-in's own settings"));
  EXPECT_EQ(ReadText(kept),
            "zintrax-host play settings 1\nplugin\tZintrax (VST 2.x)\nprogram\tx\n");

  std::ofstream(dir / "other.state") << "zintrax-host play settings 1\nplugin\tOther (LV2)\n"
                                        "program\t0\n";
  const Result other = play({"--state", dir / "other.state"});
  EXPECT_EQ(other.status, 1);
  EXPECT_THAT(other.err,
              testing::HasSubstr("the settings of Other (LV2), not of Zintrax (VST 2.x)"));

  // On a terminal the status line is one line, drawn again in place.
  const std::string script =
      "cd " + Quote(dir.Path().string()) + " && " + config + " script -qec " +
      Quote("timeout --preserve-status -s INT 1 " + Quote(ZINTRAX_HOST_PATH) + " play " +
            Quote(ZINTRAX_PLUGIN_PATH) + " --no-editor --no-connect --fresh") +
      " /dev/null >" + Quote(dir / "terminal.txt");
  ASSERT_EQ(std::system(script.c_str()), 0);
  EXPECT_THAT(ReadText(dir / "terminal.txt"), testing::HasSubstr("\r\033[Kin "));

  // The server going away under it: a message, and the settings kept all the same.
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    server.Stop();
  });
  const Result gone = play({"--state", dir / "gone.state", "--param", "Feeding=2"}, 10);
  stopper.join();
  EXPECT_EQ(gone.status, 1);
  EXPECT_THAT(gone.err, testing::HasSubstr("zintrax-host: the JACK server went away"));
  EXPECT_THAT(ReadText(dir / "gone.state"), testing::HasSubstr("param\tFeeding\t2\n"));

  const Result none = play({"--fresh"});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, testing::HasSubstr("no JACK server is running: start one (for a sound "
                                           "card, jackd -d alsa"));
}

} // namespace
