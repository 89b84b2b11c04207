#include "EditorCommand.h"

#include "EditorWindow.h"
#include "Instance.h"
#include "Picture.h"
#include "Selection.h"

#include "hosting/Errors.h"
#include "hosting/HostWindow.h"
#include "hosting/NumberText.h"
#include "hosting/Xvfb.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

namespace zhost {

namespace {

std::atomic<bool> gInterrupted{false};

void Interrupt(int) {
  gInterrupted = true;
}

// One plug-in instance, opened with the settings, with its editor open in a window.
class OpenEditor {
public:
  explicit OpenEditor(const EditorSettings& settings,
                      std::function<void(Instance&, int32_t)> onEdited = nullptr)
      : FPlugin(Opened(settings)) {
    if (onEdited)
      FPlugin->onParameterEdited = [this, onEdited](int32_t index) { onEdited(*FPlugin, index); };
    FEditor = std::make_unique<EditorWindow>(*FPlugin);
  }

  bool Idle() { return FEditor->Idle(); }
  const Instance& Plugin() const { return *FPlugin; }
  HostWindow& Window() { return FEditor->Window(); }
  int Width() const { return FEditor->Width(); }
  int Height() const { return FEditor->Height(); }

private:
  static std::unique_ptr<Instance> Opened(const EditorSettings& settings) {
    auto plugin = LoadInstance(settings.plugin);
    if (!plugin->HasEditor())
      throw HostError(settings.plugin + " has no editor");
    plugin->Open(44100.0f, 1024);
    plugin->editorScale = settings.scale;
    ApplySettings(*plugin, settings.program, settings.params);
    return plugin;
  }

  std::unique_ptr<Instance> FPlugin;
  std::unique_ptr<EditorWindow> FEditor; // closed before the plug-in goes
};

} // namespace

void RunSnapshot(const SnapshotOptions& options, std::ostream& log) {
  Xvfb xvfb;
  OpenEditor editor(options);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.idleMs);
  do {
    editor.Idle();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < until);
  editor.Idle();
  WritePicture(options.out, editor.Width(), editor.Height(),
               editor.Window().Capture(editor.Width(), editor.Height()));
  log << "editor of " << Title(editor.Plugin()) << ", " << editor.Width() << " x "
      << editor.Height() << ", written to " << options.out << '\n';
}

void RunEdit(const EditOptions& options, std::ostream& out) {
  OpenEditor editor(options, [&out](Instance& plugin, int32_t index) {
    out << EditedLine(plugin, index) << std::endl;
  });
  const auto previous = std::signal(SIGINT, Interrupt);
  while (!gInterrupted && editor.Idle())
    std::this_thread::sleep_for(std::chrono::milliseconds(33));
  std::signal(SIGINT, previous);

  const Instance& p = editor.Plugin();
  std::string line = "render";
  for (int32_t i = 0; i < p.NumParams(); ++i) {
    const std::string setting = Trim(p.ParameterName(i)) + "=" + Trim(p.ParameterDisplay(i));
    line += setting.find_first_of(" \"'") == std::string::npos ? " --param " + setting
                                                               : " --param '" + setting + "'";
  }
  out << "to render with these settings: zintrax-host " << line << " --out OUT.wav" << std::endl;
}

} // namespace zhost
