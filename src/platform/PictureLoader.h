// The platform's picture loader: reads BMP, PNG and JPEG files into 32-bit pixels, and writes
// PNG files. PNG and JPEG need libpng and libjpeg at build time; a build without them refuses
// those formats with EPictureError.
//
// Picture files are untrusted: a malformed, truncated or oversized file is refused with
// EPictureError, never read outside its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class EPictureError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Pictures above these sizes are refused.
constexpr int kMaxPictureSide = 32767;
constexpr uint64_t kMaxPicturePixels = uint64_t(1) << 25;

struct TPicture {
  int Width = 0;
  int Height = 0;
  // The picture carries its own alpha (a 32-bit bitmap, or a PNG with an alpha channel).
  bool Is32Bit = false;
  // Width * Height pixels B G R A, bottom row first; alpha 255 unless Is32Bit.
  std::vector<uint8_t> Pixels;
};

enum class TPictureFormat { Unknown, BMP, PNG, JPEG };

// By the file's first bytes.
TPictureFormat DetectPictureFormat(const uint8_t* data, size_t size);

TPicture DecodePicture(const uint8_t* data, size_t size);
TPicture DecodeBMP(const uint8_t* data, size_t size);
TPicture DecodePNG(const uint8_t* data, size_t size);
TPicture DecodeJPEG(const uint8_t* data, size_t size);

TPicture LoadPictureFile(const std::string& path);

// Writes width x height pixels (B G R A, bottom row first) as an 8-bit RGBA PNG file.
void SavePNGFile(const std::string& path, int width, int height, const uint8_t* pixels);

bool PNGSupported();
bool JPEGSupported();
