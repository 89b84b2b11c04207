// The "Data" block: the stored pixels of one memory image, raw or compressed.
//
// Raw form (little-endian): Width (2 bytes), Height (2 bytes), Width * Height * 4 bytes of
// pixels B G R A, bottom row first.
// Compressed form: "DIBCMP", the compressor's GUID (16 bytes, binary layout), the length of
// the raw form (4 bytes), then the compressor's output for the raw form.
//
// Blocks are untrusted: a block that is too short to hold a size, or that declares a raw
// length or an image size beyond what it can describe, is refused with EDIBError; nothing is
// read or written outside the block or the image.
#pragma once

#include "skin/cDIB.h"
#include "skin/cDIBCompressor.h"

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr char kDIBCompressedSignature[6] = {'D', 'I', 'B', 'C', 'M', 'P'};
constexpr size_t kDIBCompressedHeaderSize = 26;
// A raw form that holds fewer pixel bytes than its size promises is accepted up to this
// image size; larger images must be present in full.
constexpr uint64_t kDIBMaxShortImageBytes = 16ull << 20;

// A decoded block: the size it declares and the pixel bytes present (at most
// Width * Height * 4; fewer when the block or its expansion is short).
struct TDIBRawForm {
  uint16_t Width = 0;
  uint16_t Height = 0;
  std::vector<uint8_t> Pixels;
  bool Compressed = false;
  TGUID Identifier;          // compressed form only
  uint32_t RawLength = 0;    // compressed form: the declared raw length
  size_t ExpandedLength = 0; // compressed form: bytes the expansion produced

  uint64_t DeclaredPixelBytes() const { return uint64_t(Width) * Height * 4; }
};

// Decodes a non-empty block. Throws EDIBCompressError for an unknown compressor and
// EDIBError for a malformed block.
TDIBRawForm DecodeDIBData(const uint8_t* block, size_t length);

// Encodes width x height pixels (bottom-up BGRA): compressed by compressor when it makes
// the data shorter, raw otherwise (or when compressor is null).
std::vector<uint8_t> EncodeDIBData(uint16_t width, uint16_t height, const uint8_t* pixels,
                                   TAbstractDIBCompressor* compressor,
                                   const TAbstractSuperDIB* image = nullptr);

// Reads a block into the image: an empty block changes nothing; otherwise the image takes
// the declared size (0 becomes 1) and the pixel bytes present, in one change.
void ReadDIBData(TMemoryDIB& image, const uint8_t* block, size_t length);

// The block the image stores: empty when its store-data flag is off or it has no pixels;
// compressed with the current compressor when one is selected and it makes the data shorter.
std::vector<uint8_t> WriteDIBData(const TMemoryDIB& image);
