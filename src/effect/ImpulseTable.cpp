#include "effect/ImpulseTable.h"

#include "platform/SettingsFiles.h"

#include <bit>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace {
uint32_t LittleEndian32(const std::byte* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutLittleEndian32(uint32_t v, char* p) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
} // namespace

TImpulseTable UnitImpulseTable() {
  TImpulseTable table{};
  for (TImpulseResponse& response : table)
    response[0] = 1.0f;
  return table;
}

int ReadImpulseBytes(std::span<const std::byte> bytes, TImpulseTable& table, int firstBlock,
                     int blockCount) {
  if (firstBlock < 0 || blockCount <= 0 || firstBlock >= kImpulseBlocks)
    return 0;
  const int blocks = std::min(blockCount, kImpulseBlocks - firstBlock);
  const int values = std::min<std::size_t>(bytes.size() / 4, std::size_t(blocks) * kImpulseTaps);
  for (int v = 0; v < values; ++v)
    table[firstBlock + v / kImpulseTaps][v % kImpulseTaps] =
        std::bit_cast<float>(LittleEndian32(bytes.data() + 4 * v));
  return values;
}

bool ReadImpulseFile(const std::filesystem::path& path, TImpulseTable& table, int firstBlock,
                     int blockCount) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    return false;
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return false;
  std::vector<char> bytes(kImpulseTableBytes);
  file.read(bytes.data(), std::streamsize(bytes.size()));
  if (file.bad())
    return false;
  bytes.resize(std::size_t(file.gcount()));
  ReadImpulseBytes(std::as_bytes(std::span(bytes)), table, firstBlock, blockCount);
  return true;
}

bool WriteImpulseFile(const std::filesystem::path& path, const TImpulseTable& table) {
  std::string bytes(kImpulseTableBytes, '\0');
  for (int b = 0; b < kImpulseBlocks; ++b)
    for (int t = 0; t < kImpulseTaps; ++t)
      PutLittleEndian32(std::bit_cast<uint32_t>(table[b][t]),
                        &bytes[kImpulseBlockBytes * b + 4 * t]);
  return WriteFileWhole(path, bytes);
}
