// The "Data" block: raw and compressed forms, and blocks that are short, oversized or
// malformed.
#include "skin/DIBLZH.h"
#include "skin/cDIBData.h"
#include "skin/cDIBSettings.h"
#include "skin/cDIBStandardCompressors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

void Paint(TAbstractSuperDIB& image, unsigned seed) {
  std::mt19937 gen(seed);
  for (size_t i = 0; i < image.PixelCount(); ++i) {
    const bool flat = (i / 9) % 2 == 0;
    image.Pixels()[i] = flat ? TPixel32{0, 0, 0, 255}
                             : TPixel32{uint8_t(i), uint8_t(gen() & 7), 200, uint8_t(i / 3)};
  }
}

Bytes Block(TMemoryDIB& image) {
  return WriteDIBData(image);
}

TEST(DataBlock, RawFormHoldsSizeAndPixels) {
  TDIBSettings settings; // no compressor selected
  TMemoryDIB image(14, 14);
  Paint(image, 1);
  const Bytes block = Block(image);
  ASSERT_EQ(block.size(), 788u);
  EXPECT_EQ(block[0] | block[1] << 8, 14);
  EXPECT_EQ(block[2] | block[3] << 8, 14);
  EXPECT_EQ(0, std::memcmp(block.data() + 4, image.Bytes(), 784));

  TMemoryDIB back;
  int changes = 0;
  back.OnChange = [&](TAbstractSuperDIB&) { ++changes; };
  ReadDIBData(back, block.data(), block.size());
  EXPECT_EQ(changes, 1);
  ASSERT_EQ(back.Width(), 14);
  ASSERT_EQ(back.Height(), 14);
  EXPECT_EQ(0, std::memcmp(back.Bytes(), image.Bytes(), 784));
}

TEST(DataBlock, CompressedFormsRoundTripWithEitherCompressorSelected) {
  for (const char* id :
       {"{CABA9056-7349-43A4-B010-3764FBFAC230}", "{BC0C10FC-E045-41E7-A37C-B86AF21320B8}"}) {
    TDIBSettings settings;
    settings.SetDIBCompressor(id);
    TMemoryDIB image(71, 68);
    Paint(image, 2);
    const Bytes block = Block(image);
    ASSERT_GT(block.size(), 26u);
    ASSERT_LT(block.size(), 19316u);
    EXPECT_EQ(0, std::memcmp(block.data(), "DIBCMP", 6));
    EXPECT_EQ(TGUID::Load(block.data() + 6).ToString(), id);
    EXPECT_EQ(block[22] | block[23] << 8 | block[24] << 16 | block[25] << 24, 19316);

    settings.SetDIBCompressor(""); // reading does not depend on the selection
    TMemoryDIB back;
    ReadDIBData(back, block.data(), block.size());
    ASSERT_EQ(back.Width(), 71);
    ASSERT_EQ(back.Height(), 68);
    EXPECT_EQ(0, std::memcmp(back.Bytes(), image.Bytes(), image.ByteCount())) << id;
  }
}

TEST(DataBlock, KnobBackgroundWithShuffle4RLEExpandsToItsRawForm) {
  TDIBSettings settings;
  settings.SetDIBCompressor("{CABA9056-7349-43A4-B010-3764FBFAC230}");
  TMemoryDIB image(71, 68);
  Paint(image, 5);
  const Bytes block = Block(image);
  ASSERT_EQ(0, std::memcmp(block.data(), "DIBCMP", 6));
  EXPECT_EQ((block.size() - 26) % 2, 0u) << "run pairs";
  TAbstractDIBCompressor* rle = FindDIBCompressor(TRLEDIBCompressor::Identifier);
  ASSERT_NE(rle, nullptr);
  Bytes raw(19316);
  EXPECT_EQ(rle->Decompress(nullptr, TRLEDIBCompressor::Identifier, raw.size(), block.size() - 26,
                            raw.data(), block.data() + 26),
            19316u);
  EXPECT_EQ(raw[0] | raw[1] << 8, 71);
  EXPECT_EQ(raw[2] | raw[3] << 8, 68);
  EXPECT_EQ(0, std::memcmp(raw.data() + 4, image.Bytes(), image.ByteCount()));
}

TEST(DataBlock, DataThatDoesNotCompressIsStoredRaw) {
  TDIBSettings settings;
  settings.SetDIBCompressor("{CABA9056-7349-43A4-B010-3764FBFAC230}");
  TMemoryDIB image(20, 20);
  std::mt19937 gen(3);
  for (size_t i = 0; i < image.ByteCount(); ++i)
    image.Bytes()[i] = uint8_t(gen());
  EXPECT_EQ(Block(image).size(), 4u + 20 * 20 * 4);
}

TEST(DataBlock, NothingIsStoredWithoutTheStoreDataFlag) {
  TMemoryDIB image(3, 3);
  image.StoreData = false;
  EXPECT_TRUE(Block(image).empty());
}

TEST(DataBlock, EmptyBlockChangesNothing) {
  TMemoryDIB image(5, 6);
  int changes = 0;
  image.OnChange = [&](TAbstractSuperDIB&) { ++changes; };
  ReadDIBData(image, nullptr, 0);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(image.Width(), 5);
}

TEST(DataBlock, ShortBlockThatStartsLikeACompressedOneIsRaw) {
  // 25 bytes: too short for the compressed header. As raw data it declares 18756 x 17218
  // pixels, far more than the block holds: refused instead of allocating 1.3 G pixels.
  Bytes block = {'D', 'I', 'B', 'C', 'M', 'P'};
  block.resize(25, 0);
  const TDIBRawForm form = [&] {
    try {
      return DecodeDIBData(block.data(), block.size());
    } catch (const EDIBCompressError&) {
      ADD_FAILURE() << "read as a compressed block";
      throw;
    } catch (const EDIBError&) {
      return TDIBRawForm{};
    }
  }();
  EXPECT_FALSE(form.Compressed);
  // A small size over a short raw form is kept: only the bytes present are used.
  Bytes small = {'D', 'I', 4, 0};
  small.resize(25, 7);
  const TDIBRawForm raw = DecodeDIBData(small.data(), small.size());
  EXPECT_FALSE(raw.Compressed);
  EXPECT_EQ(raw.Width, 0x4944);
  EXPECT_EQ(raw.Height, 4);
  EXPECT_EQ(raw.Pixels.size(), 21u);
}

TEST(DataBlock, ShortRawFormFillsOnlyTheBytesPresent) {
  TMemoryDIB image(2, 2);
  for (size_t i = 0; i < image.ByteCount(); ++i)
    image.Bytes()[i] = 0x55;
  const Bytes block = {2, 0, 2, 0, 1, 2, 3, 4, 5, 6};
  ReadDIBData(image, block.data(), block.size());
  EXPECT_EQ(image.Bytes()[0], 1);
  EXPECT_EQ(image.Bytes()[5], 6);
  EXPECT_EQ(image.Bytes()[6], 0x55) << "the rest keeps its previous content";
  EXPECT_EQ(image.Bytes()[15], 0x55);
}

TEST(DataBlock, ZeroSizeBecomesOne) {
  TMemoryDIB image;
  const Bytes block = {0, 0, 0, 0};
  ReadDIBData(image, block.data(), block.size());
  EXPECT_EQ(image.Width(), 1);
  EXPECT_EQ(image.Height(), 1);
}

TEST(DataBlock, MalformedBlocksAreRefused) {
  TMemoryDIB image(2, 2);
  const Bytes tiny = {1, 0, 1};
  EXPECT_THROW(ReadDIBData(image, tiny.data(), tiny.size()), EDIBError);

  Bytes unknown = {'D', 'I', 'B', 'C', 'M', 'P'};
  unknown.resize(40, 1);
  try {
    ReadDIBData(image, unknown.data(), unknown.size());
    FAIL();
  } catch (const EDIBCompressError& e) {
    EXPECT_STREQ(e.what(), "Could not find a suitable decompressor.");
  }

  // A raw length beyond what a few bytes of run pairs can describe.
  Bytes huge = {'D', 'I', 'B', 'C', 'M', 'P'};
  huge.resize(26);
  TRLEDIBCompressor::Identifier.Store(huge.data() + 6);
  huge[22] = huge[23] = huge[24] = huge[25] = 0xFF;
  huge.insert(huge.end(), {255, 0, 255, 0});
  EXPECT_THROW(ReadDIBData(image, huge.data(), huge.size()), EDIBError);
  TLZHDIBCompressor::Identifier.Store(huge.data() + 6);
  EXPECT_THROW(ReadDIBData(image, huge.data(), huge.size()), EDIBError);
  EXPECT_EQ(image.Width(), 2) << "a refused block leaves the image as it was";

  // A raw length shorter than the four size bytes.
  huge[22] = 3;
  huge[23] = huge[24] = huge[25] = 0;
  TRLEDIBCompressor::Identifier.Store(huge.data() + 6);
  EXPECT_THROW(ReadDIBData(image, huge.data(), huge.size()), EDIBError);
}

TEST(DataBlock, TruncatedCompressedBlockKeepsTheRestOfTheImage) {
  TDIBSettings settings;
  settings.SetDIBCompressor("{BC0C10FC-E045-41E7-A37C-B86AF21320B8}");
  TMemoryDIB image(40, 40);
  Paint(image, 4);
  Bytes block = Block(image);
  ASSERT_GT(block.size(), 100u);
  block.resize(26 + (block.size() - 26) / 3);
  TMemoryDIB back(40, 40);
  for (size_t i = 0; i < back.ByteCount(); ++i)
    back.Bytes()[i] = 0xA5;
  ReadDIBData(back, block.data(), block.size());
  EXPECT_EQ(back.Width(), 40);
  EXPECT_EQ(0, std::memcmp(back.Bytes(), image.Bytes(), 100)) << "the decoded prefix arrives";
  EXPECT_EQ(back.Bytes()[back.ByteCount() - 1], 0xA5) << "the missing end keeps its content";
}

} // namespace
