// Stored image data blocks, raw or compressed, read into a memory image.
#include "skin/cDIBData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryDIB image(3, 3);
  try {
    ReadDIBData(image, data, size);
  } catch (const EDIBError&) {
    return 0;
  }
  if (size > 0 && (!image.HasBuffer() || image.Width() < 1 || image.Height() < 1))
    __builtin_trap();
  return 0;
}
