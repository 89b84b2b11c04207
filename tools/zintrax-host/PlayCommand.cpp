#include "PlayCommand.h"

#include "EditorWindow.h"
#include "Instance.h"
#include "Jack.h"
#include "PlayEngine.h"
#include "PlayRecorder.h"
#include "PlayState.h"
#include "Selection.h"

#include "hosting/Errors.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace zhost {

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kFadeIn = 1.0;  // seconds
constexpr double kFadeOut = 0.5; // seconds
constexpr auto kConnectFor = std::chrono::seconds(5);
constexpr auto kIdleEvery = std::chrono::milliseconds(20);

std::atomic<bool> gStop{false};

void Stop(int) {
  gStop = true;
}

// What JACK's own threads tell the main loop.
struct ServerNews {
  std::atomic<bool> rateChanged{false};
  std::atomic<bool> gone{false};
  std::mutex lock;
  std::string reason;
};

// The connections asked for, made as the ports appear: PipeWire announces its ports late, so
// each round tries again what is not made yet, until the time runs out.
class Connector {
public:
  Connector(const PlayOptions& options, JackClient& jack, const PlayEngine& engine)
      : FOptions(options), FJack(jack), FUntil(Clock::now() + kConnectFor) {
    for (jack_port_t* p : engine.Inputs())
      FInputs.push_back(jack.PortName(p));
    for (jack_port_t* p : engine.Outputs())
      FOutputs.push_back(jack.PortName(p));
    FDone = !options.connect;
  }

  // One round; reports what could not be made once the time is up.
  void Try(std::ostream& err) {
    if (FDone)
      return;
    const std::vector<std::string> sources =
        FOptions.in.empty() ? First(FJack.SystemPorts(true)) : FOptions.in;
    const std::vector<std::string> destinations =
        FOptions.out.empty() ? FJack.SystemPorts(false) : FOptions.out;
    bool all = !sources.empty() && !destinations.empty();
    std::vector<std::string> missing;
    const auto link = [&](const std::string& from, const std::string& to) {
      if (!FJack.Connect(from, to)) {
        all = false;
        missing.push_back(from + " to " + to);
      }
    };
    for (size_t i = 0; i < std::max(sources.size(), FInputs.size()) && !sources.empty(); ++i)
      link(sources[i % sources.size()], FInputs[i % FInputs.size()]);
    for (size_t i = 0; i < std::max(destinations.size(), FOutputs.size()) && !destinations.empty();
         ++i) {
      if (FOptions.out.empty() && i >= FOutputs.size())
        break;
      link(FOutputs[i % FOutputs.size()], destinations[i % destinations.size()]);
    }
    if (all) {
      FDone = true;
    } else if (Clock::now() > FUntil) {
      FDone = true;
      if (sources.empty())
        err << "zintrax-host play: no capture port to connect the input from\n";
      if (destinations.empty())
        err << "zintrax-host play: no playback port to connect the outputs to\n";
      for (const std::string& m : missing)
        err << "zintrax-host play: could not connect " << m << '\n';
    }
  }

private:
  static std::vector<std::string> First(const std::vector<std::string>& ports) {
    return ports.empty() ? ports : std::vector<std::string>{ports.front()};
  }

  const PlayOptions& FOptions;
  JackClient& FJack;
  Clock::time_point FUntil;
  std::vector<std::string> FInputs, FOutputs;
  bool FDone = false;
};

std::string Decibels(float peak) {
  if (!(peak > 0.0f))
    return "  -inf";
  if (peak < 1e-6f)
    return "  <-120";
  char text[16];
  std::snprintf(text, sizeof text, "%6.1f", 20.0 * std::log10(double(peak)));
  return text;
}

std::string StatusLine(const PlayEngine::Levels& levels) {
  char load[16];
  std::snprintf(load, sizeof load, "%5.1f", double(levels.load) * 100.0);
  return "in " + Decibels(levels.inputPeak) + " dBFS   out " + Decibels(levels.outputPeak) +
         " dBFS   plug-in " + load + " % of a period   xruns " + std::to_string(levels.xruns);
}

// A new instance of the plug-in at this rate, with the settings of the one it replaces.
std::unique_ptr<Instance> Opened(const std::string& location, float rate, int32_t block,
                                 const PlayState& state) {
  auto plugin = LoadInstance(location);
  plugin->Open(rate, block);
  ApplyState(*plugin, state);
  plugin->Start();
  return plugin;
}

} // namespace

void RunPlay(const PlayOptions& options, std::ostream& out, std::ostream& err) {
  if (options.seed)
    setenv("ZINTRAX_SEED", std::to_string(*options.seed).c_str(), 1);
  JackClient jack(options.name);
  const float rate = jack.SampleRate();
  const int32_t block = jack.BufferSize();

  auto plugin = LoadInstance(options.plugin);
  const std::string identity = Identity(*plugin);
  const std::filesystem::path statePath =
      options.state.empty() ? DefaultStatePath(*plugin) : std::filesystem::path(options.state);
  bool keep = !options.fresh;
  std::optional<PlayState> saved;
  if (!options.fresh && !options.program && options.params.empty()) {
    try {
      saved = ReadState(statePath, identity);
    } catch (const HostError& e) {
      if (!options.state.empty())
        throw;
      err << "zintrax-host play: " << e.what() << "; starting from the plug-in's own settings\n";
      keep = false;
    }
  }
  plugin->Open(rate, block);
  if (saved)
    ApplyState(*plugin, *saved);
  else
    ApplySettings(*plugin, options.program, options.params);
  plugin->editorScale = options.scale;
  plugin->Start();

  PlayEngine engine(jack, options.mono);
  engine.Use(plugin.get(), block);
  std::unique_ptr<PlayRecorder> recorder;
  if (!options.record.empty()) {
    recorder = std::make_unique<PlayRecorder>(options.record, rate);
    engine.Record(recorder.get());
  }
  const auto finishRecording = [&] {
    if (!recorder)
      return;
    engine.Record(nullptr);
    recorder->Finish();
    err << "zintrax-host play: " << recorder->Written() << " frames written to " << options.record;
    if (recorder->Lost() > 0)
      err << "; " << recorder->Lost() << " frames were lost, the disk did not keep up";
    err << '\n';
    recorder.reset();
  };
  ServerNews news;
  std::atomic<float> openedRate{rate};
  jack.Activate({[&engine](jack_nframes_t frames) { return engine.Process(frames); },
                 [&news, &openedRate](jack_nframes_t r) {
                   if (float(r) != openedRate.load())
                     news.rateChanged = true;
                 },
                 nullptr, [&engine] { engine.CountXrun(); },
                 [&news](const std::string& reason) {
                   std::lock_guard<std::mutex> hold(news.lock);
                   news.reason = reason;
                   news.gone = true;
                 }});
  // Whatever ends this function, the audio thread lets go of the engine and the plug-in first.
  struct Deactivation {
    JackClient& jack;
    ~Deactivation() { jack.Deactivate(); }
  } deactivation{jack};
  engine.Fade(true, kFadeIn);
  const bool terminal = isatty(STDOUT_FILENO) != 0;
  err << "zintrax-host play: " << identity << " as the JACK client " << jack.Name() << " at "
      << rate << " Hz, " << block << " frames a period" << (saved ? ", with the last settings" : "")
      << '\n';

  std::unique_ptr<EditorWindow> editor;
  const auto openEditor = [&] {
    plugin->onParameterEdited = [&](int32_t index) {
      out << (terminal ? "\r\033[K" : "") << EditedLine(*plugin, index) << std::endl;
    };
    try {
      editor = std::make_unique<EditorWindow>(*plugin);
    } catch (const HostError& e) {
      err << "zintrax-host play: " << e.what() << ": playing without the editor\n";
    }
  };
  if (options.editor) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display)
      err << "zintrax-host play: no display (DISPLAY is not set): playing without the editor\n";
    else if (!plugin->HasEditor())
      err << "zintrax-host play: the plug-in has no editor\n";
    else
      openEditor();
  }

  Connector connector(options, jack, engine);
  const auto previousInt = std::signal(SIGINT, Stop);
  const auto previousTerm = std::signal(SIGTERM, Stop);
  auto nextStatus = Clock::now();
  auto nextConnect = Clock::now();
  while (!gStop && !news.gone) {
    if (editor && !editor->Idle())
      break;
    const auto now = Clock::now();
    if (now >= nextConnect) {
      connector.Try(err);
      nextConnect = now + std::chrono::milliseconds(250);
    }
    if (now >= nextStatus) {
      const std::string line = StatusLine(engine.TakeLevels());
      out << (terminal ? "\r\033[K" + line : line + "\n") << std::flush;
      nextStatus = now + (terminal ? std::chrono::milliseconds(200) : std::chrono::seconds(1));
    }
    if (recorder)
      recorder->Drain();
    if (news.rateChanged.exchange(false)) {
      finishRecording();
      const float newRate = jack.SampleRate();
      const PlayState state = CaptureState(*plugin);
      auto replacement = Opened(options.plugin, newRate, jack.BufferSize(), state);
      replacement->editorScale = options.scale;
      const bool hadEditor = editor != nullptr;
      editor.reset();
      engine.Use(replacement.get(), jack.BufferSize());
      plugin = std::move(replacement);
      openedRate = newRate;
      if (hadEditor)
        openEditor();
      err << (terminal ? "\r\033[K" : "") << "zintrax-host play: the server runs at " << newRate
          << " Hz now; the plug-in was set up again\n";
    }
    std::this_thread::sleep_for(kIdleEvery);
  }
  std::signal(SIGINT, previousInt);
  std::signal(SIGTERM, previousTerm);
  if (terminal)
    out << '\n';

  if (!news.gone) {
    engine.Fade(false, kFadeOut);
    const auto until = Clock::now() + std::chrono::duration<double>(kFadeOut * 2 + 0.5);
    while (!engine.FadedOut() && !news.gone && Clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    jack.Deactivate();
  }
  finishRecording();
  engine.Use(nullptr, 0);
  editor.reset();
  if (keep) {
    WriteState(statePath, CaptureState(*plugin));
    err << "zintrax-host play: the settings are kept in " << statePath.string() << '\n';
  }
  if (news.gone) {
    std::lock_guard<std::mutex> hold(news.lock);
    throw HostError("the JACK server went away" +
                    (news.reason.empty() ? std::string() : " (" + news.reason + ")"));
  }
}

} // namespace zhost
