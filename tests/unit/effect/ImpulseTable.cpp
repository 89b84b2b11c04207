// The embedded impulse table and the reading and writing of table files.
#include "effect/ImpulseTable.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <vector>

namespace {
TImpulseTable Embedded() {
  TImpulseTable table = UnitImpulseTable();
  EXPECT_EQ(256, ReadImpulseBytes(EmbeddedImpulses(), table, 0, kImpulseBlocks));
  return table;
}

std::filesystem::path TempFile(const char* name) {
  return std::filesystem::temp_directory_path() /
         (std::string("zintrax-table-") + std::to_string(getpid()) + "-" + name);
}
} // namespace

TEST(ImpulseTable, TheEmbeddedTableHoldsTheMeasuredEarlyTaps) {
  const TImpulseTable t = Embedded();
  ASSERT_EQ(kImpulseTableBytes, EmbeddedImpulses().size());
  for (int b = 0; b < 4; ++b)
    EXPECT_EQ(0.15726304f, t[b][0]);
  for (int tap = 0; tap < 5; ++tap)
    EXPECT_EQ(t[0][tap], t[1][tap]) << tap;
  EXPECT_EQ(0.24274564f, t[0][8]);
  EXPECT_EQ(-0.023531482f, t[0][15]);
  EXPECT_EQ(0.09180942f, t[1][11]);
  EXPECT_EQ(-0.002744477f, t[2][15]);
  EXPECT_EQ(0.1339301f, t[3][13]);
  EXPECT_EQ(0.11406665f, t[3][15]);
  const double early[4] = {0.7451, 0.9325, 0.1746, 0.5860};
  for (int b = 0; b < 4; ++b)
    EXPECT_NEAR(early[b], std::accumulate(t[b].begin(), t[b].begin() + 16, 0.0), 1e-4) << b;
}

TEST(ImpulseTable, TheEmbeddedTailsFollowTheMeasuredShapes) {
  const TImpulseTable t = Embedded();
  const float first[4] = {-0.020179598f, -0.028292669f, -0.0023624569f, -0.020474058f};
  const float last[4] = {-0.0004249356f, -0.00051949517f, -0.000506259f, -0.00071378757f};
  const double sums[4] = {0.5889, 0.7166, 0.6186, 0.8984};
  for (int b = 0; b < 4; ++b) {
    EXPECT_EQ(first[b], t[b][16]) << b;
    EXPECT_EQ(last[b], t[b][63]) << b;
    EXPECT_NEAR(sums[b], std::accumulate(t[b].begin(), t[b].end(), 0.0), 2e-4) << b;
    // Each tail rises towards zero with shrinking steps.
    const int start = b < 2 ? 16 : 22;
    for (int tap = start + 1; tap < 63; ++tap) {
      EXPECT_GT(t[b][tap], t[b][tap - 1]) << b << " " << tap;
      EXPECT_LT(t[b][tap + 1] - t[b][tap], t[b][tap] - t[b][tap - 1]) << b << " " << tap;
    }
  }
  EXPECT_EQ(0.27662262f, t[2][19]);
  EXPECT_EQ(-0.04565355f, t[2][22]);
  EXPECT_EQ(0.26664495f, t[3][19]);
  EXPECT_EQ(-0.05300444f, t[3][22]);
}

TEST(ImpulseTable, BytesAreReadAsWholeLittleEndianValuesAsFarAsTheyReach) {
  TImpulseTable table = UnitImpulseTable();
  // 1.0f little-endian, then 2.0f, then three bytes of a value that is not all there.
  const unsigned char bytes[] = {0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40, 0x11, 0x22, 0x33};
  EXPECT_EQ(2, ReadImpulseBytes(std::as_bytes(std::span(bytes)), table, 1, 4));
  EXPECT_EQ(1.0f, table[1][0]);
  EXPECT_EQ(2.0f, table[1][1]);
  EXPECT_EQ(0.0f, table[1][2]);
  EXPECT_EQ(UnitImpulseTable()[0], table[0]);

  // A block count limits the values; nothing lands outside the table.
  std::vector<std::byte> many(4 * kImpulseTableBytes, std::byte{0x3F});
  TImpulseTable limited = UnitImpulseTable();
  EXPECT_EQ(64, ReadImpulseBytes(many, limited, 3, 1));
  EXPECT_EQ(128, ReadImpulseBytes(many, limited, 2, 9));
  EXPECT_EQ(UnitImpulseTable()[1], limited[1]);
  EXPECT_EQ(0, ReadImpulseBytes(many, limited, 4, 1));
  EXPECT_EQ(0, ReadImpulseBytes(many, limited, -1, 1));
}

TEST(ImpulseTable, AWrittenTableFileReadsBackTheSameAndLongerFilesCountOnlyTheirStart) {
  const std::filesystem::path path = TempFile("table.pcm");
  TImpulseTable table = Embedded();
  table[2][5] = -1.5f;
  ASSERT_TRUE(WriteImpulseFile(path, table));
  EXPECT_EQ(kImpulseTableBytes, std::filesystem::file_size(path));
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path()))
    EXPECT_EQ(std::string::npos, entry.path().string().find(path.string() + ".writing"));
  TImpulseTable back = UnitImpulseTable();
  ASSERT_TRUE(ReadImpulseFile(path, back, 0, kImpulseBlocks));
  EXPECT_EQ(table, back);

  // The whole table read as one cabinet file: only its first block lands, in block 3.
  TImpulseTable cabinet = UnitImpulseTable();
  ASSERT_TRUE(ReadImpulseFile(path, cabinet, 3, 1));
  EXPECT_EQ(table[0], cabinet[3]);
  EXPECT_EQ(UnitImpulseTable()[2], cabinet[2]);
  std::filesystem::remove(path);

  EXPECT_FALSE(ReadImpulseFile(path, back, 0, kImpulseBlocks));
  EXPECT_FALSE(ReadImpulseFile(std::filesystem::temp_directory_path(), back, 0, kImpulseBlocks));
  EXPECT_EQ(table, back);
  EXPECT_FALSE(
      WriteImpulseFile(std::filesystem::temp_directory_path() / "no-such-folder" / "t.pcm", table));
}
