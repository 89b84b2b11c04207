// The settings record: what a module holds comes back whole in a module of its own, and a record
// that is short, damaged or of a kind or version this plug-in does not know is refused whole.
#include "formats/common/SettingsRecord.h"
#include "formats/common/ModuleAdapter.h"

#include "effect/ZintraxParameters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

TReadExactly ReaderOf(const std::vector<uint8_t>& bytes) {
  auto next = std::make_shared<size_t>(0);
  return [&bytes, next](uint8_t* to, uint32_t size) {
    if (bytes.size() - *next < size)
      return false;
    std::memcpy(to, bytes.data() + *next, size);
    *next += size;
    return true;
  };
}

std::optional<TSavedSettings> Read(const std::vector<uint8_t>& bytes) {
  return ReadSettingsRecord(ReaderOf(bytes), kZintraxParameterCount, 3);
}

void PutWord(std::vector<uint8_t>& bytes, size_t at, uint32_t word) {
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = uint8_t(word >> (8 * i));
}

void PutFloat(std::vector<uint8_t>& bytes, size_t at, float value) {
  uint32_t word;
  std::memcpy(&word, &value, sizeof word);
  PutWord(bytes, at, word);
}

} // namespace

TEST(SettingsRecord, GivesAnotherModuleEveryProgramAndTheCurrentOne) {
  TModuleAdapter saved;
  saved.SelectProgram(1);
  saved.SetParameter(zpDistance, 123.25f);
  saved.SelectProgram(2);
  saved.SetParameter(zpYAxis, 0.3f);
  const std::vector<uint8_t> record = SettingsRecord(CaptureSettings(saved));
  ASSERT_EQ(record.size(), 24u + 4 * 3 * kZintraxParameterCount);
  EXPECT_EQ(0, std::memcmp(record.data(), "Zntxproc\1\0\0\0", 12));

  const std::optional<TSavedSettings> read = Read(record);
  ASSERT_TRUE(read);
  TModuleAdapter restored;
  ApplySettings(restored, *read);
  EXPECT_EQ(restored.CurrentProgram(), 2);
  for (int32_t program = 0; program < 3; ++program)
    for (int32_t index = 0; index < kZintraxParameterCount; ++index)
      EXPECT_EQ(restored.ProgramValue(program, index), saved.ProgramValue(program, index))
          << program << " " << index;
  EXPECT_EQ(restored.Parameter(zpYAxis), 0.3f);
  EXPECT_EQ(SettingsRecord(CaptureSettings(restored)), record);
}

// Bypassed, the record says so in a version of its own; a record of a plug-in that is not
// bypassed keeps the bytes of the first version.
TEST(SettingsRecord, KeepsTheBypass) {
  TModuleAdapter saved;
  saved.SetBypassed(true);
  const std::vector<uint8_t> record = SettingsRecord(CaptureSettings(saved));
  ASSERT_EQ(record.size(), 28u + 4 * 3 * kZintraxParameterCount);
  EXPECT_EQ(0, std::memcmp(record.data(), "Zntxproc\2\0\0\0", 12));
  const std::optional<TSavedSettings> read = Read(record);
  ASSERT_TRUE(read);
  TModuleAdapter restored;
  ApplySettings(restored, *read);
  EXPECT_TRUE(restored.Bypassed());
  EXPECT_EQ(SettingsRecord(CaptureSettings(restored)), record);
  std::vector<uint8_t> other = record;
  PutWord(other, other.size() - 4, 2);
  EXPECT_FALSE(Read(other)) << "a bypass word that is neither 0 nor 1";
  EXPECT_FALSE(Read(std::vector<uint8_t>(record.begin(), record.end() - 4)));
  ApplySettings(restored, *Read(SettingsRecord(CaptureSettings(TModuleAdapter()))));
  EXPECT_FALSE(restored.Bypassed());
}

TEST(SettingsRecord, RefusesShortDamagedAndUnknownRecords) {
  TModuleAdapter module;
  const std::vector<uint8_t> good = SettingsRecord(CaptureSettings(module));
  ASSERT_TRUE(Read(good));
  for (size_t length = 0; length < good.size(); ++length)
    EXPECT_FALSE(Read(std::vector<uint8_t>(good.begin(), good.begin() + length))) << length;

  const auto damaged = [&](auto change) {
    std::vector<uint8_t> bytes = good;
    change(bytes);
    return Read(bytes);
  };
  EXPECT_FALSE(damaged([](auto& b) { b[0] = 'z'; }));                    // magic
  EXPECT_FALSE(damaged([](auto& b) { std::memcpy(&b[4], "edit", 4); })); // kind
  EXPECT_FALSE(damaged([](auto& b) { PutWord(b, 8, 3); }));              // version
  EXPECT_FALSE(damaged([](auto& b) { PutWord(b, 8, 2); }));  // the bypass's, without its word
  EXPECT_FALSE(damaged([](auto& b) { PutWord(b, 12, 5); })); // parameters
  EXPECT_FALSE(damaged([](auto& b) { PutWord(b, 16, 4); })); // programs
  EXPECT_FALSE(damaged([](auto& b) { PutWord(b, 20, 3); })); // current
  EXPECT_FALSE(damaged([](auto& b) { PutFloat(b, 40, std::nanf("")); }));      // a value
  EXPECT_FALSE(damaged([](auto& b) { PutFloat(b, 24, INFINITY); }));           // a value
  EXPECT_FALSE(ReadSettingsRecord(ReaderOf(good), kZintraxParameterCount, 2)); // another shape
  EXPECT_FALSE(ReadSettingsRecord(nullptr, kZintraxParameterCount, 3));

  const TRecordKind edit = {'e', 'd', 'i', 't'};
  EXPECT_TRUE(ReadBareRecord(ReaderOf(BareRecord(edit)), edit));
  EXPECT_FALSE(ReadBareRecord(ReaderOf(BareRecord(edit)), kSettingsRecordKind));
  EXPECT_FALSE(Read(BareRecord(kSettingsRecordKind)));
}
