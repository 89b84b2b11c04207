#include "platform/PictureLoader.h"

#include <cstring>
#include <fstream>
#include <iterator>

TPictureFormat DetectPictureFormat(const uint8_t* data, size_t size) {
  static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size >= 8 && std::memcmp(data, png, 8) == 0)
    return TPictureFormat::PNG;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
    return TPictureFormat::JPEG;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M')
    return TPictureFormat::BMP;
  return TPictureFormat::Unknown;
}

TPicture DecodePicture(const uint8_t* data, size_t size) {
  switch (DetectPictureFormat(data, size)) {
  case TPictureFormat::BMP:
    return DecodeBMP(data, size);
  case TPictureFormat::PNG:
    return DecodePNG(data, size);
  case TPictureFormat::JPEG:
    return DecodeJPEG(data, size);
  case TPictureFormat::Unknown:
    break;
  }
  throw EPictureError("Unknown picture format (expected BMP, PNG or JPEG)");
}

TPicture LoadPictureFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    throw EPictureError("Cannot open picture file \"" + path + "\"");
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                   std::istreambuf_iterator<char>()};
  if (file.bad())
    throw EPictureError("Cannot read picture file \"" + path + "\"");
  try {
    return DecodePicture(bytes.data(), bytes.size());
  } catch (const EPictureError& e) {
    throw EPictureError(path + ": " + e.what());
  }
}
