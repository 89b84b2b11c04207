#include "skin/cDIBStandardCompressors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Plane k holds bytes k, k + 4, k + 8, ... of the source; bytes after the last whole
// group of four stay at the end in their order.
void Shuffle(const uint8_t* source, size_t length, uint8_t* work) {
  const size_t n = length / 4;
  for (size_t k = 0; k < 4; ++k) {
    uint8_t* plane = work + k * n;
    for (size_t i = 0; i < n; ++i)
      plane[i] = source[4 * i + k];
  }
  std::copy(source + 4 * n, source + length, work + 4 * n);
}

void Unshuffle(const uint8_t* work, size_t length, uint8_t* destination) {
  const size_t n = length / 4;
  for (size_t k = 0; k < 4; ++k) {
    const uint8_t* plane = work + k * n;
    for (size_t i = 0; i < n; ++i)
      destination[4 * i + k] = plane[i];
  }
  std::copy(work + 4 * n, work + length, destination + 4 * n);
}

} // namespace

size_t TRLEDIBCompressor::Compress(const TAbstractSuperDIB*, const uint8_t* source,
                                   size_t sourceLength, uint8_t* destination) {
  std::vector<uint8_t> work(sourceLength);
  Shuffle(source, sourceLength, work.data());
  const size_t maxPairs = sourceLength / 2;
  size_t pairs = 0;
  size_t pos = 0;
  while (pos < sourceLength) {
    if (pairs == maxPairs)
      return 0;
    const uint8_t value = work[pos];
    size_t run = 1;
    while (run < 255 && pos + run < sourceLength && work[pos + run] == value)
      ++run;
    destination[2 * pairs] = uint8_t(run);
    destination[2 * pairs + 1] = value;
    ++pairs;
    pos += run;
  }
  return 2 * pairs;
}

size_t TRLEDIBCompressor::Decompress(const TAbstractSuperDIB*, const TGUID&, size_t rawLength,
                                     size_t compressedLength, uint8_t* destination,
                                     const uint8_t* source) {
  std::vector<uint8_t> work(rawLength);
  size_t filled = 0;
  for (size_t p = 0; p + 1 < compressedLength && filled < rawLength; p += 2) {
    const size_t count = std::min<size_t>(source[p], rawLength - filled);
    std::memset(work.data() + filled, source[p + 1], count);
    filled += count;
  }
  if (filled == rawLength) {
    Unshuffle(work.data(), rawLength, destination);
    return rawLength;
  }
  // A short expansion fills whole pixels only as far as the alpha plane reaches; bytes of
  // the planes that did arrive are placed, the others are left as they are.
  const size_t n = rawLength / 4;
  for (size_t j = 0; j < filled; ++j) {
    if (j >= 4 * n)
      destination[j] = work[j];
    else
      destination[4 * (j % n) + j / n] = work[j];
  }
  if (filled >= 4 * n)
    return filled;
  return filled > 3 * n ? 4 * (filled - 3 * n) : 0;
}

std::string TRLEDIBCompressor::Description() const {
  return "Shuffle4 RLE\r\n"
         "\r\n"
         "Shuffles the RGBA values from\r\n"
         "RGBA,RGBA,RGBA,RGBA to\r\n"
         "RRRR,GGGG,BBBB,AAAA\r\n"
         "in order to create higher repitition,\r\n"
         "and then performs a simple RLE compression";
}
