// One instance of an LV2 plug-in, as zintrax-host and the validator host it: made at a sample
// rate with a longest block, every port but the audio ones connected to buffers of its own
// (controls at their defaults, control outputs written by the plug-in, atom inputs empty and atom
// outputs with room to write, at least what the port asks for), audio connected before each run;
// deactivated and cleaned up when destroyed.
#pragma once

#include "hosting/Lv2Library.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace zhost {

class Lv2Effect {
public:
  // Throws HostError when the plug-in answers no instance.
  Lv2Effect(Lv2Library& library, float rate, int32_t maxBlock);
  ~Lv2Effect();
  Lv2Effect(const Lv2Effect&) = delete;
  Lv2Effect& operator=(const Lv2Effect&) = delete;

  Lv2Library& Library() const { return FLibrary; }
  LV2_Handle Handle() const { return FHandle; }
  float Rate() const { return FRate; }
  int32_t MaxBlock() const { return FMaxBlock; }
  int32_t NumInputs() const { return static_cast<int32_t>(FLibrary.AudioInputs().size()); }
  int32_t NumOutputs() const { return static_cast<int32_t>(FLibrary.AudioOutputs().size()); }
  bool InPlaceAllowed() const { return !FLibrary.Description().InPlaceBroken(); }

  void Activate();
  void Deactivate();
  bool Active() const { return FActive; }

  // Connects the audio ports to these buffers (one per input and output) and runs; the run
  // alone, for callers that count or time it.
  void Run(float* const* inputs, float* const* outputs, int32_t frames);
  void Connect(float* const* inputs, float* const* outputs);
  void RunConnected(int32_t frames);

  // Control inputs, by their place in Library().Controls(); values at this instance's rate.
  size_t NumControls() const { return FLibrary.Controls().size(); }
  void SetControl(size_t control, float value);
  float Control(size_t control) const;
  // The values a preset gives control inputs, by their place; throws HostError when the preset
  // cannot be read.
  std::vector<std::pair<size_t, float>> PresetControls(size_t preset);
  // A value for a control port from another thread (a UI's write passed on by the host),
  // applied before the next run.
  void Request(uint32_t port, float value);

private:
  void ApplyRequests();

  Lv2Library& FLibrary;
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

} // namespace zhost
