#include "platform/PictureLoader.h"

#ifdef ZINTRAX_HAVE_PNG
#include <png.h>
#endif

#ifdef ZINTRAX_HAVE_PNG

bool PNGSupported() {
  return true;
}

TPicture DecodePNG(const uint8_t* data, size_t size) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size))
    throw EPictureError(std::string("Bad PNG file: ") + image.message);
  if (image.width == 0 || image.height == 0 || image.width > unsigned(kMaxPictureSide) ||
      image.height > unsigned(kMaxPictureSide) ||
      uint64_t(image.width) * image.height > kMaxPicturePixels) {
    png_image_free(&image);
    throw EPictureError("Bad PNG file: picture too large");
  }
  TPicture picture;
  picture.Width = int(image.width);
  picture.Height = int(image.height);
  picture.Is32Bit = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = PNG_FORMAT_BGRA;
  picture.Pixels.resize(size_t(image.width) * image.height * 4);
  // A negative stride asks for the bottom row first.
  if (!png_image_finish_read(&image, nullptr, picture.Pixels.data(),
                             -png_int_32(PNG_IMAGE_ROW_STRIDE(image)), nullptr))
    throw EPictureError(std::string("Bad PNG file: ") + image.message);
  return picture;
}

void SavePNGFile(const std::string& path, int width, int height, const uint8_t* pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = PNG_FORMAT_BGRA;
  if (!png_image_write_to_file(&image, path.c_str(), 0, pixels, -png_int_32(width * 4), nullptr))
    throw EPictureError("Cannot write PNG file \"" + path + "\": " + image.message);
}

#else

bool PNGSupported() {
  return false;
}

TPicture DecodePNG(const uint8_t*, size_t) {
  throw EPictureError("PNG pictures are not supported by this build (no libpng)");
}

void SavePNGFile(const std::string& path, int, int, const uint8_t*) {
  throw EPictureError("Cannot write \"" + path + "\": PNG is not supported by this build");
}

#endif
