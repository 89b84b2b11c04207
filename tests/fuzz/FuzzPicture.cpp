// Picture files of every format the platform loader reads.
#include "platform/PictureLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const TPicture picture = DecodePicture(data, size);
    if (picture.Pixels.size() != size_t(picture.Width) * size_t(picture.Height) * 4)
      __builtin_trap();
  } catch (const EPictureError&) {
  }
  return 0;
}
