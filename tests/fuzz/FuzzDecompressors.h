// Shared by the decompressor targets: the first four bytes give the raw length (bounded),
// the rest is the compressed stream. The expansion goes into a buffer of exactly that length,
// so any write beyond it is caught by the address sanitizer. Then the input is compressed and
// expanded again, which must give it back.
#pragma once

#include "skin/cDIBCompressor.h"

#include <cstring>
#include <vector>

inline int FuzzCompressor(TAbstractDIBCompressor& compressor, const uint8_t* data, size_t size) {
  if (size < 4)
    return 0;
  const size_t rawLength =
      (size_t(data[0]) | size_t(data[1]) << 8 | size_t(data[2]) << 16) & ((1u << 18) - 1);
  std::vector<uint8_t> raw(rawLength);
  const size_t produced = compressor.Decompress(nullptr, compressor.GetIdentifier(), rawLength,
                                                size - 4, raw.data(), data + 4);
  if (produced > rawLength)
    __builtin_trap();

  std::vector<uint8_t> packed(size);
  const size_t packedLength = compressor.Compress(nullptr, data, size, packed.data());
  if (packedLength == 0)
    return 0;
  if (packedLength > size)
    __builtin_trap();
  std::vector<uint8_t> back(size);
  if (compressor.Decompress(nullptr, compressor.GetIdentifier(), size, packedLength, back.data(),
                            packed.data()) != size ||
      std::memcmp(back.data(), data, size) != 0)
    __builtin_trap();
  return 0;
}
