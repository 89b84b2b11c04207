// The plug-in's module class: the feedback effect on top of the module framework.
#pragma once

#include "effect/FeedbackPath.h"
#include "framework/DVSTModule.h"

#include <cstdint>
#include <memory>

class TZintraxModule : public TVST2Module {
public:
  // The module description: identity, programs, parameters and event bindings, applied in
  // this order through the property setters.
  void ReadStoredProperties() override;
  // The first factory program's value.
  float DefaultParameterValue(int32_t index) const override;

  uint16_t FImpulseLength = 0;

private:
  void VST2ModuleCreate(TObject* Sender);
  void V2M_Initialize(TObject* Sender);
  void VST2ModuleOpen(TObject* Sender);
  void VST2ModuleClose(TObject* Sender);
  void V2M_EditOpen(TObject* Sender, std::unique_ptr<TCustomEditorForm>& GUI);
  void V2M_ParameterChange(TObject* Sender, int32_t Index, float Value);
  void V2M_Process(const float* const* inputs, float* const* outputs, int32_t sampleFrames);

  // The effect's state, buffers and signal path.
  TFeedbackPath FFeedbackPath{PreferredKernel(CPU())};
};
