// The audio side of the effect: one block with the parameter changes that come with it, each
// applied at its sample offset (formats/common/TimedChanges.h).
#include "formats/vst3/Effect.h"

#include "formats/common/ModuleAdapter.h"
#include "formats/common/TimedChanges.h"

#include <algorithm>
#include <cmath>

using namespace vst3;

namespace {

// The queues of one block that name a parameter of ours, each with its next point. Queues
// beyond the capacity (a host sends one per parameter) are left out.
class TQueuedChanges final : public TTimedChanges {
public:
  using TApply = void (TEffect::*)(ParamID, double);

  TQueuedChanges(TEffect& effect, TApply apply, int32 frames)
      : FEffect(effect), FApply(apply), FFrames(frames) {}

  void Add(IParamValueQueue* queue, ParamID id) {
    if (FUsed == kCapacity)
      return;
    TCursor& c = FCursors[FUsed];
    c = {queue, id, queue->getPointCount(), 0, 0, 0.0};
    if (Load(c))
      ++FUsed;
  }

  int32_t NextOffset() override {
    int32_t next = kNone;
    for (int i = 0; i < FUsed; ++i)
      if (FCursors[i].Count > 0)
        next = std::min(next, FCursors[i].Offset);
    return next;
  }

  bool ApplyUntil(int32_t at) override {
    bool applied = false;
    for (int i = 0; i < FUsed; ++i) {
      TCursor& c = FCursors[i];
      while (c.Count > 0 && c.Offset <= at) {
        (FEffect.*FApply)(c.Id, c.Value);
        applied = true;
        Load(c);
      }
    }
    return applied;
  }

private:
  struct TCursor {
    IParamValueQueue* Queue;
    ParamID Id;
    int32 Count;
    int32 Next;
    int32 Offset; // of the next point, within the block
    ParamValue Value;
  };
  static constexpr int kCapacity = 16;

  // Loads the next point of c that holds a number; false at the end.
  bool Load(TCursor& c) const {
    while (c.Next < c.Count) {
      int32 offset = 0;
      ParamValue value = 0.0;
      const tresult got = c.Queue->getPoint(c.Next++, &offset, &value);
      if (got != kResultOk || std::isnan(value))
        continue;
      c.Offset = std::clamp(offset, 0, FFrames);
      c.Value = value;
      return true;
    }
    c.Count = 0; // spent
    return false;
  }

  TEffect& FEffect;
  TApply FApply;
  int32 FFrames;
  TCursor FCursors[kCapacity];
  int FUsed = 0;
};

} // namespace

tresult VST3_CALL TEffect::process(ProcessData* data) {
  if (!data || data->numSamples < 0 || data->symbolicSampleSize != kSample32)
    return kInvalidArgument;
  const float* inputs[2] = {nullptr, nullptr};
  float* outputs[2] = {nullptr, nullptr};
  if (data->numInputs > 0 && data->inputs && data->inputs[0].channelBuffers32)
    for (int32 c = 0; c < std::min(data->inputs[0].numChannels, 2); ++c)
      inputs[c] = data->inputs[0].channelBuffers32[c];
  AudioBusBuffers* out = data->numOutputs > 0 && data->outputs ? &data->outputs[0] : nullptr;
  if (out && out->channelBuffers32)
    for (int32 c = 0; c < std::min(out->numChannels, 2); ++c)
      outputs[c] = out->channelBuffers32[c];
  if (!FModule) {
    for (float* channel : outputs)
      if (channel)
        std::fill(channel, channel + data->numSamples, 0.0f);
    return kNotInitialized;
  }
  if (!FTurns.TryAudio()) {
    // The main thread is setting a state or a program: this block passes its input through.
    for (int c = 0; c < 2; ++c)
      if (outputs[c] && outputs[c] != inputs[c]) {
        if (inputs[c])
          std::copy(inputs[c], inputs[c] + data->numSamples, outputs[c]);
        else
          std::fill(outputs[c], outputs[c] + data->numSamples, 0.0f);
      }
    if (out)
      out->silenceFlags = 0;
    return kResultOk;
  }
  TQueuedChanges changes(*this, &TEffect::ApplyChange, data->numSamples);
  if (IParameterChanges* queues = data->inputParameterChanges) {
    const int32 count = queues->getParameterCount();
    for (int32 i = 0; i < count; ++i) {
      IParamValueQueue* queue = queues->getParameterData(i);
      if (queue && (ParameterIndex(queue->getParameterId()) >= 0 ||
                    IsProgramParameter(queue->getParameterId()) ||
                    IsBypassParameter(queue->getParameterId())))
        changes.Add(queue, queue->getParameterId());
    }
  }
  ProcessWithChanges(*FModule, inputs, outputs, data->numSamples, changes);
  FTurns.EndAudio();
  if (out) {
    out->silenceFlags = 0;
    for (int32 c = 0; c < 2; ++c)
      if (outputs[c] &&
          std::all_of(outputs[c], outputs[c] + data->numSamples, [](float s) { return s == 0.0f; }))
        out->silenceFlags |= uint64(1) << c;
  }
  return kResultOk;
}

void TEffect::ApplyChange(ParamID id, double value) {
  value = std::clamp(value, 0.0, 1.0);
  if (IsBypassParameter(id)) {
    FModule->SetBypassed(value >= 0.5);
    return;
  }
  if (IsProgramParameter(id)) {
    const int32_t program = NormalizedToProgram(value);
    if (program != FModule->CurrentProgram())
      FModule->SelectProgram(program);
    return;
  }
  const int32_t index = ParameterIndex(id);
  if (index >= 0)
    FModule->SetParameter(index, FModule->FromNormalized(index, value));
}
