// Windows bitmaps: 1, 4 and 8 bits with a colour table, 24 bits, and 32 bits (BI_RGB, or
// BI_BITFIELDS with the usual masks); bottom-up or top-down.
#include "platform/PictureLoader.h"

#include <algorithm>

namespace {

uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}

[[noreturn]] void Refuse(const std::string& why) {
  throw EPictureError("Bad BMP file: " + why);
}

} // namespace

TPicture DecodeBMP(const uint8_t* data, size_t size) {
  if (size < 14 + 40 || data[0] != 'B' || data[1] != 'M')
    Refuse("too short for its headers");
  const uint32_t offBits = U32(data + 10);
  const uint32_t infoSize = U32(data + 14);
  if (infoSize < 40 || infoSize > size - 14)
    Refuse("unsupported information header");
  const uint8_t* info = data + 14;
  const int32_t width = int32_t(U32(info + 4));
  const int32_t rawHeight = int32_t(U32(info + 8));
  const uint16_t bits = U16(info + 14);
  const uint32_t compression = U32(info + 16);
  uint32_t colours = U32(info + 32);
  if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN)
    Refuse("bad size");
  const bool topDown = rawHeight < 0;
  const int64_t height = topDown ? -int64_t(rawHeight) : rawHeight;
  if (width > kMaxPictureSide || height > kMaxPictureSide ||
      uint64_t(width) * uint64_t(height) > kMaxPicturePixels)
    Refuse("picture too large");
  if (bits == 32) {
    if (compression == 3) {
      const size_t maskAt = infoSize >= 56 ? 14 + 40 : 14 + infoSize;
      if (size < maskAt + 12)
        Refuse("missing colour masks");
      if (U32(data + maskAt) != 0x00FF0000 || U32(data + maskAt + 4) != 0x0000FF00 ||
          U32(data + maskAt + 8) != 0x000000FF)
        Refuse("unsupported colour masks");
    } else if (compression != 0) {
      Refuse("unsupported compression");
    }
  } else if (bits == 24 || bits == 8 || bits == 4 || bits == 1) {
    if (compression != 0)
      Refuse("unsupported compression");
  } else {
    Refuse("unsupported bit depth " + std::to_string(bits));
  }
  uint8_t table[256][4] = {};
  if (bits <= 8) {
    const uint32_t maxColours = 1u << bits;
    if (colours == 0 || colours > maxColours)
      colours = maxColours;
    const uint64_t tableAt = 14 + uint64_t(infoSize);
    if (tableAt + uint64_t(colours) * 4 > size)
      Refuse("truncated colour table");
    for (uint32_t i = 0; i < colours; ++i)
      std::copy_n(data + tableAt + 4 * i, 4, table[i]);
  }
  const uint64_t stride = (uint64_t(width) * bits + 31) / 32 * 4;
  if (offBits > size || stride * uint64_t(height) > size - offBits)
    Refuse("truncated pixel data");

  TPicture picture;
  picture.Width = width;
  picture.Height = int(height);
  picture.Is32Bit = bits == 32;
  picture.Pixels.resize(size_t(width) * size_t(height) * 4);
  for (int64_t row = 0; row < height; ++row) {
    // Destination rows are bottom-up; so are the file's unless it is top-down.
    const int64_t fileRow = topDown ? height - 1 - row : row;
    const uint8_t* src = data + offBits + stride * uint64_t(fileRow);
    uint8_t* dst = picture.Pixels.data() + size_t(row) * size_t(width) * 4;
    for (int32_t x = 0; x < width; ++x, dst += 4) {
      switch (bits) {
      case 32:
        std::copy_n(src + 4 * x, 4, dst);
        break;
      case 24:
        std::copy_n(src + 3 * x, 3, dst);
        dst[3] = 255;
        break;
      default: {
        const int perByte = 8 / bits;
        const int shift = 8 - bits * (x % perByte + 1);
        const unsigned index = (src[x / perByte] >> shift) & ((1u << bits) - 1);
        std::copy_n(table[index], 3, dst);
        dst[3] = 255;
      }
      }
    }
  }
  return picture;
}
