#include "FuzzDecompressors.h"
#include "skin/DIBLZH.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TLZHDIBCompressor compressor;
  return FuzzCompressor(compressor, data, size);
}
