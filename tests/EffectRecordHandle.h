// A plug-in instance held by its effect record, as a host holds it: requests go through the
// record's dispatcher, and the instance is closed with effClose when the handle goes away
// unless the test closed it itself.
#pragma once

#include "framework/DAEffect.h"

class EffectRecordHandle {
public:
  EffectRecordHandle(const EffectRecordHandle&) = delete;
  EffectRecordHandle& operator=(const EffectRecordHandle&) = delete;
  ~EffectRecordHandle() {
    if (FEffect)
      Close();
  }

  AEffect* Effect() const { return FEffect; }
  VstIntPtr Dispatch(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) const {
    return FEffect->dispatcher(FEffect, opcode, index, value, ptr, opt);
  }
  VstIntPtr Close() {
    const VstIntPtr answer = Dispatch(effClose);
    FEffect = nullptr;
    return answer;
  }

protected:
  explicit EffectRecordHandle(AEffect* effect = nullptr) : FEffect(effect) {}

  AEffect* FEffect;
};
