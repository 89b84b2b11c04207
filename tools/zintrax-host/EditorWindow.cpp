#include "EditorWindow.h"

#include "hosting/Errors.h"

namespace zhost {

namespace {

constexpr int kDefaultWidth = 400;
constexpr int kDefaultHeight = 300;

} // namespace

std::string Title(const Instance& plugin) {
  const std::string name = plugin.Name();
  return name.empty() ? plugin.Location() : name;
}

EditorWindow::EditorWindow(Instance& plugin)
    : FPlugin(plugin), FWindow(kDefaultWidth, kDefaultHeight, Title(plugin)) {
  if (!FPlugin.HasEditor())
    throw HostError(FPlugin.Location() + " has no editor");
  const auto [width, height] = FPlugin.EditorSize();
  if (width > 0 && height > 0)
    FWindow.SetSize(width, height);
  FWindow.Show();
  if (!FPlugin.OpenEditor(FWindow.Display(), reinterpret_cast<unsigned long>(FWindow.Handle())))
    throw HostError(FPlugin.Location() + " did not open its editor");
  const auto size = FPlugin.EditorSize();
  FWidth = size.first > 0 ? size.first : kDefaultWidth;
  FHeight = size.second > 0 ? size.second : kDefaultHeight;
  FWindow.SetSize(FWidth, FHeight);
}

EditorWindow::~EditorWindow() {
  FPlugin.CloseEditor();
}

bool EditorWindow::Idle() {
  const bool open = FWindow.Pump();
  FPlugin.IdleEditor();
  return open;
}

} // namespace zhost
