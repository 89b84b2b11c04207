#include "skin/cDIBData.h"

#include <algorithm>
#include <cstring>

namespace {

void RefuseBlock(const char* what) {
  throw EDIBError(std::string("Corrupt image data: ") + what);
}

uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Takes the size and the pixel bytes present from a raw form of length bytes.
void TakeRawForm(TDIBRawForm& form, const uint8_t* raw, size_t length) {
  if (length < 4)
    RefuseBlock("the block is too short to hold an image size.");
  form.Width = uint16_t(raw[0] | raw[1] << 8);
  form.Height = uint16_t(raw[2] | raw[3] << 8);
  const uint64_t present = std::min<uint64_t>(length - 4, form.DeclaredPixelBytes());
  if (present < form.DeclaredPixelBytes() && form.DeclaredPixelBytes() > kDIBMaxShortImageBytes)
    RefuseBlock("the image size exceeds what the block holds.");
  form.Pixels.assign(raw + 4, raw + 4 + present);
}

} // namespace

TDIBRawForm DecodeDIBData(const uint8_t* block, size_t length) {
  TDIBRawForm form;
  if (length < kDIBCompressedHeaderSize ||
      std::memcmp(block, kDIBCompressedSignature, sizeof kDIBCompressedSignature) != 0) {
    TakeRawForm(form, block, length);
    return form;
  }
  form.Compressed = true;
  form.Identifier = TGUID::Load(block + 6);
  form.RawLength = Load32(block + 22);
  TAbstractDIBCompressor* compressor = FindDIBCompressor(form.Identifier);
  if (!compressor)
    throw EDIBCompressError("Could not find a suitable decompressor.");
  const size_t packedLength = length - kDIBCompressedHeaderSize;
  if (form.RawLength > compressor->MaxExpandedLength(packedLength))
    RefuseBlock("the declared raw length exceeds what the block can describe.");
  std::vector<uint8_t> raw(form.RawLength);
  form.ExpandedLength = compressor->Decompress(nullptr, form.Identifier, raw.size(), packedLength,
                                               raw.data(), block + kDIBCompressedHeaderSize);
  TakeRawForm(form, raw.data(), std::min(form.ExpandedLength, raw.size()));
  return form;
}

std::vector<uint8_t> EncodeDIBData(uint16_t width, uint16_t height, const uint8_t* pixels,
                                   TAbstractDIBCompressor* compressor,
                                   const TAbstractSuperDIB* image) {
  const size_t pixelBytes = size_t(width) * height * 4;
  std::vector<uint8_t> raw(4 + pixelBytes);
  raw[0] = uint8_t(width);
  raw[1] = uint8_t(width >> 8);
  raw[2] = uint8_t(height);
  raw[3] = uint8_t(height >> 8);
  if (pixelBytes > 0)
    std::memcpy(raw.data() + 4, pixels, pixelBytes);
  if (!compressor || raw.size() > 0xFFFFFFFFu)
    return raw;
  std::vector<uint8_t> packed(raw.size());
  const size_t packedLength = compressor->Compress(image, raw.data(), raw.size(), packed.data());
  if (packedLength == 0 || packedLength > packed.size())
    return raw;
  std::vector<uint8_t> block(kDIBCompressedHeaderSize + packedLength);
  std::memcpy(block.data(), kDIBCompressedSignature, sizeof kDIBCompressedSignature);
  compressor->GetIdentifier().Store(block.data() + 6);
  const uint32_t rawLength = uint32_t(raw.size());
  for (int i = 0; i < 4; ++i)
    block[22 + i] = uint8_t(rawLength >> (8 * i));
  std::memcpy(block.data() + kDIBCompressedHeaderSize, packed.data(), packedLength);
  return block;
}

void ReadDIBData(TMemoryDIB& image, const uint8_t* block, size_t length) {
  if (length == 0)
    return;
  const TDIBRawForm form = DecodeDIBData(block, length);
  image.BeginUpdate();
  try {
    image.SetSize(form.Width, form.Height);
    if (!form.Pixels.empty())
      std::memcpy(image.Bytes(), form.Pixels.data(),
                  std::min(form.Pixels.size(), image.ByteCount()));
  } catch (...) {
    image.EndUpdate();
    throw;
  }
  image.Changed();
  image.EndUpdate();
}

std::vector<uint8_t> WriteDIBData(const TMemoryDIB& image) {
  if (!image.StoreData || !image.HasBuffer())
    return {};
  return EncodeDIBData(uint16_t(image.Width()), uint16_t(image.Height()), image.Bytes(),
                       CurrentDIBCompressor(), &image);
}
