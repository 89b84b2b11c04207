#include "EditorCommand.h"

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

constexpr int kDefaultWidth = 400;
constexpr int kDefaultHeight = 300;

std::atomic<bool> gInterrupted{false};

void Interrupt(int) {
  gInterrupted = true;
}

void Apply(const EditorSettings& settings, Instance& plugin) {
  if (settings.program)
    SelectProgram(plugin, *settings.program);
  for (const auto& [name, value] : settings.params)
    SetParameterText(plugin, FindParameter(plugin, name), value);
}

std::string Title(const Instance& plugin) {
  const std::string name = plugin.Name();
  return name.empty() ? plugin.Location() : name;
}

// One plug-in instance with its editor open in a host window; the editor is closed (and the
// window destroyed) when it goes.
class OpenEditor {
public:
  explicit OpenEditor(const EditorSettings& settings,
                      std::function<void(Instance&, int32_t)> onEdited = nullptr)
      : FPlugin(LoadInstance(settings.plugin)),
        FWindow(kDefaultWidth, kDefaultHeight, Title(*FPlugin)) {
    if (!FPlugin->HasEditor())
      throw HostError(settings.plugin + " has no editor");
    if (onEdited)
      FPlugin->onParameterEdited = [this, onEdited](int32_t index) { onEdited(*FPlugin, index); };
    FPlugin->Open(44100.0f, 1024);
    FPlugin->editorScale = settings.scale;
    Apply(settings, *FPlugin);
    const auto [width, height] = FPlugin->EditorSize();
    if (width > 0 && height > 0)
      FWindow.SetSize(width, height);
    FWindow.Show();
    if (!FPlugin->OpenEditor(FWindow.Display(), reinterpret_cast<unsigned long>(FWindow.Handle())))
      throw HostError(settings.plugin + " did not open its editor");
    const auto size = FPlugin->EditorSize();
    FWidth = size.first > 0 ? size.first : kDefaultWidth;
    FHeight = size.second > 0 ? size.second : kDefaultHeight;
    FWindow.SetSize(FWidth, FHeight);
  }
  ~OpenEditor() { FPlugin->CloseEditor(); }

  // One idle round as a host makes it: the host window's events, then the plug-in's idle.
  bool Idle() {
    const bool open = FWindow.Pump();
    FPlugin->IdleEditor();
    return open;
  }

  const Instance& Plugin() const { return *FPlugin; }
  HostWindow& Window() { return FWindow; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

private:
  std::unique_ptr<Instance> FPlugin;
  HostWindow FWindow;
  int FWidth = 0;
  int FHeight = 0;
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
    out << Trim(plugin.ParameterName(index)) << " = " << RoundedDisplay(plugin, index) << std::endl;
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
