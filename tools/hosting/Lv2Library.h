// An LV2 plug-in loaded as a host loads it before its first instance: its description, the
// host's URIDs and the plug-in's binary with its descriptor, kept for as long as this lives (as a
// host keeps a library while any instance lives), and its ports sorted by what a host connects
// them to.
#pragma once

#include "hosting/Lv2Binary.h"
#include "hosting/Lv2Description.h"

#include <memory>
#include <string>
#include <vector>

namespace zhost {

class Lv2Library {
public:
  // Throws HostError when the plug-in is not found, its binary does not load, its descriptor
  // lacks what every host calls, or a port is of a kind no host here can connect.
  explicit Lv2Library(const std::string& location);
  Lv2Library(const Lv2Library&) = delete;
  Lv2Library& operator=(const Lv2Library&) = delete;

  const Lv2Description& Description() const { return FDescription; }
  UridMap& Urids() { return FUrids; }
  const LV2_Descriptor& Descriptor() const { return *FDescriptor; }
  // Unloads the binary; no instance may be left.
  void Unload() { FBinary.reset(); }

  // Audio ports (CV ports with them, as signals of the same shape) and control inputs, in port
  // order.
  const std::vector<const Lv2Port*>& AudioInputs() const { return FAudioInputs; }
  const std::vector<const Lv2Port*>& AudioOutputs() const { return FAudioOutputs; }
  const std::vector<const Lv2Port*>& Controls() const { return FControls; }
  bool HasUi() const { return FDescription.X11Ui().has_value(); }

private:
  Lv2Description FDescription;
  UridMap FUrids;
  std::unique_ptr<Lv2Binary> FBinary;
  const LV2_Descriptor* FDescriptor = nullptr;
  std::vector<const Lv2Port*> FAudioInputs, FAudioOutputs, FControls;
};

// A control port's value at this sample rate: its range and default are written as fractions of
// the rate for an lv2:sampleRate port.
float AtRate(const Lv2Port& port, float value, float rate);

} // namespace zhost
