#include "hosting/Lv2Library.h"

#include "hosting/Errors.h"

namespace zhost {

Lv2Library::Lv2Library(const std::string& location) : FDescription(location) {
  FBinary = std::make_unique<Lv2Binary>(FDescription.BinaryPath());
  FDescriptor = FBinary->PluginDescriptor(FDescription.Uri());
  if (!FDescriptor->instantiate || !FDescriptor->connect_port || !FDescriptor->run)
    throw HostError(FDescription.Uri() + ": the descriptor lacks instantiate, connect_port or run");
  for (const Lv2Port& port : FDescription.Ports()) {
    if (port.kind == Lv2Port::Kind::Audio || port.kind == Lv2Port::Kind::CV)
      (port.input ? FAudioInputs : FAudioOutputs).push_back(&port);
    else if (port.kind == Lv2Port::Kind::Control && port.input)
      FControls.push_back(&port);
    else if (port.kind == Lv2Port::Kind::Other && !port.optional)
      throw HostError(FDescription.Uri() + ": port " + std::to_string(port.index) + " (" +
                      port.symbol + ") is of a kind that cannot be connected here");
  }
}

float AtRate(const Lv2Port& port, float value, float rate) {
  return port.sampleRate ? value * rate : value;
}

} // namespace zhost
