// The LV2 plug-in under test as the validator drives it, beyond what every host does with an
// instance (hosting/Lv2Effect.h): control values a host may send, presets applied, and the
// plug-in's X11 UI in a window of the validator's own.
#pragma once

#include "checks/AudioBlock.h"
#include "checks/CallWalk.h"
#include "checks/EditorSession.h"
#include "core/Validation.h"
#include "hosting/HostWindow.h"
#include "hosting/Lv2Editor.h"
#include "hosting/Lv2Effect.h"

#include <memory>
#include <random>

namespace zhost::validate {

// A value a host may give a control input at this sample rate: inside its range, whole for an
// integer or toggled port, one of its scale points for an enumeration.
float RandomControlValue(const Lv2Port& port, float rate, std::mt19937& random);
// Sets one control, drawn at random, to a random value; answers which.
size_t SetRandomControl(Lv2Effect& effect, std::mt19937& random);
// Sets the controls that a preset names.
void ApplyPreset(Lv2Effect& effect, size_t preset);

// The plug-in's X11 UI for an instance, in a new shown window of the validator, as a host embeds
// it; an X error only counts (XErrorsSeen). Control values the UI writes go to the instance.
class Lv2UiHost final : public EditorSession {
public:
  // Throws HostError when the UI cannot be made.
  explicit Lv2UiHost(Lv2Effect& effect);
  ~Lv2UiHost() override;
  Lv2UiHost(const Lv2UiHost&) = delete;
  Lv2UiHost& operator=(const Lv2UiHost&) = delete;

  // Tells the UI a control's value, as a host does after a change.
  void PortEvent(size_t control, float value);
  // The size the UI asked for, else its window's.
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }

  double Idle() override;
  void Close() override;
  void DestroyParent() override;
  // Sets the controls and tells the UI, as a host does after its automation changed them.
  void Automate(Context& context, int count, int32_t& next) override;
  double OpenSeconds() const override { return FOpenSeconds; }
  double CloseSeconds() const override { return FCloseSeconds; }
  unsigned long ParentWindow() const override {
    return reinterpret_cast<uintptr_t>(FWindow->Handle());
  }

private:
  Lv2Effect& FEffect;
  std::unique_ptr<HostWindow> FWindow;
  std::unique_ptr<Lv2Editor> FEditor;
  bool FParentGone = false;
  int FWidth = 0, FHeight = 0;
  double FOpenSeconds = 0.0, FCloseSeconds = 0.0;
};

// Skips the test when the plug-in has no X11 UI.
void RequireUi(Context& context, const Lv2Library& library);

void WalkEveryKindOfLv2Call(Context& context, const CheckedCall& checked);

} // namespace zhost::validate
