// The LV2 plug-in under test as the validator hosts it: its description and binary for the
// length of a test, instances whose every port but the audio ones is connected to buffers of
// their own, control values a host may send, and the plug-in's X11 UI in a window of the
// validator's own.
#pragma once

#include "AudioBlock.h"
#include "EditorSession.h"
#include "HostWindow.h"
#include "Lv2Editor.h"
#include "Lv2Plugin.h"
#include "Validation.h"

#include <atomic>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace zhost::validate {

// The plug-in's description, the host's URIDs and the plug-in's binary, loaded for as long as
// this lives (as a host keeps a library while any instance lives).
class Lv2Target {
public:
  // Throws HostError when the plug-in is not found or its binary does not load.
  explicit Lv2Target(const std::string& location);
  Lv2Target(const Lv2Target&) = delete;
  Lv2Target& operator=(const Lv2Target&) = delete;

  const Lv2Plugin& Plugin() const { return FPlugin; }
  UridMap& Urids() { return FUrids; }
  const LV2_Descriptor& Descriptor() const { return *FDescriptor; }
  // Unloads the binary; no instance may be left.
  void Unload() { FLibrary.reset(); }

  // Audio ports (CV ports with them) and control inputs, in port order.
  const std::vector<const Lv2Port*>& AudioInputs() const { return FAudioInputs; }
  const std::vector<const Lv2Port*>& AudioOutputs() const { return FAudioOutputs; }
  const std::vector<const Lv2Port*>& Controls() const { return FControls; }
  bool HasUi() const { return FPlugin.X11Ui().has_value(); }

private:
  Lv2Plugin FPlugin;
  UridMap FUrids;
  std::unique_ptr<Lv2Library> FLibrary;
  const LV2_Descriptor* FDescriptor = nullptr;
  std::vector<const Lv2Port*> FAudioInputs, FAudioOutputs, FControls;
};

// A value a host may give a control input at this sample rate: inside its range, whole for an
// integer or toggled port, one of its scale points for an enumeration.
float RandomControlValue(const Lv2Port& port, float rate, std::mt19937& random);
// The control's default at this sample rate.
float DefaultControlValue(const Lv2Port& port, float rate);

// One instance: made at a sample rate with a longest block, controls at their defaults, atom
// inputs empty and atom outputs with room to write; deactivated and cleaned up when destroyed.
class Lv2Subject {
public:
  // Throws HostError when the plug-in answers no instance.
  Lv2Subject(Lv2Target& target, float rate, int32_t maxBlock);
  ~Lv2Subject();
  Lv2Subject(const Lv2Subject&) = delete;
  Lv2Subject& operator=(const Lv2Subject&) = delete;

  Lv2Target& Target() const { return FTarget; }
  LV2_Handle Handle() const { return FHandle; }
  float Rate() const { return FRate; }
  int32_t MaxBlock() const { return FMaxBlock; }
  int32_t NumInputs() const { return static_cast<int32_t>(FTarget.AudioInputs().size()); }
  int32_t NumOutputs() const { return static_cast<int32_t>(FTarget.AudioOutputs().size()); }
  bool InPlaceAllowed() const { return !FTarget.Plugin().InPlaceBroken(); }

  void Activate();
  void Deactivate();
  bool Active() const { return FActive; }

  // Connects the audio ports to the block's buffers and runs; the run alone, for callers that
  // count or time it.
  void Run(AudioBlock& block, int32_t frames);
  void Connect(AudioBlock& block);
  void RunConnected(int32_t frames);

  // Control inputs, by their place in Target().Controls().
  size_t NumControls() const { return FTarget.Controls().size(); }
  void SetControl(size_t control, float value);
  float Control(size_t control) const;
  // Sets one control, drawn at random, to a random value; answers which.
  size_t SetRandomControl(std::mt19937& random);
  // Sets the controls that a preset names.
  void ApplyPreset(size_t preset);
  // A value for a control port from another thread (a UI's write passed on by the host),
  // applied before the next run.
  void Request(uint32_t port, float value);

private:
  void ApplyRequests();

  Lv2Target& FTarget;
  float FRate;
  int32_t FMaxBlock;
  Lv2InstanceFeatures FFeatures;
  LV2_Handle FHandle = nullptr;
  bool FActive = false;
  LV2_URID FChunk = 0, FSequence = 0;         // mapped once: mapping takes a lock
  std::vector<float> FValues;                 // one per port: the control ports' buffers
  std::vector<std::atomic<float>> FRequested; // per port, NaN for none
  struct AtomBuffer {
    uint32_t port;
    bool input;
    std::vector<uint64_t> store;
  };
  std::vector<AtomBuffer> FAtoms;
};

// The plug-in's X11 UI for an instance, in a new shown window of the validator, as a host embeds
// it; an X error only counts (XErrorsSeen). Control values the UI writes go to the instance.
class Lv2UiHost final : public EditorSession {
public:
  // Throws HostError when the UI cannot be made.
  explicit Lv2UiHost(Lv2Subject& subject);
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

private:
  Lv2Subject& FSubject;
  std::unique_ptr<HostWindow> FWindow;
  std::unique_ptr<Lv2Editor> FEditor;
  bool FParentGone = false;
  int FWidth = 0, FHeight = 0;
  double FOpenSeconds = 0.0, FCloseSeconds = 0.0;
};

// Skips the test when the plug-in has no X11 UI.
void RequireUi(Context& context, const Lv2Target& target);

} // namespace zhost::validate
