// The audio buffers the dynamic tests hand to a plug-in: one block of input and output channels,
// separate or in place, aligned or not, with guard samples after every channel. Outputs are
// filled with a NaN pattern no arithmetic produces before each call, so that a sample the
// plug-in did not write shows up, and so does a write past the block.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace zhost::validate {

// What one block of output held that a host would not accept.
struct BlockFindings {
  int64_t unwritten = 0; // replacing outputs left as they were
  int64_t nonFinite = 0; // NaN or infinite
  int64_t subnormal = 0;
  int64_t pastEnd = 0; // guard samples after the block that changed
  std::string first;   // where the first finding is, "NaN at output 1, frame 17"

  bool Clean() const { return unwritten + nonFinite + subnormal + pastEnd == 0; }
  // One line: the counts and the first place, or empty when clean.
  std::string Describe() const;
  void Add(const BlockFindings& other);
};

class AudioBlock {
public:
  // Room for `capacity` frames on each of the plug-in's pins.
  AudioBlock(int32_t inputs, int32_t outputs, int32_t capacity);

  // In place: each output shares the buffer of the input of the same number (where there is
  // one). misalign: how many floats past a 64-byte boundary each channel starts (0 to 15).
  void SetLayout(bool inPlace, int misalign);

  float** Inputs() { return FInputs.data(); }
  float** Outputs() { return FOutputs.data(); }
  float* Input(int32_t channel) { return FInputs[static_cast<size_t>(channel)]; }
  float* Output(int32_t channel) { return FOutputs[static_cast<size_t>(channel)]; }
  int32_t NumInputs() const { return static_cast<int32_t>(FInputs.size()); }
  int32_t NumOutputs() const { return static_cast<int32_t>(FOutputs.size()); }
  int32_t Capacity() const { return FCapacity; }

  // Uniform noise of the given peak on every input.
  void Noise(std::mt19937& random, float peak, int32_t frames);
  // Every input at zero, but for `impulse` at frame 0 (0 for silence).
  void Silence(int32_t frames, float impulse = 0.0f);

  // Marks every output sample of the block (and the guard after it) as unwritten; an in-place
  // output keeps its input, only its guard is marked.
  void PrepareOutputs(int32_t frames);
  // Sets every non-shared output to value for an accumulating call.
  void ClearOutputs(int32_t frames, float value = 0.0f);

  // Outputs made ready for a call: marked for a call that replaces them, cleared for one that
  // adds to them.
  void Ready(int32_t frames, bool replacing);
  // Checks the block's outputs after a call. `replacing`: every sample must have been written.
  BlockFindings Check(int32_t frames, bool replacing) const;

  // The largest magnitude over the block's outputs.
  float Peak(int32_t frames) const;

private:
  bool SharesInput(int32_t output) const;

  int32_t FCapacity;
  bool FInPlace = false;
  std::vector<std::vector<float>> FInputStore, FOutputStore;
  std::vector<float*> FInputs, FOutputs;
};

} // namespace zhost::validate
