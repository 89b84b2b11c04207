// The buffers of the module's audio paths, shared by the files that implement the module.
#pragma once

#include "framework/DVST1Module.h"

#include <vector>

// The accumulating path's preallocated scratch: output channels and input pointers.
struct TCustomVST1Module::TAudioScratch {
  int32_t frames = 0;
  std::vector<TSingleArray> channels;
  std::vector<float*> outputs;
  std::vector<const float*> inputs;
};

// The block buffers of pmBlockSave with the pointer arrays handed to the handler.
struct TCustomVST1Module::TBlockBuffers {
  std::vector<TSingleArray> in, out;
  std::vector<const float*> inPointers;
  std::vector<float*> outPointers;
};
