#include "checks/AudioBlock.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zhost::validate {

namespace {

// A signalling NaN with a payload of alternating bits: copying it keeps it, arithmetic never
// makes it.
constexpr uint32_t kUnwrittenBits = 0x7fa5a5a5u;
constexpr size_t kGuardSamples = 16;
constexpr size_t kAlignFloats = 16; // 64 bytes

float Unwritten() {
  float value;
  std::memcpy(&value, &kUnwrittenBits, sizeof value);
  return value;
}

bool IsUnwritten(float sample) {
  uint32_t bits;
  std::memcpy(&bits, &sample, sizeof bits);
  return bits == kUnwrittenBits;
}

// The first float of the store that lies misalign floats past a 64-byte boundary.
float* Start(std::vector<float>& store, int misalign) {
  auto address = reinterpret_cast<uintptr_t>(store.data());
  const uintptr_t boundary = kAlignFloats * sizeof(float);
  address = (address + boundary - 1) / boundary * boundary;
  return reinterpret_cast<float*>(address) + misalign;
}

void Record(BlockFindings& findings, int64_t BlockFindings::*count, const char* what,
            const char* pin, int32_t channel, int32_t frame) {
  if (findings.Clean())
    findings.first = std::string(what) + " at " + pin + " " + std::to_string(channel) + ", frame " +
                     std::to_string(frame);
  ++(findings.*count);
}

} // namespace

std::string BlockFindings::Describe() const {
  if (Clean())
    return {};
  std::string text;
  const auto part = [&text](int64_t count, const char* what) {
    if (count > 0)
      text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + what;
  };
  part(unwritten, "output samples not written");
  part(nonFinite, "NaN or infinite samples");
  part(subnormal, "subnormal samples");
  part(pastEnd, "samples written past the end of the block");
  return text + " (first: " + first + ")";
}

void BlockFindings::Add(const BlockFindings& other) {
  if (Clean())
    first = other.first;
  unwritten += other.unwritten;
  nonFinite += other.nonFinite;
  subnormal += other.subnormal;
  pastEnd += other.pastEnd;
}

AudioBlock::AudioBlock(int32_t inputs, int32_t outputs, int32_t capacity)
    : FCapacity(std::max(capacity, 1)) {
  const size_t size = static_cast<size_t>(FCapacity) + kGuardSamples + 2 * kAlignFloats;
  FInputStore.assign(static_cast<size_t>(std::max(inputs, 0)), std::vector<float>(size));
  FOutputStore.assign(static_cast<size_t>(std::max(outputs, 0)), std::vector<float>(size));
  FInputs.resize(FInputStore.size());
  FOutputs.resize(FOutputStore.size());
  SetLayout(false, 0);
}

void AudioBlock::SetLayout(bool inPlace, int misalign) {
  FInPlace = inPlace;
  misalign = std::clamp(misalign, 0, static_cast<int>(kAlignFloats) - 1);
  for (size_t c = 0; c < FInputs.size(); ++c)
    FInputs[c] = Start(FInputStore[c], misalign);
  for (size_t c = 0; c < FOutputs.size(); ++c)
    FOutputs[c] =
        SharesInput(static_cast<int32_t>(c)) ? FInputs[c] : Start(FOutputStore[c], misalign);
}

bool AudioBlock::SharesInput(int32_t output) const {
  return FInPlace && static_cast<size_t>(output) < FInputs.size();
}

void AudioBlock::Noise(std::mt19937& random, float peak, int32_t frames) {
  std::uniform_real_distribution<float> draw(-peak, peak);
  for (float* channel : FInputs)
    for (int32_t i = 0; i < frames; ++i)
      channel[i] = draw(random);
}

void AudioBlock::Silence(int32_t frames, float impulse) {
  for (float* channel : FInputs) {
    std::fill(channel, channel + frames, 0.0f);
    if (frames > 0)
      channel[0] = impulse;
  }
}

void AudioBlock::PrepareOutputs(int32_t frames) {
  for (size_t c = 0; c < FOutputs.size(); ++c) {
    float* channel = FOutputs[c];
    const int32_t from = SharesInput(static_cast<int32_t>(c)) ? frames : 0;
    std::fill(channel + from, channel + frames + kGuardSamples, Unwritten());
  }
  for (float* channel : FInputs)
    std::fill(channel + frames, channel + frames + kGuardSamples, Unwritten());
}

void AudioBlock::ClearOutputs(int32_t frames, float value) {
  PrepareOutputs(frames);
  for (size_t c = 0; c < FOutputs.size(); ++c)
    if (!SharesInput(static_cast<int32_t>(c)))
      std::fill(FOutputs[c], FOutputs[c] + frames, value);
}

void AudioBlock::Ready(int32_t frames, bool replacing) {
  if (replacing)
    PrepareOutputs(frames);
  else
    ClearOutputs(frames);
}

BlockFindings AudioBlock::Check(int32_t frames, bool replacing) const {
  BlockFindings findings;
  for (size_t c = 0; c < FOutputs.size(); ++c) {
    const float* channel = FOutputs[c];
    const auto number = static_cast<int32_t>(c) + 1;
    for (int32_t i = 0; i < frames; ++i) {
      const float sample = channel[i];
      if (IsUnwritten(sample)) {
        if (replacing && !SharesInput(static_cast<int32_t>(c)))
          Record(findings, &BlockFindings::unwritten, "not written", "output", number, i);
        else
          Record(findings, &BlockFindings::nonFinite, "NaN", "output", number, i);
      } else if (!std::isfinite(sample)) {
        Record(findings, &BlockFindings::nonFinite, std::isnan(sample) ? "NaN" : "infinity",
               "output", number, i);
      } else if (std::fpclassify(sample) == FP_SUBNORMAL) {
        Record(findings, &BlockFindings::subnormal, "subnormal", "output", number, i);
      }
    }
  }
  const auto guards = [&](const std::vector<float*>& pins, const char* pin) {
    for (size_t c = 0; c < pins.size(); ++c)
      for (size_t i = 0; i < kGuardSamples; ++i)
        if (pin[0] == 'o' || !(FInPlace && c < FOutputs.size()))
          if (!IsUnwritten(pins[c][static_cast<size_t>(frames) + i]))
            Record(findings, &BlockFindings::pastEnd, "a write", pin, static_cast<int32_t>(c) + 1,
                   frames + static_cast<int32_t>(i));
  };
  guards(FOutputs, "output");
  guards(FInputs, "input");
  return findings;
}

float AudioBlock::Peak(int32_t frames) const {
  float peak = 0.0f;
  for (const float* channel : FOutputs)
    for (int32_t i = 0; i < frames; ++i)
      peak = std::max(peak, std::fabs(channel[i]));
  return peak;
}

} // namespace zhost::validate
