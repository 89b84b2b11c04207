// The two registered compressors, the registry and the selection by identifier text.
#include "skin/DIBLZH.h"
#include "skin/cDIBCompressor.h"
#include "skin/cDIBSettings.h"
#include "skin/cDIBStandardCompressors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Compress(TAbstractDIBCompressor& c, const Bytes& in) {
  Bytes out(in.size());
  out.resize(c.Compress(nullptr, in.data(), in.size(), out.data()));
  return out;
}

// Expands into a buffer with guard bytes on both sides so that a write outside the raw
// length shows.
Bytes Expand(TAbstractDIBCompressor& c, const Bytes& packed, size_t rawLength,
             size_t* produced = nullptr) {
  Bytes buffer(rawLength + 64, 0xEE);
  const size_t n = c.Decompress(nullptr, c.GetIdentifier(), rawLength, packed.size(),
                                buffer.data() + 32, packed.data());
  for (size_t i = 0; i < 32; ++i) {
    EXPECT_EQ(buffer[i], 0xEE) << "write before the buffer";
    EXPECT_EQ(buffer[32 + rawLength + i], 0xEE) << "write after the buffer";
  }
  if (produced)
    *produced = n;
  return Bytes(buffer.begin() + 32, buffer.begin() + 32 + rawLength);
}

Bytes RandomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  Bytes b(n);
  for (auto& x : b)
    x = uint8_t(gen());
  return b;
}

// Image-like data: smooth gradients, a flat area and some noise, longer than the ring.
Bytes SkinLikeBytes(size_t pixels) {
  std::mt19937 gen(7);
  Bytes b;
  for (size_t i = 0; i < pixels; ++i) {
    const bool flat = (i / 64) % 3 == 0;
    b.push_back(flat ? 0 : uint8_t(i / 7 + (gen() & 3)));
    b.push_back(flat ? 0 : uint8_t(i / 11));
    b.push_back(flat ? 0 : uint8_t(200 + (gen() & 1)));
    b.push_back(flat ? 0 : 255);
  }
  return b;
}

TEST(ShuffleRLE, EightZeroBytesBecomeOnePair) {
  TRLEDIBCompressor rle;
  EXPECT_EQ(Compress(rle, Bytes(8, 0)), (Bytes{8, 0}));
}

TEST(ShuffleRLE, RunsAreCutAt255) {
  TRLEDIBCompressor rle;
  EXPECT_EQ(Compress(rle, Bytes(300, 0x41)), (Bytes{255, 0x41, 45, 0x41}));
  // The last source byte lands last in the alpha plane: 255 bytes v, then w.
  Bytes in(256, 0x10);
  in[255] = 0x20;
  EXPECT_EQ(Compress(rle, in), (Bytes{255, 0x10, 1, 0x20}));
}

TEST(ShuffleRLE, ShufflesIntoPlanesBeforeCoding) {
  TRLEDIBCompressor rle;
  // Four pixels B G R A with equal channels compress to one run per plane.
  const Bytes in = {1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4};
  EXPECT_EQ(Compress(rle, in), (Bytes{4, 1, 4, 2, 4, 3, 4, 4}));
  EXPECT_EQ(Expand(rle, Compress(rle, in), in.size()), in);
}

TEST(ShuffleRLE, IncompressibleDataGivesZero) {
  TRLEDIBCompressor rle;
  Bytes in(256);
  for (size_t i = 0; i < in.size(); ++i)
    in[i] = uint8_t(i);
  EXPECT_EQ(Compress(rle, in).size(), 0u);
  EXPECT_EQ(Compress(rle, RandomBytes(4000, 1)).size(), 0u);
  EXPECT_EQ(Compress(rle, Bytes{}).size(), 0u);
  EXPECT_EQ(Compress(rle, Bytes{5}).size(), 0u) << "one byte cannot be one pair shorter";
}

TEST(ShuffleRLE, LengthsThatAreNotWholePixelsKeepTheirTailAfterThePlanes) {
  TRLEDIBCompressor rle;
  // 6 bytes: planes of one byte each (0, 1, 2, 3), then the tail 4, 5.
  const Bytes in = {7, 7, 7, 7, 7, 9};
  EXPECT_EQ(Compress(rle, in), (Bytes{5, 7, 1, 9}));
  EXPECT_EQ(Expand(rle, Bytes{5, 7, 1, 9}, 6), in);
  const Bytes repeated(1001, 0x33);
  EXPECT_EQ(Compress(rle, repeated), (Bytes{255, 0x33, 255, 0x33, 255, 0x33, 236, 0x33}));
  EXPECT_EQ(Expand(rle, Compress(rle, repeated), repeated.size()), repeated);
}

TEST(ShuffleRLE, RoundTripsImageData) {
  TRLEDIBCompressor rle;
  const Bytes in = SkinLikeBytes(5000);
  const Bytes packed = Compress(rle, in);
  ASSERT_GT(packed.size(), 0u);
  ASSERT_LT(packed.size(), in.size());
  size_t produced = 0;
  EXPECT_EQ(Expand(rle, packed, in.size(), &produced), in);
  EXPECT_EQ(produced, in.size());
}

TEST(ShuffleRLE, ShortOrOversizedStreamsStayInsideTheBuffer) {
  TRLEDIBCompressor rle;
  size_t produced = 99;
  Expand(rle, Bytes{7}, 16, &produced);
  EXPECT_EQ(produced, 0u) << "fewer than two bytes expand to nothing";

  // Runs that claim more than the raw length stop at it.
  const Bytes many(40, 0xFF);
  EXPECT_EQ(Expand(rle, many, 12, &produced), Bytes(12, 0xFF));
  EXPECT_EQ(produced, 12u);

  // A stream that ends inside the alpha plane yields the whole pixels it covers.
  const Bytes in = SkinLikeBytes(100);
  Bytes packed = Compress(rle, in);
  ASSERT_GT(packed.size(), 0u);
  Bytes pairs;
  size_t total = 0;
  for (size_t p = 0; p < packed.size() && total < 3 * 100 + 10; p += 2) {
    const size_t count = std::min<size_t>(packed[p], 3 * 100 + 10 - total);
    pairs.push_back(uint8_t(count));
    pairs.push_back(packed[p + 1]);
    total += count;
  }
  const Bytes partial = Expand(rle, pairs, in.size(), &produced);
  EXPECT_EQ(produced, 40u);
  EXPECT_TRUE(std::equal(in.begin(), in.begin() + 40, partial.begin()));

  // Raw lengths that are not whole pixels, down to fewer than one pixel.
  for (size_t raw : {1u, 3u, 5u, 7u})
    Expand(rle, Bytes{9, 1}, raw, &produced);
}

TEST(DIBLZH, RoundTrips) {
  const std::vector<Bytes> inputs = {
      Bytes(5000, 0x20), Bytes(20000, 0x00), Bytes(1, 9), SkinLikeBytes(6000), [] {
        Bytes text;
        const char* line = "The quick brown fox jumps over the lazy dog. ";
        while (text.size() < 10000)
          text.insert(text.end(), line, line + std::strlen(line));
        return text;
      }()};
  for (const Bytes& in : inputs) {
    Bytes out(in.size() + 64);
    const size_t n = LzhEncode(in.data(), in.size(), out.data(), out.size());
    out.resize(n);
    EXPECT_EQ(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24, int(in.size()));
    Bytes back(in.size());
    EXPECT_EQ(LzhDecode(out.data(), out.size(), back.data(), back.size()), in.size());
    EXPECT_EQ(back, in);
  }
}

TEST(DIBLZH, FirstSymbolFollowsTheInitialTree) {
  // With the starting tree, literal 'A' (65) sits at position 65; walking up through
  // 346, 487, 557, 592, 610, 619, 623 and 625 gives the bits 1 1 1 0 0 1 1 0 1 from the root
  // down, padded with zeros to whole bytes.
  const uint8_t in[1] = {'A'};
  Bytes out(16);
  out.resize(LzhEncode(in, 1, out.data(), out.size()));
  EXPECT_EQ(out, (Bytes{1, 0, 0, 0, 0xE6, 0x80}));
  uint8_t back = 0;
  EXPECT_EQ(LzhDecode(out.data(), out.size(), &back, 1), 1u);
  EXPECT_EQ(back, 'A');
}

// The expected streams below come from a separate implementation of the scheme (ring of 4096
// spaces, matches of 3..60, the 627-node adaptive tree with Start, Update and Rebuild, the
// fixed prefix code of the position's upper six bits), not from this encoder.
TEST(DIBLZH, MatchesAndPositionsFollowTheScheme) {
  const std::string text = "abcabcabcabcabcabc   zz";
  Bytes out(64);
  out.resize(LzhEncode(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out.data(),
                       out.size()));
  EXPECT_EQ(out, (Bytes{0x17, 0x00, 0x00, 0x00, 0xF6, 0xFB, 0xBD, 0xF3, 0x00, 0x28, 0xC0, 0xA0,
                        0x36, 0x00}));
  std::string back(text.size(), '\0');
  EXPECT_EQ(LzhDecode(out.data(), out.size(), reinterpret_cast<uint8_t*>(back.data()), back.size()),
            text.size());
  EXPECT_EQ(back, text);
}

TEST(DIBLZH, StreamsLongEnoughToRebuildTheTreeFollowTheScheme) {
  // 70000 bytes over a skewed alphabet: the root's count reaches 0x8000 twice.
  Bytes in;
  uint32_t state = 1;
  for (int i = 0; i < 70000; ++i) {
    state = state * 1664525u + 1013904223u;
    const uint8_t b = uint8_t(state >> 24);
    in.push_back(b < 200 ? b & 0x0F : b);
  }
  Bytes out(in.size());
  out.resize(LzhEncode(in.data(), in.size(), out.data(), out.size()));
  uint32_t fnv = 0x811C9DC5u;
  for (uint8_t b : out)
    fnv = (fnv ^ b) * 0x01000193u;
  EXPECT_EQ(out.size(), 48733u);
  EXPECT_EQ(fnv, 0x42335B1Cu);
  Bytes back(in.size());
  EXPECT_EQ(LzhDecode(out.data(), out.size(), back.data(), back.size()), in.size());
  EXPECT_EQ(back, in);
}

TEST(DIBLZH, CompressorAnswersZeroWhenNotShorter) {
  TLZHDIBCompressor lzh;
  for (size_t n = 0; n < 5; ++n)
    EXPECT_EQ(Compress(lzh, Bytes(n, 0)).size(), 0u) << n;
  EXPECT_EQ(Compress(lzh, RandomBytes(3000, 2)).size(), 0u);
  Bytes out(8);
  EXPECT_THROW(LzhEncode(RandomBytes(100, 3).data(), 100, out.data(), out.size()), ElzhException);
}

TEST(DIBLZH, CompressesImagesWellAndExpandsThemBack) {
  TLZHDIBCompressor lzh;
  const Bytes in = SkinLikeBytes(8000);
  const Bytes packed = Compress(lzh, in);
  ASSERT_GT(packed.size(), 0u);
  EXPECT_LT(packed.size(), in.size() / 2);
  size_t produced = 0;
  EXPECT_EQ(Expand(lzh, packed, in.size(), &produced), in);
  EXPECT_EQ(produced, in.size());
  EXPECT_LE(in.size(), lzh.MaxExpandedLength(packed.size()));
  // A block of one repeated byte reaches close to the densest coding there is.
  const Bytes flat(200000, 0);
  const Bytes flatPacked = Compress(lzh, flat);
  ASSERT_GT(flatPacked.size(), 0u);
  EXPECT_LE(flat.size(), lzh.MaxExpandedLength(flatPacked.size()));
}

TEST(DIBLZH, DecoderStopsAtTheRawLengthAndAtTheEndOfTheStream) {
  TLZHDIBCompressor lzh;
  const Bytes in = SkinLikeBytes(3000);
  const Bytes packed = Compress(lzh, in);
  ASSERT_GT(packed.size(), 0u);
  size_t produced = 0;
  // A raw length below the stream's own count: only that much is written.
  const Bytes head = Expand(lzh, packed, 1000, &produced);
  EXPECT_EQ(produced, 1000u);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), in.begin()));
  // A truncated stream produces a correct prefix and stops.
  const Bytes cut(packed.begin(), packed.begin() + long(packed.size() / 2));
  const Bytes partial = Expand(lzh, cut, in.size(), &produced);
  EXPECT_GT(produced, 0u);
  EXPECT_LT(produced, in.size());
  EXPECT_TRUE(std::equal(partial.begin(), partial.begin() + long(produced), in.begin()));
  // A header that claims four gigabytes of output from a few bytes of stream.
  const Bytes claim = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x12};
  Expand(lzh, claim, 64, &produced);
  EXPECT_LE(produced, 64u);
  Expand(lzh, Bytes{1, 0}, 64, &produced);
  EXPECT_EQ(produced, 0u);
}

TEST(CompressorRegistry, HoldsRLEThenLZH) {
  const auto list = RegisteredDIBCompressors();
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(list[0]->Name(), "Shuffle4 RLE");
  EXPECT_EQ(list[1]->Name(), "DIB LZH");
  EXPECT_EQ(list[0]->GetIdentifier().ToString(), "{CABA9056-7349-43A4-B010-3764FBFAC230}");
  EXPECT_EQ(list[1]->GetIdentifier().ToString(), "{BC0C10FC-E045-41E7-A37C-B86AF21320B8}");
  EXPECT_EQ(FindDIBCompressor(TRLEDIBCompressor::Identifier), list[0]);
  EXPECT_EQ(FindDIBCompressor(TLZHDIBCompressor::Identifier), list[1]);
  EXPECT_EQ(FindDIBCompressor(TGUID{}), nullptr);
}

TEST(CompressorRegistry, DescriptionTexts) {
  TRLEDIBCompressor rle;
  TLZHDIBCompressor lzh;
  EXPECT_EQ(rle.Description(), "Shuffle4 RLE\r\n\r\nShuffles the RGBA values from\r\n"
                               "RGBA,RGBA,RGBA,RGBA to\r\nRRRR,GGGG,BBBB,AAAA\r\n"
                               "in order to create higher repitition,\r\n"
                               "and then performs a simple RLE compression");
  EXPECT_EQ(lzh.Description(),
            "Uses LZH compression to compress the graphics,\r\nCompression is slow, "
            "decompression is not so slow, but the savings in size are very large.");
  EXPECT_EQ(rle.ContactAddress(), "");
  EXPECT_EQ(lzh.WebAddress(), "");
}

TEST(GUID, StoredLayoutAndText) {
  uint8_t stored[16];
  TRLEDIBCompressor::Identifier.Store(stored);
  const uint8_t expected[16] = {0x56, 0x90, 0xBA, 0xCA, 0x49, 0x73, 0xA4, 0x43,
                                0xB0, 0x10, 0x37, 0x64, 0xFB, 0xFA, 0xC2, 0x30};
  EXPECT_EQ(0, std::memcmp(stored, expected, 16));
  EXPECT_EQ(TGUID::Load(expected), TRLEDIBCompressor::Identifier);
  EXPECT_EQ(TGUID::FromString("{cABA9056-7349-43a4-B010-3764FBFAC230}"),
            TRLEDIBCompressor::Identifier);
  EXPECT_FALSE(TGUID::FromString("CABA9056-7349-43A4-B010-3764FBFAC230"));
  EXPECT_FALSE(TGUID::FromString("{CABA9056-7349-43A4-B010+3764FBFAC230}"));
}

TEST(DIBSettings, SelectsByExactIdentifierText) {
  TDIBSettings settings;
  EXPECT_EQ(settings.DIBCompressor(), "");
  settings.SetDIBCompressor("{BC0C10FC-E045-41E7-A37C-B86AF21320B8}");
  ASSERT_NE(CurrentDIBCompressor(), nullptr);
  EXPECT_EQ(CurrentDIBCompressor()->Name(), "DIB LZH");
  EXPECT_EQ(settings.DIBCompressor(), "{BC0C10FC-E045-41E7-A37C-B86AF21320B8}");
  settings.SetDIBCompressor("{bc0c10fc-e045-41e7-a37c-b86af21320b8}");
  EXPECT_EQ(CurrentDIBCompressor(), nullptr);
  EXPECT_EQ(settings.DIBCompressor(), "");
  {
    TDIBSettings other;
    other.SetDIBCompressor("{CABA9056-7349-43A4-B010-3764FBFAC230}");
    EXPECT_EQ(settings.DIBCompressor(), "{CABA9056-7349-43A4-B010-3764FBFAC230}");
  }
  EXPECT_EQ(CurrentDIBCompressor(), nullptr) << "destroying the settings clears the selection";
}

// A compressor that only says who it is; two of them share one identifier.
class TNamedCompressor : public TAbstractDIBCompressor {
public:
  static constexpr TGUID Shared = {0x01234567, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};
  explicit TNamedCompressor(std::string name) : FName(std::move(name)) {}
  TGUID GetIdentifier() const override { return Shared; }
  bool HandlesIdentifier(const TGUID& identifier) const override {
    return SameIdentifier(identifier);
  }
  size_t Compress(const TAbstractSuperDIB*, const uint8_t*, size_t, uint8_t*) override { return 0; }
  size_t Decompress(const TAbstractSuperDIB*, const TGUID&, size_t, size_t, uint8_t*,
                    const uint8_t*) override {
    return 0;
  }
  std::string Name() const override { return FName; }
  uint64_t MaxExpandedLength(size_t) const override { return 0; }

private:
  std::string FName;
};

// Runs last in this program: it adds two compressors to the process-wide registry.
TEST(CompressorRegistry, LaterRegistrationsWinAndTheBaseTextsApply) {
  RegisterDIBCompressor(std::make_unique<TNamedCompressor>("first"));
  RegisterDIBCompressor(std::make_unique<TNamedCompressor>("second"));
  const auto list = RegisteredDIBCompressors();
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[2]->Name(), "first");
  EXPECT_EQ(list[3]->Name(), "second");
  ASSERT_NE(FindDIBCompressor(TNamedCompressor::Shared), nullptr);
  EXPECT_EQ(FindDIBCompressor(TNamedCompressor::Shared)->Name(), "second");
  {
    TDIBSettings settings;
    settings.SetDIBCompressor("{01234567-89AB-CDEF-0102-030405060708}");
    ASSERT_NE(CurrentDIBCompressor(), nullptr);
    EXPECT_EQ(CurrentDIBCompressor()->Name(), "second");
  }
  EXPECT_EQ(list[2]->Description(), "No information supplied");
  EXPECT_EQ(list[2]->Author(), "No information supplied");
  EXPECT_EQ(list[2]->ContactAddress(), "");
  EXPECT_EQ(list[2]->WebAddress(), "");
  EXPECT_EQ(FindDIBCompressor(TRLEDIBCompressor::Identifier), list[0]);
}

} // namespace
