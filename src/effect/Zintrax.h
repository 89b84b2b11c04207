// The plug-in's module class: the feedback effect on top of the module framework.
#pragma once

#include "framework/DVSTModule.h"

#include <cstdint>

class TZintraxModule : public TVST2Module {
public:
  // The module description: identity, programs, parameters and event bindings, applied in
  // this order through the property setters.
  void ReadStoredProperties() override;

  uint16_t FImpulseLength = 0;

private:
  void VST2ModuleCreate(TObject* Sender);
  void V2M_Initialize(TObject* Sender);
};
