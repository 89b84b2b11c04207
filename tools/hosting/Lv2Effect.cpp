#include "hosting/Lv2Effect.h"

#include "hosting/Errors.h"

#include <lv2/atom/atom.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zhost {

namespace {

// Room on an atom port when the plug-in asks for no more; nothing is sent, a plug-in may write.
constexpr uint32_t kAtomCapacity = 8192;
constexpr float kNoRequest = std::numeric_limits<float>::quiet_NaN();

} // namespace

Lv2Effect::Lv2Effect(Lv2Library& library, float rate, int32_t maxBlock)
    : FLibrary(library), FRate(rate), FMaxBlock(maxBlock),
      FFeatures(library.Urids(), maxBlock, maxBlock, rate),
      FValues(library.Description().Ports().size(), 0.0f), FRequested(FValues.size()) {
  const LV2_Descriptor& d = library.Descriptor();
  FHandle = d.instantiate(&d, rate, library.Description().BundlePath().c_str(), FFeatures.List());
  if (!FHandle)
    throw HostError("instantiate answered no instance at " + std::to_string(rate) + " Hz");
  FChunk = library.Urids().Map(LV2_ATOM__Chunk);
  FSequence = library.Urids().Map(LV2_ATOM__Sequence);
  for (const Lv2Port& port : library.Description().Ports()) {
    FRequested[port.index].store(kNoRequest);
    if (port.kind == Lv2Port::Kind::Control) {
      FValues[port.index] = port.input ? AtRate(port, port.def, rate) : 0.0f;
      d.connect_port(FHandle, port.index, &FValues[port.index]);
    } else if (port.kind == Lv2Port::Kind::Atom) {
      const uint32_t bytes = std::max(kAtomCapacity, port.minimumSize);
      FAtoms.push_back({port.index, port.input, std::vector<uint64_t>((bytes + 7) / 8, 0)});
      auto* atom = reinterpret_cast<LV2_Atom_Sequence*>(FAtoms.back().store.data());
      atom->atom.type = FSequence;
      atom->atom.size = sizeof(LV2_Atom_Sequence_Body);
      d.connect_port(FHandle, port.index, atom);
    } else if (port.kind == Lv2Port::Kind::Other) {
      d.connect_port(FHandle, port.index, nullptr);
    }
  }
}

Lv2Effect::~Lv2Effect() {
  Deactivate();
  if (FLibrary.Descriptor().cleanup)
    FLibrary.Descriptor().cleanup(FHandle);
}

void Lv2Effect::Activate() {
  if (FActive)
    return;
  if (FLibrary.Descriptor().activate)
    FLibrary.Descriptor().activate(FHandle);
  FActive = true;
}

void Lv2Effect::Deactivate() {
  if (!FActive)
    return;
  if (FLibrary.Descriptor().deactivate)
    FLibrary.Descriptor().deactivate(FHandle);
  FActive = false;
}

void Lv2Effect::Connect(float* const* inputs, float* const* outputs) {
  const LV2_Descriptor& d = FLibrary.Descriptor();
  for (int32_t c = 0; c < NumInputs(); ++c)
    d.connect_port(FHandle, FLibrary.AudioInputs()[static_cast<size_t>(c)]->index, inputs[c]);
  for (int32_t c = 0; c < NumOutputs(); ++c)
    d.connect_port(FHandle, FLibrary.AudioOutputs()[static_cast<size_t>(c)]->index, outputs[c]);
}

void Lv2Effect::RunConnected(int32_t frames) {
  ApplyRequests();
  for (AtomBuffer& buffer : FAtoms) {
    auto* atom = reinterpret_cast<LV2_Atom_Sequence*>(buffer.store.data());
    atom->atom.type = buffer.input ? FSequence : FChunk;
    atom->atom.size = buffer.input ? sizeof(LV2_Atom_Sequence_Body)
                                   : static_cast<uint32_t>(buffer.store.size() * 8) -
                                         static_cast<uint32_t>(sizeof(LV2_Atom));
  }
  FLibrary.Descriptor().run(FHandle, static_cast<uint32_t>(std::max(frames, 0)));
}

void Lv2Effect::Run(float* const* inputs, float* const* outputs, int32_t frames) {
  Connect(inputs, outputs);
  RunConnected(frames);
}

void Lv2Effect::SetControl(size_t control, float value) {
  FValues[FLibrary.Controls()[control]->index] = value;
}

float Lv2Effect::Control(size_t control) const {
  return FValues[FLibrary.Controls()[control]->index];
}

std::vector<std::pair<size_t, float>> Lv2Effect::PresetControls(size_t preset) {
  std::vector<std::pair<size_t, float>> controls;
  for (const auto& [symbol, value] : FLibrary.Description().PresetValues(preset, FLibrary.Urids()))
    for (size_t c = 0; c < NumControls(); ++c)
      if (FLibrary.Controls()[c]->symbol == symbol)
        controls.emplace_back(c, value);
  return controls;
}

void Lv2Effect::Request(uint32_t port, float value) {
  if (port < FRequested.size() && !std::isnan(value))
    FRequested[port].store(value, std::memory_order_relaxed);
}

void Lv2Effect::ApplyRequests() {
  for (const Lv2Port* port : FLibrary.Controls()) {
    const float value = FRequested[port->index].exchange(kNoRequest, std::memory_order_relaxed);
    if (!std::isnan(value))
      FValues[port->index] = value;
  }
}

} // namespace zhost
