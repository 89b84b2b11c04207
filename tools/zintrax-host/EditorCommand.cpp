#include "EditorCommand.h"

#include "Errors.h"
#include "HostCallback.h"
#include "HostWindow.h"
#include "Plugin.h"
#include "Settings.h"
#include "Xvfb.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <thread>

namespace zhost {

namespace {

constexpr int kDefaultWidth = 400;
constexpr int kDefaultHeight = 300;

std::atomic<bool> gInterrupted{false};

void Interrupt(int) {
  gInterrupted = true;
}

void Apply(const EditorSettings& settings, const Plugin& plugin) {
  if (settings.program)
    SelectProgram(plugin, *settings.program);
  for (const auto& [name, value] : settings.params)
    SetParameterText(plugin, FindParameter(plugin, name), value);
}

// The editor's size as the plug-in reports it (0 x 0 when it does not).
std::pair<int, int> EditorSize(const Plugin& plugin) {
  ERect* rect = nullptr;
  plugin.Dispatch(effEditGetRect, 0, 0, &rect);
  if (!rect)
    return {0, 0};
  return {std::max(rect->right - rect->left, 0), std::max(rect->bottom - rect->top, 0)};
}

std::string Title(const Plugin& plugin) {
  const std::string name = plugin.Text(effGetEffectName);
  return name.empty() ? plugin.Path() : name;
}

// One plug-in instance with its editor open in a host window; the editor is closed (and the
// window destroyed) when it goes.
class OpenEditor {
public:
  explicit OpenEditor(const EditorSettings& settings)
      : FPlugin(settings.plugin), FWindow(kDefaultWidth, kDefaultHeight, Title(FPlugin)) {
    if (!(FPlugin.Effect().flags & effFlagsHasEditor))
      throw HostError(settings.plugin + " has no editor");
    FPlugin.Open();
    Apply(settings, FPlugin);
    const auto [width, height] = EditorSize(FPlugin);
    if (width > 0 && height > 0)
      FWindow.SetSize(width, height);
    FWindow.Show();
    if (FPlugin.Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(FWindow.Display()),
                         FWindow.Handle()) == 0)
      throw HostError(settings.plugin + " did not open its editor");
    FOpen = true;
    const auto size = EditorSize(FPlugin);
    FWidth = size.first > 0 ? size.first : kDefaultWidth;
    FHeight = size.second > 0 ? size.second : kDefaultHeight;
    FWindow.SetSize(FWidth, FHeight);
  }
  ~OpenEditor() {
    if (FOpen)
      FPlugin.Dispatch(effEditClose);
  }

  // One idle round as a host makes it: the host window's events, then the plug-in's idle.
  bool Idle() {
    const bool open = FWindow.Pump();
    FPlugin.Dispatch(effEditIdle);
    return open;
  }

  const Plugin& Instance() const { return FPlugin; }
  HostWindow& Window() { return FWindow; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

private:
  Plugin FPlugin;
  HostWindow FWindow;
  bool FOpen = false;
  int FWidth = 0;
  int FHeight = 0;
};

// "401.89" for a display text that is a number, the text itself otherwise.
std::string Rounded(const std::string& display) {
  char* end = nullptr;
  const double value = std::strtod(display.c_str(), &end);
  if (display.empty() || *end != '\0' || !std::isfinite(value))
    return display;
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// The text a text opcode writes for a parameter, read from a zeroed buffer far larger than
// any bound (the instance is mid-call in its own notice, so the handle's helpers are not used).
std::string ParameterText(AEffect* effect, int32_t opcode, int32_t index) {
  char text[512] = {};
  effect->dispatcher(effect, opcode, index, 0, text, 0.0f);
  text[sizeof text - 1] = '\0';
  return Trim(text);
}

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
  log << "editor of " << Title(editor.Instance()) << ", " << editor.Width() << " x "
      << editor.Height() << ", written to " << options.out << '\n';
}

void RunEdit(const EditOptions& options, std::ostream& out) {
  Host().onAutomate = [&out](AEffect* effect, int32_t index, float) {
    const std::string label = ParameterText(effect, effGetParamLabel, index);
    out << ParameterText(effect, effGetParamName, index) << " = "
        << Rounded(ParameterText(effect, effGetParamDisplay, index))
        << (label.empty() ? "" : " " + label) << std::endl;
  };
  OpenEditor editor(options);
  const auto previous = std::signal(SIGINT, Interrupt);
  while (!gInterrupted && editor.Idle())
    std::this_thread::sleep_for(std::chrono::milliseconds(33));
  std::signal(SIGINT, previous);
  Host().onAutomate = nullptr;

  const Plugin& p = editor.Instance();
  std::string line = "render";
  for (int32_t i = 0; i < p.NumParams(); ++i) {
    const std::string setting = Trim(p.ParameterName(i)) + "=" + Trim(p.ParameterDisplay(i));
    line += setting.find_first_of(" \"'") == std::string::npos ? " --param " + setting
                                                               : " --param '" + setting + "'";
  }
  out << "to render with these settings: zintrax-host " << line << " --out OUT.wav" << std::endl;
}

} // namespace zhost
