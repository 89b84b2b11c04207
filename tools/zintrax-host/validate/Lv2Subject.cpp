#include "Lv2Subject.h"

#include "EditorHost.h"
#include "Errors.h"
#include "HeldTime.h"

#include <lv2/atom/atom.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zhost::validate {

namespace {

// Room on an atom port when the plug-in asks for no more; nothing is sent, a plug-in may write.
constexpr uint32_t kAtomCapacity = 8192;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
constexpr float kNoRequest = std::numeric_limits<float>::quiet_NaN();

float Scaled(const Lv2Port& port, float value, float rate) {
  return port.sampleRate ? value * rate : value;
}

} // namespace

Lv2Target::Lv2Target(const std::string& location) : FPlugin(location) {
  FLibrary = std::make_unique<Lv2Library>(FPlugin.BinaryPath());
  FDescriptor = FLibrary->PluginDescriptor(FPlugin.Uri());
  if (!FDescriptor->instantiate || !FDescriptor->connect_port || !FDescriptor->run)
    throw HostError(FPlugin.Uri() + ": the descriptor lacks instantiate, connect_port or run");
  for (const Lv2Port& port : FPlugin.Ports()) {
    if (port.kind == Lv2Port::Kind::Audio || port.kind == Lv2Port::Kind::CV)
      (port.input ? FAudioInputs : FAudioOutputs).push_back(&port);
    else if (port.kind == Lv2Port::Kind::Control && port.input)
      FControls.push_back(&port);
    else if (port.kind == Lv2Port::Kind::Other && !port.optional)
      throw HostError(FPlugin.Uri() + ": port " + std::to_string(port.index) + " (" + port.symbol +
                      ") is of a kind the validator cannot connect");
  }
}

float DefaultControlValue(const Lv2Port& port, float rate) {
  return Scaled(port, port.def, rate);
}

float RandomControlValue(const Lv2Port& port, float rate, std::mt19937& random) {
  const float low = Scaled(port, std::min(port.min, port.max), rate);
  const float high = Scaled(port, std::max(port.min, port.max), rate);
  if (port.enumeration && !port.scalePoints.empty())
    return port.scalePoints[random() % port.scalePoints.size()];
  if (port.toggled)
    return random() % 2 ? high : low;
  if (port.integer && std::ceil(low) <= std::floor(high))
    return static_cast<float>(std::uniform_int_distribution<long>(
        static_cast<long>(std::ceil(low)), static_cast<long>(std::floor(high)))(random));
  return std::uniform_real_distribution<float>(low, high)(random);
}

Lv2Subject::Lv2Subject(Lv2Target& target, float rate, int32_t maxBlock)
    : FTarget(target), FRate(rate), FMaxBlock(maxBlock),
      FFeatures(target.Urids(), maxBlock, maxBlock, rate),
      FValues(target.Plugin().Ports().size(), 0.0f), FRequested(FValues.size()) {
  const LV2_Descriptor& d = target.Descriptor();
  FHandle = d.instantiate(&d, rate, target.Plugin().BundlePath().c_str(), FFeatures.List());
  if (!FHandle)
    throw HostError("instantiate answered no instance at " + std::to_string(rate) + " Hz");
  FChunk = target.Urids().Map(LV2_ATOM__Chunk);
  FSequence = target.Urids().Map(LV2_ATOM__Sequence);
  for (const Lv2Port& port : target.Plugin().Ports()) {
    FRequested[port.index].store(kNoRequest);
    if (port.kind == Lv2Port::Kind::Control) {
      FValues[port.index] = port.input ? DefaultControlValue(port, rate) : 0.0f;
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

Lv2Subject::~Lv2Subject() {
  Deactivate();
  if (FTarget.Descriptor().cleanup)
    FTarget.Descriptor().cleanup(FHandle);
}

void Lv2Subject::Activate() {
  if (FActive)
    return;
  if (FTarget.Descriptor().activate)
    FTarget.Descriptor().activate(FHandle);
  FActive = true;
}

void Lv2Subject::Deactivate() {
  if (!FActive)
    return;
  if (FTarget.Descriptor().deactivate)
    FTarget.Descriptor().deactivate(FHandle);
  FActive = false;
}

void Lv2Subject::Connect(AudioBlock& block) {
  const LV2_Descriptor& d = FTarget.Descriptor();
  for (int32_t c = 0; c < NumInputs(); ++c)
    d.connect_port(FHandle, FTarget.AudioInputs()[static_cast<size_t>(c)]->index, block.Input(c));
  for (int32_t c = 0; c < NumOutputs(); ++c)
    d.connect_port(FHandle, FTarget.AudioOutputs()[static_cast<size_t>(c)]->index, block.Output(c));
}

void Lv2Subject::RunConnected(int32_t frames) {
  ApplyRequests();
  for (AtomBuffer& buffer : FAtoms) {
    auto* atom = reinterpret_cast<LV2_Atom_Sequence*>(buffer.store.data());
    atom->atom.type = buffer.input ? FSequence : FChunk;
    atom->atom.size = buffer.input ? sizeof(LV2_Atom_Sequence_Body)
                                   : static_cast<uint32_t>(buffer.store.size() * 8) -
                                         static_cast<uint32_t>(sizeof(LV2_Atom));
  }
  FTarget.Descriptor().run(FHandle, static_cast<uint32_t>(std::max(frames, 0)));
}

void Lv2Subject::Run(AudioBlock& block, int32_t frames) {
  Connect(block);
  RunConnected(frames);
}

void Lv2Subject::SetControl(size_t control, float value) {
  FValues[FTarget.Controls()[control]->index] = value;
}

float Lv2Subject::Control(size_t control) const {
  return FValues[FTarget.Controls()[control]->index];
}

size_t Lv2Subject::SetRandomControl(std::mt19937& random) {
  const size_t control = random() % NumControls();
  SetControl(control, RandomControlValue(*FTarget.Controls()[control], FRate, random));
  return control;
}

void Lv2Subject::ApplyPreset(size_t preset) {
  const auto values = FTarget.Plugin().PresetValues(preset, FTarget.Urids());
  for (const auto& [symbol, value] : values)
    for (size_t c = 0; c < NumControls(); ++c)
      if (FTarget.Controls()[c]->symbol == symbol)
        SetControl(c, value);
}

void Lv2Subject::Request(uint32_t port, float value) {
  if (port < FRequested.size() && !std::isnan(value))
    FRequested[port].store(value, std::memory_order_relaxed);
}

void Lv2Subject::ApplyRequests() {
  for (const Lv2Port* port : FTarget.Controls()) {
    const float value = FRequested[port->index].exchange(kNoRequest, std::memory_order_relaxed);
    if (!std::isnan(value))
      FValues[port->index] = value;
  }
}

Lv2UiHost::Lv2UiHost(Lv2Subject& subject) : FSubject(subject) {
  XErrorsSeen();
  FWindow = std::make_unique<HostWindow>(kDefaultWidth, kDefaultHeight, "validate");
  FWindow->Show();
  Lv2Editor::Host host;
  host.write = [&subject](uint32_t port, float value) { subject.Request(port, value); };
  const HeldTime opening;
  FEditor = std::make_unique<Lv2Editor>(
      subject.Target().Plugin(), subject.Target().Urids(), FWindow->Display(),
      reinterpret_cast<uintptr_t>(FWindow->Handle()), subject.Rate(), subject.Handle(), host);
  FOpenSeconds = opening.Seconds();
  std::tie(FWidth, FHeight) = FEditor->Size();
  if (FWidth > 0 && FHeight > 0 && FWidth < 8192 && FHeight < 8192)
    FWindow->SetSize(FWidth, FHeight);
  // A host tells a new UI every control's value.
  for (size_t c = 0; c < subject.NumControls(); ++c)
    PortEvent(c, subject.Control(c));
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
    FEditor->PortEvent(FSubject.Target().Controls()[control]->index, value);
}

void Lv2UiHost::Close() {
  if (!FEditor)
    return;
  const HeldTime closing;
  FEditor.reset();
  FCloseSeconds = closing.Seconds();
}

void Lv2UiHost::Automate(Context& context, int count, int32_t& next) {
  const auto controls = static_cast<int32_t>(FSubject.NumControls());
  for (int32_t i = 0; i < std::min(controls, count); ++i, next = (next + 1) % controls) {
    const auto control = static_cast<size_t>(next);
    const float value = RandomControlValue(*FSubject.Target().Controls()[control], FSubject.Rate(),
                                           context.Random());
    FSubject.SetControl(control, value);
    PortEvent(control, value);
  }
}

void Lv2UiHost::DestroyParent() {
  FWindow->Destroy();
  FParentGone = true;
}

void RequireUi(Context& context, const Lv2Target& target) {
  if (!target.HasUi())
    context.Skip("the plug-in has no X11 UI");
}

} // namespace zhost::validate
