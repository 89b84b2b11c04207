#include "lv2/Lv2Subject.h"

#include "checks/HeldTime.h"
#include "checks/XErrors.h"

#include <algorithm>
#include <cmath>

namespace zhost::validate {

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

} // namespace

float RandomControlValue(const Lv2Port& port, float rate, std::mt19937& random) {
  const float low = AtRate(port, std::min(port.min, port.max), rate);
  const float high = AtRate(port, std::max(port.min, port.max), rate);
  if (port.enumeration && !port.scalePoints.empty())
    return port.scalePoints[random() % port.scalePoints.size()];
  if (port.toggled)
    return random() % 2 ? high : low;
  if (port.integer && std::ceil(low) <= std::floor(high))
    return static_cast<float>(std::uniform_int_distribution<long>(
        static_cast<long>(std::ceil(low)), static_cast<long>(std::floor(high)))(random));
  return std::uniform_real_distribution<float>(low, high)(random);
}

size_t SetRandomControl(Lv2Effect& effect, std::mt19937& random) {
  const size_t control = random() % effect.NumControls();
  effect.SetControl(
      control, RandomControlValue(*effect.Library().Controls()[control], effect.Rate(), random));
  return control;
}

void ApplyPreset(Lv2Effect& effect, size_t preset) {
  for (const auto& [control, value] : effect.PresetControls(preset))
    effect.SetControl(control, value);
}

Lv2UiHost::Lv2UiHost(Lv2Effect& effect) : FEffect(effect) {
  XErrorsSeen();
  FWindow = std::make_unique<HostWindow>(kDefaultWidth, kDefaultHeight, "validate");
  FWindow->Show();
  Lv2Editor::Host host;
  host.write = [&effect](uint32_t port, float value) { effect.Request(port, value); };
  const HeldTime opening;
  FEditor = std::make_unique<Lv2Editor>(
      effect.Library().Description(), effect.Library().Urids(), FWindow->Display(),
      reinterpret_cast<uintptr_t>(FWindow->Handle()), effect.Rate(), effect.Handle(), host);
  FOpenSeconds = opening.Seconds();
  std::tie(FWidth, FHeight) = FEditor->Size();
  if (FWidth > 0 && FHeight > 0 && FWidth < 8192 && FHeight < 8192)
    FWindow->SetSize(FWidth, FHeight);
  // A host tells a new UI every control's value.
  for (size_t c = 0; c < effect.NumControls(); ++c)
    PortEvent(c, effect.Control(c));
}

Lv2UiHost::~Lv2UiHost() {
  Close();
}

double Lv2UiHost::Idle() {
  if (!FParentGone)
    FWindow->Pump();
  const HeldTime idling;
  if (FEditor)
    FEditor->Idle();
  return idling.Seconds();
}

void Lv2UiHost::PortEvent(size_t control, float value) {
  if (FEditor)
    FEditor->PortEvent(FEffect.Library().Controls()[control]->index, value);
}

void Lv2UiHost::Close() {
  if (!FEditor)
    return;
  const HeldTime closing;
  FEditor.reset();
  FCloseSeconds = closing.Seconds();
}

void Lv2UiHost::Automate(Context& context, int count, int32_t& next) {
  const auto controls = static_cast<int32_t>(FEffect.NumControls());
  for (int32_t i = 0; i < std::min(controls, count); ++i, next = (next + 1) % controls) {
    const auto control = static_cast<size_t>(next);
    const float value = RandomControlValue(*FEffect.Library().Controls()[control], FEffect.Rate(),
                                           context.Random());
    FEffect.SetControl(control, value);
    PortEvent(control, value);
  }
}

void Lv2UiHost::DestroyParent() {
  FWindow->Destroy();
  FParentGone = true;
}

void RequireUi(Context& context, const Lv2Library& library) {
  if (!library.HasUi())
    context.Skip("the plug-in has no X11 UI");
}

} // namespace zhost::validate
