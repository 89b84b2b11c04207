// The audio side of the effect: one block with the parameter changes that come with it, each
// applied at its sample offset. The module gives the same samples however a block is split, so
// the block is processed in pieces between the offsets.
#include "formats/vst3/Effect.h"

#include "formats/common/ModuleAdapter.h"

#include <algorithm>
#include <cmath>

using namespace vst3;

namespace {

// The queues of one block that name a parameter of ours, each with its next point. Queues
// beyond the capacity (a host sends one per parameter) are left out.
struct TPendingChanges {
  struct TCursor {
    IParamValueQueue* Queue;
    ParamID Id;
    int32 Count;
    int32 Next;
    int32 Offset; // of the next point; never before the previous one
    ParamValue Value;
  };
  static constexpr int kCapacity = 16;
  TCursor Cursors[kCapacity];
  int Used = 0;

  // Loads the next point of c, its offset kept within from..frames; false at the end.
  static bool Load(TCursor& c, int32 from, int32 frames) {
    while (c.Next < c.Count) {
      int32 offset = 0;
      ParamValue value = 0.0;
      const tresult got = c.Queue->getPoint(c.Next++, &offset, &value);
      if (got != kResultOk || std::isnan(value))
        continue;
      c.Offset = std::clamp(offset, from, frames);
      c.Value = value;
      return true;
    }
    c.Count = 0; // spent
    return false;
  }
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
  ProcessWithChanges(*data, inputs, outputs);
  if (out) {
    out->silenceFlags = 0;
    for (int32 c = 0; c < 2; ++c)
      if (outputs[c] &&
          std::all_of(outputs[c], outputs[c] + data->numSamples, [](float s) { return s == 0.0f; }))
        out->silenceFlags |= uint64(1) << c;
  }
  return kResultOk;
}

void TEffect::ProcessWithChanges(ProcessData& data, const float* const* inputs,
                                 float* const* outputs) {
  const int32 frames = data.numSamples;
  TPendingChanges pending;
  if (IParameterChanges* changes = data.inputParameterChanges) {
    const int32 count = changes->getParameterCount();
    for (int32 i = 0; i < count && pending.Used < TPendingChanges::kCapacity; ++i) {
      IParamValueQueue* queue = changes->getParameterData(i);
      if (!queue)
        continue;
      const ParamID id = queue->getParameterId();
      if (ParameterIndex(id) < 0 && !IsProgramParameter(id))
        continue;
      TPendingChanges::TCursor& c = pending.Cursors[pending.Used];
      c = {queue, id, queue->getPointCount(), 0, 0, 0.0};
      if (TPendingChanges::Load(c, 0, frames))
        ++pending.Used;
    }
  }
  int32 done = 0;
  for (;;) {
    int32 at = frames;
    for (int i = 0; i < pending.Used; ++i)
      if (pending.Cursors[i].Count > 0)
        at = std::min(at, pending.Cursors[i].Offset);
    if (at > done) {
      const float* in[2] = {inputs[0] ? inputs[0] + done : nullptr,
                            inputs[1] ? inputs[1] + done : nullptr};
      float* out[2] = {outputs[0] ? outputs[0] + done : nullptr,
                       outputs[1] ? outputs[1] + done : nullptr};
      FModule->Process(in, out, at - done);
      done = at;
    }
    bool applied = false;
    for (int i = 0; i < pending.Used; ++i) {
      TPendingChanges::TCursor& c = pending.Cursors[i];
      while (c.Count > 0 && c.Offset == at) {
        ApplyChange(c.Id, c.Value);
        applied = true;
        TPendingChanges::Load(c, at, frames);
      }
    }
    if (!applied && done == frames)
      return;
  }
}

void TEffect::ApplyChange(ParamID id, double value) {
  value = std::clamp(value, 0.0, 1.0);
  if (IsProgramParameter(id)) {
    const int32_t program = NormalizedToProgram(value);
    if (program != FModule->CurrentProgram())
      FModule->SelectProgram(program);
    return;
  }
  const int32_t index = ParameterIndex(id);
  if (index >= 0)
    FModule->SetParameter(index, FModule->FromNormalizedPrecise(index, value));
}
