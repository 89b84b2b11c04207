// "DIB LZH": LZSS over a 4096-byte ring with adaptive Huffman coding of the symbols (the
// LZHUF scheme). The coded form is a 4-byte little-endian count of input bytes followed by
// the bit stream.
#pragma once

#include "skin/cDIBCompressor.h"

#include <stdexcept>

class ElzhException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Codes length bytes of source into destination, which has room for capacity bytes.
// Returns the number of bytes written (4 + stream bytes). Throws ElzhException
// "Compressed file is larger than the original." when the output would not fit.
size_t LzhEncode(const uint8_t* source, size_t length, uint8_t* destination, size_t capacity);

// Decodes a coded form of length bytes into destination, producing at most limit bytes.
// Returns the number of bytes produced: the count in the header (bounded by limit), or
// fewer when the stream ends before that count has been decoded.
size_t LzhDecode(const uint8_t* source, size_t length, uint8_t* destination, size_t limit);

class TLZHDIBCompressor : public TAbstractDIBCompressor {
public:
  static constexpr TGUID Identifier = {
      0xBC0C10FC, 0xE045, 0x41E7, {0xA3, 0x7C, 0xB8, 0x6A, 0xF2, 0x13, 0x20, 0xB8}};

  TGUID GetIdentifier() const override { return Identifier; }
  bool HandlesIdentifier(const TGUID& identifier) const override {
    return SameIdentifier(identifier);
  }
  size_t Compress(const TAbstractSuperDIB* image, const uint8_t* source, size_t sourceLength,
                  uint8_t* destination) override;
  size_t Decompress(const TAbstractSuperDIB* image, const TGUID& identifier, size_t rawLength,
                    size_t compressedLength, uint8_t* destination, const uint8_t* source) override;
  std::string Name() const override { return "DIB LZH"; }
  std::string Description() const override;
  std::string Author() const override { return "Zintrax skin toolkit"; }
  // Every symbol takes at least one bit; a match of at most 60 bytes takes at least ten
  // (one for the symbol, nine for the position).
  uint64_t MaxExpandedLength(size_t compressedLength) const override {
    return compressedLength < 4 ? 0 : uint64_t(compressedLength - 4) * 8 * 6 + 60;
  }
};
