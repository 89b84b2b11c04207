// Audio buffers at the edge of memory: every channel of a call placed so that its last sample
// ends where a page the process may not touch begins (or, in the other placement, so that its
// first sample follows such a page). A read or a write of the page ends the test as its failure,
// named with the buffer and the step the test was at, instead of as a crash.
#pragma once

#include "core/Validation.h"

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace zhost::validate {

enum class PageEdge { After, Before };

class EdgeBlock {
public:
  // Room for capacity frames on every channel, each with a forbidden page before and after.
  EdgeBlock(int32_t inputs, int32_t outputs, int32_t capacity);
  ~EdgeBlock();
  EdgeBlock(const EdgeBlock&) = delete;
  EdgeBlock& operator=(const EdgeBlock&) = delete;

  // Places every channel for a call of frames against the page edge, inputs filled with noise
  // and outputs with zeros.
  void Place(PageEdge edge, int32_t frames, std::mt19937& random);
  float** Inputs() { return FInputs.data(); }
  float** Outputs() { return FOutputs.data(); }

private:
  struct Channel {
    char* region = nullptr; // forbidden page, room, forbidden page
    float* room = nullptr;
    float* roomEnd = nullptr;
  };
  std::vector<Channel> FChannels; // the inputs, then the outputs
  std::vector<float*> FInputs, FOutputs;
  std::size_t FRegionBytes = 0;
};

// audio.page-edges: calls of lengths from 1 frame to capacity with every buffer against the
// page after it, then against the page before it; process makes one call (named call) of the
// plug-in with the block's buffers, the format's own test having made it ready for blocks up to
// capacity.
void CheckPageEdges(Context& context, const char* call, int32_t inputs, int32_t outputs,
                    int32_t capacity,
                    const std::function<void(EdgeBlock& block, int32_t frames)>& process);

} // namespace zhost::validate
