// The audio paths of the module: the accumulating and the replacing callback, the processing
// modes with block re-buffering, and the settings they depend on.
#include "framework/DVST1Buffers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// The accumulating path's scratch holds at least this many and at most kMaxScratchFrames
// frames per channel; longer host calls are processed in pieces.
constexpr int32_t kMinScratchFrames = 256;
constexpr int32_t kMaxScratchFrames = 16384;
} // namespace

void TCustomVST1Module::UpdateScratch() {
  auto scratch = std::make_unique<TAudioScratch>();
  scratch->frames = std::clamp(FBlockSize, kMinScratchFrames, kMaxScratchFrames);
  scratch->channels.assign(static_cast<std::size_t>(numOutputs()),
                           TSingleArray(static_cast<std::size_t>(scratch->frames)));
  for (TSingleArray& channel : scratch->channels)
    scratch->outputs.push_back(channel.data());
  scratch->inputs.assign(static_cast<std::size_t>(numInputs()), nullptr);
  FScratch = std::move(scratch);
}

void TCustomVST1Module::UpdateBlockBuffers() {
  if (FProcessingMode != pmBlockSave) {
    FBlock.reset();
    return;
  }
  if (!FBlock)
    FBlock = std::make_unique<TBlockBuffers>();
  const auto size = static_cast<std::size_t>(FBlockModeSize);
  FBlock->in.resize(static_cast<std::size_t>(numInputs()));
  FBlock->out.resize(static_cast<std::size_t>(numOutputs()));
  FBlock->inPointers.clear();
  FBlock->outPointers.clear();
  for (TSingleArray& channel : FBlock->in) {
    channel.resize(size, 0.0f);
    FBlock->inPointers.push_back(channel.data());
  }
  for (TSingleArray& channel : FBlock->out) {
    channel.resize(size, 0.0f);
    FBlock->outPointers.push_back(channel.data());
  }
  FBlockPosition = FBlockModeOverlap;
  if (FEffect.initialDelay < FBlockModeSize - FBlockModeOverlap)
    SetInitialDelay(FRequestedInitialDelay);
}

void TCustomVST1Module::SetNumInputs(int32_t count) {
  if (count < 0)
    return;
  FEffect.numInputs = count;
  UpdateScratch();
  UpdateBlockBuffers();
  CallAudioMaster(audioMasterIOChanged);
}

void TCustomVST1Module::SetNumOutputs(int32_t count) {
  if (count < 0)
    return;
  FEffect.numOutputs = count;
  UpdateScratch();
  UpdateBlockBuffers();
  CallAudioMaster(audioMasterIOChanged);
}

void TCustomVST1Module::SetSampleRate(float rate) {
  if (!std::isfinite(rate) || rate < 0.0f || rate == FSampleRate)
    return;
  FSampleRate = rate;
  if (OnSampleRateChange)
    OnSampleRateChange(this, FSampleRate);
}

void TCustomVST1Module::SetBlockSize(int32_t size) {
  if (size < 0 || size == FBlockSize)
    return;
  FBlockSize = size;
  UpdateScratch();
  if (OnBlockSizeChange)
    OnBlockSizeChange(this, FBlockSize);
}

void TCustomVST1Module::SetBlockSizeAndSampleRate(int32_t blockSize, float sampleRate) {
  if (std::isfinite(sampleRate) && sampleRate >= 0.0f)
    FSampleRate = sampleRate;
  if (blockSize >= 0 && blockSize != FBlockSize) {
    FBlockSize = blockSize;
    UpdateScratch();
  }
  if (OnSampleRateChange)
    OnSampleRateChange(this, FSampleRate);
  if (OnBlockSizeChange)
    OnBlockSizeChange(this, FBlockSize);
}

TCustomVST1Module::TActiveHandler
TCustomVST1Module::ActiveHandlerFor(const TProcessAudioEvent& event) const {
  switch (FProcessingMode) {
  case pmNormal:
    return event ? TActiveHandler::Event : TActiveHandler::None;
  case pmBlockSave:
    return event ? TActiveHandler::BlockSave : TActiveHandler::None;
  case pmCopy:
    return TActiveHandler::Copy;
  case pmMute:
    return TActiveHandler::Mute;
  }
  return TActiveHandler::None;
}

void TCustomVST1Module::SetProcessingMode(TProcessingMode mode) {
  if (mode == FProcessingMode)
    return;
  FProcessingMode = mode;
  FActiveProcess = ActiveHandlerFor(FOnProcess);
  FActiveProcessReplacing = ActiveHandlerFor(FOnProcessReplacing);
  if (mode == pmBlockSave)
    UpdateBlockBuffers();
}

void TCustomVST1Module::SetOnProcess(TProcessAudioEvent handler) {
  FOnProcess = std::move(handler);
  FActiveProcess = ActiveHandlerFor(FOnProcess);
}

void TCustomVST1Module::SetOnProcessReplacing(TProcessAudioEvent handler) {
  FOnProcessReplacing = std::move(handler);
  FActiveProcessReplacing = ActiveHandlerFor(FOnProcessReplacing);
}

void TCustomVST1Module::SetBlockModeSize(int32_t size) {
  if (size <= 0 || size <= FBlockModeOverlap)
    return;
  FBlockModeSize = size;
  FBlockPosition = FBlockModeOverlap;
  UpdateBlockBuffers();
}

void TCustomVST1Module::SetBlockModeOverlap(int32_t overlap) {
  if (overlap < 0 || overlap >= FBlockModeSize)
    return;
  FBlockModeOverlap = overlap;
  if (FProcessingMode == pmBlockSave && FEffect.initialDelay < FBlockModeSize - FBlockModeOverlap)
    SetInitialDelay(FRequestedInitialDelay);
}

void TCustomVST1Module::SetInitialDelay(int32_t delay) {
  if (delay < 0)
    return;
  FRequestedInitialDelay = delay;
  FEffect.initialDelay =
      FProcessingMode == pmBlockSave ? std::max(delay, FBlockModeSize - FBlockModeOverlap) : delay;
  CallAudioMaster(audioMasterIOChanged);
}

void TCustomVST1Module::UpdateTempo() {
  FTempo.store(static_cast<float>(CallAudioMaster(audioMasterTempoAt) * 0.0001),
               std::memory_order_relaxed);
}

bool TCustomVST1Module::BuffersUsable(const float* const* inputs, float* const* outputs) const {
  if (numInputs() > 0 && !inputs)
    return false;
  if (numOutputs() > 0 && !outputs)
    return false;
  for (int32_t ch = 0; ch < numInputs(); ++ch)
    if (!inputs[ch])
      return false;
  for (int32_t ch = 0; ch < numOutputs(); ++ch)
    if (!outputs[ch])
      return false;
  return true;
}

void TCustomVST1Module::Process(const float* const* inputs, float* const* outputs,
                                int32_t sampleFrames) {
  UpdateTempo();
  if (sampleFrames < 0 || !BuffersUsable(inputs, outputs))
    return;
  TAudioScratch& scratch = *FScratch;
  int32_t done = 0;
  do {
    const int32_t piece = std::min(sampleFrames - done, scratch.frames);
    for (TSingleArray& channel : scratch.channels)
      std::fill_n(channel.begin(), piece, 0.0f);
    for (int32_t ch = 0; ch < numInputs(); ++ch)
      scratch.inputs[static_cast<std::size_t>(ch)] = inputs[ch] + done;
    RunActive(FActiveProcess, FOnProcess, scratch.inputs.data(), scratch.outputs.data(), piece);
    for (int32_t i = 0; i < piece; ++i)
      for (int32_t ch = 0; ch < numOutputs(); ++ch)
        outputs[ch][done + i] += scratch.channels[static_cast<std::size_t>(ch)][i];
    done += piece;
  } while (done < sampleFrames);
  SendMidiOut();
}

void TCustomVST1Module::ProcessReplacing(const float* const* inputs, float* const* outputs,
                                         int32_t sampleFrames) {
  UpdateTempo();
  if (sampleFrames < 0 || !BuffersUsable(inputs, outputs))
    return;
  RunActive(FActiveProcessReplacing, FOnProcessReplacing, inputs, outputs, sampleFrames);
  SendMidiOut();
}

void TCustomVST1Module::RunActive(TActiveHandler active, const TProcessAudioEvent& event,
                                  const float* const* inputs, float* const* outputs,
                                  int32_t sampleFrames) {
  switch (active) {
  case TActiveHandler::None:
    break;
  case TActiveHandler::Event:
    event(inputs, outputs, sampleFrames);
    break;
  case TActiveHandler::BlockSave:
    BlockSaveProcess(event, inputs, outputs, sampleFrames);
    break;
  case TActiveHandler::Copy:
    CopyProcess(inputs, outputs, sampleFrames);
    break;
  case TActiveHandler::Mute:
    MuteProcess(outputs, sampleFrames);
    break;
  }
}

void TCustomVST1Module::BlockSaveProcess(const TProcessAudioEvent& event,
                                         const float* const* inputs, float* const* outputs,
                                         int32_t sampleFrames) {
  if (!FBlock)
    return;
  TBlockBuffers& block = *FBlock;
  const auto copyRun = [&](int32_t done, int32_t count) {
    for (int32_t ch = 0; ch < numInputs(); ++ch)
      std::copy_n(inputs[ch] + done, count,
                  block.in[static_cast<std::size_t>(ch)].begin() + FBlockPosition);
    for (int32_t ch = 0; ch < numOutputs(); ++ch)
      std::copy_n(block.out[static_cast<std::size_t>(ch)].begin() + FBlockPosition, count,
                  outputs[ch] + done);
  };
  int32_t done = 0;
  while (done < sampleFrames) {
    const int32_t remaining = sampleFrames - done;
    if (remaining + FBlockPosition < FBlockModeSize) {
      copyRun(done, remaining);
      FBlockPosition += remaining;
      done = sampleFrames;
    } else {
      const int32_t k = FBlockModeSize - FBlockPosition;
      copyRun(done, k);
      event(block.inPointers.data(), block.outPointers.data(), FBlockModeSize);
      for (TSingleArray& channel : block.in)
        std::copy_n(channel.end() - FBlockModeOverlap, FBlockModeOverlap, channel.begin());
      done += k;
      FBlockPosition = FBlockModeOverlap;
    }
  }
}

void TCustomVST1Module::CopyProcess(const float* const* inputs, float* const* outputs,
                                    int32_t sampleFrames) {
  const int32_t channels = std::min(numInputs(), numOutputs());
  for (int32_t ch = 0; ch < channels; ++ch)
    if (inputs[ch] != outputs[ch])
      std::memmove(outputs[ch], inputs[ch], static_cast<std::size_t>(sampleFrames) * sizeof(float));
}

void TCustomVST1Module::MuteProcess(float* const* outputs, int32_t sampleFrames) {
  for (int32_t ch = 0; ch < numOutputs(); ++ch)
    std::fill_n(outputs[ch], sampleFrames, 0.0f);
}
