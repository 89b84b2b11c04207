// One instance of a VST3 plug-in's effect class, reached only through its interfaces, set up as
// a host sets one up: the component initialised with this host's context; its controller, which
// is either the component itself or made from the class the component names and then given the
// component's state; the host's component handler. Destroying it deactivates and terminates
// what it set up.
#pragma once

#include "hosting/Vst3HostObjects.h"
#include "hosting/Vst3Library.h"

#include <cstdint>
#include <vector>

namespace zhost {

class Vst3Effect {
public:
  // Throws HostError when the instance cannot be made or refuses to initialise. Making it,
  // initialising it, setting up its controller and reading its buses are steps.
  explicit Vst3Effect(const Vst3Library& library, const vst3::Uid& cid, const Vst3Step& step = {});
  ~Vst3Effect();
  Vst3Effect(const Vst3Effect&) = delete;
  Vst3Effect& operator=(const Vst3Effect&) = delete;

  // setupProcessing with 32-bit samples, then setActive and setProcessing, each a step.
  void Start(double sampleRate, int32_t maxBlock, const Vst3Step& step = {});
  // setProcessing(false), then setActive(false), each a step; as the destructor does.
  void Stop(const Vst3Step& step = {});
  bool Active() const { return FActive; }
  // One block through the main buses; changes may be null.
  vst3::tresult Process(const float* const* inputs, float* const* outputs, int32_t frames,
                        vst3::IParameterChanges* changes = nullptr);

  std::vector<uint8_t> ComponentState() const;
  // The bytes given to the component, then to the controller when it is a class of its own.
  vst3::tresult SetComponentState(const std::vector<uint8_t>& bytes);

  vst3::TRef<Vst3HostApplication> context;
  vst3::TRef<Vst3ComponentHandler> handler;
  vst3::TRef<vst3::IComponent> component;
  vst3::TRef<vst3::IAudioProcessor> processor;
  vst3::TRef<vst3::IEditController> controller;
  bool separateController = false;
  int32_t inputChannels = 0; // of the first audio bus each way
  int32_t outputChannels = 0;

private:
  // The controller of a plug-in whose component is not its own controller: made from the class
  // the component names, initialised and given the component's state.
  void MakeController(const Vst3Library& library);

  bool FActive = false;
};

} // namespace zhost
