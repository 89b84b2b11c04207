// The platform picture loader: BMP variants, PNG, JPEG, and files that are not what they claim.
#include "platform/PictureLoader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#if __has_include(<jpeglib.h>)
#include <jpeglib.h>
#define HAVE_JPEG_ENCODER 1
#endif

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& f, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    f[at + i] = uint8_t(v >> (8 * i));
}

// A BMP with a 40-byte information header; rows as given (bottom-up unless height < 0).
Bytes BMP(int width, int height, int bits, const Bytes& table, const Bytes& rows,
          uint32_t compression = 0) {
  Bytes f(54 + table.size(), 0);
  f[0] = 'B';
  f[1] = 'M';
  Put32(f, 10, uint32_t(54 + table.size()));
  Put32(f, 14, 40);
  Put32(f, 18, uint32_t(width));
  Put32(f, 22, uint32_t(height));
  f[26] = 1;
  f[28] = uint8_t(bits);
  Put32(f, 30, compression);
  Put32(f, 46, uint32_t(table.size() / 4));
  std::copy(table.begin(), table.end(), f.begin() + 54);
  f.insert(f.end(), rows.begin(), rows.end());
  Put32(f, 2, uint32_t(f.size()));
  return f;
}

TEST(PictureLoader, Bitmap24BitsHasOpaqueAlphaAndPaddedRows) {
  // 2 x 2, rows padded to 8 bytes; file row 0 is the bottom row.
  const Bytes rows = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  const Bytes file = BMP(2, 2, 24, {}, rows);
  const TPicture p = DecodePicture(file.data(), file.size());
  EXPECT_FALSE(p.Is32Bit);
  EXPECT_EQ(p.Pixels, (Bytes{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255}));
}

TEST(PictureLoader, Bitmap32BitsKeepsAlphaAndTopDownIsTurned) {
  const Bytes rows = {1, 2, 3, 40, 5, 6, 7, 80};
  const Bytes file = BMP(1, -2, 32, {}, rows); // top-down: first row is the top
  const TPicture p = DecodePicture(file.data(), file.size());
  EXPECT_TRUE(p.Is32Bit);
  EXPECT_EQ(p.Height, 2);
  EXPECT_EQ(p.Pixels, (Bytes{5, 6, 7, 80, 1, 2, 3, 40})) << "bottom row first";
}

TEST(PictureLoader, PalettedBitmaps) {
  const Bytes table = {10, 20, 30, 0, 40, 50, 60, 0};
  const Bytes oneBit = {0x40, 0, 0, 0}; // pixels 0,1,0 of a 3-wide row
  const Bytes f1 = BMP(3, 1, 1, table, oneBit);
  EXPECT_EQ(DecodeBMP(f1.data(), f1.size()).Pixels,
            (Bytes{10, 20, 30, 255, 40, 50, 60, 255, 10, 20, 30, 255}));
  const Bytes eightBit = {1, 0, 0, 0};
  const Bytes f8 = BMP(1, 1, 8, table, eightBit);
  EXPECT_EQ(DecodeBMP(f8.data(), f8.size()).Pixels, (Bytes{40, 50, 60, 255}));
  // An index beyond the table reads the zeroed rest of the table, never outside it.
  const Bytes beyond = {200, 0, 0, 0};
  const Bytes fb = BMP(1, 1, 8, table, beyond);
  EXPECT_EQ(DecodeBMP(fb.data(), fb.size()).Pixels, (Bytes{0, 0, 0, 255}));
}

TEST(PictureLoader, MalformedBitmapsAreRefused) {
  const Bytes good = BMP(4, 4, 24, {}, Bytes(48, 1));
  for (size_t cut : {good.size() - 1, size_t(60), size_t(54), size_t(20), size_t(2)})
    EXPECT_THROW(DecodeBMP(good.data(), cut), EPictureError) << cut;
  Bytes huge = good;
  Put32(huge, 18, 100000);
  EXPECT_THROW(DecodeBMP(huge.data(), huge.size()), EPictureError);
  Bytes negativeWidth = good;
  Put32(negativeWidth, 18, uint32_t(-4));
  EXPECT_THROW(DecodeBMP(negativeWidth.data(), negativeWidth.size()), EPictureError);
  Bytes rle = good;
  Put32(rle, 30, 1);
  EXPECT_THROW(DecodeBMP(rle.data(), rle.size()), EPictureError);
  Bytes offset = good;
  Put32(offset, 10, 0xFFFFFFF0u);
  EXPECT_THROW(DecodeBMP(offset.data(), offset.size()), EPictureError);
  const Bytes junk = {'G', 'I', 'F', '8'};
  EXPECT_THROW(DecodePicture(junk.data(), junk.size()), EPictureError);
}

struct TTempFile {
  std::filesystem::path Path =
      std::filesystem::temp_directory_path() /
      ("zintrax-picture-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
       "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  ~TTempFile() { std::filesystem::remove(Path); }
  Bytes Read() const {
    std::ifstream f(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  }
};

TEST(PictureLoader, PNGRoundTripKeepsAlphaAndRowOrder) {
  if (!PNGSupported())
    GTEST_SKIP() << "built without libpng";
  Bytes pixels(3 * 2 * 4);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = uint8_t(i * 11);
  TTempFile file;
  SavePNGFile(file.Path.string(), 3, 2, pixels.data());
  const TPicture p = LoadPictureFile(file.Path.string());
  EXPECT_TRUE(p.Is32Bit);
  EXPECT_EQ(p.Width, 3);
  EXPECT_EQ(p.Pixels, pixels);
  Bytes cut = file.Read();
  cut.resize(cut.size() / 2);
  EXPECT_THROW(DecodePNG(cut.data(), cut.size()), EPictureError);
  EXPECT_THROW(LoadPictureFile("/nonexistent/zintrax.png"), EPictureError);
}

#ifdef HAVE_JPEG_ENCODER
Bytes EncodeJPEG(int w, int h, J_COLOR_SPACE space, int components) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = unsigned(w);
  c.image_height = unsigned(h);
  c.input_components = components;
  c.in_color_space = space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(size_t(w) * components);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < components; ++k)
        row[size_t(x) * components + k] = uint8_t(k == 0 ? 200 : k == 1 ? 100 : 30);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes bytes(out, out + size);
  std::free(out);
  return bytes;
}

TEST(PictureLoader, JPEGDecodesToOpaqueBGR) {
  if (!JPEGSupported())
    GTEST_SKIP() << "built without libjpeg";
  const Bytes colour = EncodeJPEG(16, 8, JCS_RGB, 3);
  const TPicture p = DecodePicture(colour.data(), colour.size());
  EXPECT_FALSE(p.Is32Bit);
  ASSERT_EQ(p.Width, 16);
  ASSERT_EQ(p.Height, 8);
  EXPECT_NEAR(p.Pixels[0], 30, 3);  // blue
  EXPECT_NEAR(p.Pixels[1], 100, 3); // green
  EXPECT_NEAR(p.Pixels[2], 200, 3); // red
  EXPECT_EQ(p.Pixels[3], 255);
  const Bytes grey = EncodeJPEG(4, 4, JCS_GRAYSCALE, 1);
  EXPECT_NEAR(DecodeJPEG(grey.data(), grey.size()).Pixels[2], 200, 3);

  Bytes broken = colour;
  broken.resize(20);
  EXPECT_THROW(DecodeJPEG(broken.data(), broken.size()), EPictureError);
  Bytes huge = colour;
  // The frame header's height and width follow its marker (FF C0, length, precision).
  for (size_t i = 0; i + 8 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = huge[i + 6] = huge[i + 7] = huge[i + 8] = 0xFF;
      break;
    }
  EXPECT_THROW(DecodeJPEG(huge.data(), huge.size()), EPictureError);
}
#endif

} // namespace
