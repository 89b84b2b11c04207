#include "FuzzDecompressors.h"
#include "skin/cDIBStandardCompressors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TRLEDIBCompressor compressor;
  return FuzzCompressor(compressor, data, size);
}
