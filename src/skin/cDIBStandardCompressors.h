// "Shuffle4 RLE": gathers the bytes of every fourth position into four planes (all blue
// bytes, then green, red and alpha) and run-length codes the result as (count, value) pairs.
#pragma once

#include "skin/cDIBCompressor.h"

class TRLEDIBCompressor : public TAbstractDIBCompressor {
public:
  static constexpr TGUID Identifier = {
      0xCABA9056, 0x7349, 0x43A4, {0xB0, 0x10, 0x37, 0x64, 0xFB, 0xFA, 0xC2, 0x30}};

  TGUID GetIdentifier() const override { return Identifier; }
  bool HandlesIdentifier(const TGUID& identifier) const override {
    return SameIdentifier(identifier);
  }
  size_t Compress(const TAbstractSuperDIB* image, const uint8_t* source, size_t sourceLength,
                  uint8_t* destination) override;
  size_t Decompress(const TAbstractSuperDIB* image, const TGUID& identifier, size_t rawLength,
                    size_t compressedLength, uint8_t* destination, const uint8_t* source) override;
  std::string Name() const override { return "Shuffle4 RLE"; }
  std::string Description() const override;
  std::string Author() const override { return "Zintrax skin toolkit"; }
  uint64_t MaxExpandedLength(size_t compressedLength) const override {
    return uint64_t(compressedLength / 2) * 255;
  }
};
