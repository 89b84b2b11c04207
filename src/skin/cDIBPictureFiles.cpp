#include "skin/cDIBPictureFiles.h"

#include "platform/PictureLoader.h"

#include <cstring>

namespace {

TPicture Load(const std::string& path) {
  try {
    return LoadPictureFile(path);
  } catch (const EPictureError& e) {
    throw EDIBError(e.what());
  }
}

} // namespace

void LoadDIBFromFile(TAbstractSuperDIB& image, const std::string& path) {
  const TPicture picture = Load(path);
  image.BeginUpdate();
  try {
    image.SetSize(picture.Width, picture.Height);
    std::memcpy(image.Bytes(), picture.Pixels.data(), image.ByteCount());
    if (picture.Is32Bit)
      image.SetMasked(true);
  } catch (...) {
    image.EndUpdate();
    throw;
  }
  image.Changed();
  image.EndUpdate();
}

void LoadDIBMaskFromFile(TAbstractSuperDIB& image, const std::string& path) {
  if (!image.HasBuffer())
    throw EDIBError("You cannot import a mask until you have an image.");
  const TPicture mask = Load(path);
  const int w = image.Width(), h = image.Height();
  image.BeginUpdate();
  // Nearest-neighbour stretch; both buffers are bottom-up, so rows correspond directly.
  for (int y = 0; y < h; ++y) {
    const size_t my = size_t(y) * size_t(mask.Height) / size_t(h);
    TPixel32* row = image.Pixels() + size_t(y) * size_t(w);
    for (int x = 0; x < w; ++x) {
      const size_t mx = size_t(x) * size_t(mask.Width) / size_t(w);
      row[x].A = mask.Pixels[(my * size_t(mask.Width) + mx) * 4];
    }
  }
  image.SetMasked(true);
  image.Changed();
  image.EndUpdate();
}
