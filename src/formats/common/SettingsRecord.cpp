#include "formats/common/SettingsRecord.h"

#include "formats/common/ModuleAdapter.h"

#include <cmath>
#include <cstring>

namespace {

constexpr char kMagic[4] = {'Z', 'n', 't', 'x'};
// The version of a record without a bypass, and of one that says it is bypassed.
constexpr uint32_t kVersion = 1;
constexpr uint32_t kBypassedVersion = 2;
// Far beyond any plug-in of ours: a count above it is damage, not a bigger plug-in.
constexpr uint32_t kMostValues = 1u << 16;

class TWriter {
public:
  void Bytes(const char (&bytes)[4]) { FBytes.insert(FBytes.end(), bytes, bytes + 4); }
  void Word(uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8)
      FBytes.push_back(uint8_t(word >> shift));
  }
  void Float(float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    Word(word);
  }
  void Header(const TRecordKind& kind, uint32_t version = kVersion) {
    Bytes(kMagic);
    Bytes(kind);
    Word(version);
  }
  std::vector<uint8_t> Take() { return std::move(FBytes); }

private:
  std::vector<uint8_t> FBytes;
};

bool ReadWord(const TReadExactly& read, uint32_t& word) {
  uint8_t bytes[4];
  if (!read(bytes, sizeof bytes))
    return false;
  word = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
  return true;
}

// The header of a record of that kind; answers its version, 0 when the stream holds none.
uint32_t ReadHeader(const TReadExactly& read, const TRecordKind& kind) {
  uint8_t magic[4], found[4];
  uint32_t version = 0;
  if (!read || !read(magic, 4) || !read(found, 4) || !ReadWord(read, version) ||
      std::memcmp(magic, kMagic, 4) != 0 || std::memcmp(found, kind, 4) != 0)
    return 0;
  return version;
}

} // namespace

std::vector<uint8_t> SettingsRecord(const TSavedSettings& settings) {
  TWriter writer;
  writer.Header(kSettingsRecordKind, settings.Bypassed ? kBypassedVersion : kVersion);
  writer.Word(uint32_t(settings.Parameters));
  writer.Word(uint32_t(settings.Programs));
  writer.Word(uint32_t(settings.CurrentProgram));
  for (float value : settings.Values)
    writer.Float(value);
  if (settings.Bypassed)
    writer.Word(1);
  return writer.Take();
}

std::optional<TSavedSettings> ReadSettingsRecord(const TReadExactly& read, int32_t parameters,
                                                 int32_t programs) {
  const uint32_t version = ReadHeader(read, kSettingsRecordKind);
  if (version != kVersion && version != kBypassedVersion)
    return std::nullopt;
  uint32_t savedParameters = 0, savedPrograms = 0, current = 0;
  if (!ReadWord(read, savedParameters) || !ReadWord(read, savedPrograms) ||
      !ReadWord(read, current))
    return std::nullopt;
  if (savedParameters != uint32_t(parameters) || savedPrograms != uint32_t(programs) ||
      uint64_t(savedParameters) * savedPrograms > kMostValues || current >= savedPrograms)
    return std::nullopt;
  TSavedSettings settings;
  settings.Parameters = parameters;
  settings.Programs = programs;
  settings.CurrentProgram = int32_t(current);
  settings.Values.resize(std::size_t(parameters) * std::size_t(programs));
  for (float& value : settings.Values) {
    uint32_t word = 0;
    if (!ReadWord(read, word))
      return std::nullopt;
    std::memcpy(&value, &word, sizeof value);
    if (!std::isfinite(value))
      return std::nullopt;
  }
  if (version == kBypassedVersion) {
    uint32_t bypassed = 0;
    if (!ReadWord(read, bypassed) || bypassed > 1)
      return std::nullopt;
    settings.Bypassed = bypassed == 1;
  }
  return settings;
}

std::vector<uint8_t> BareRecord(const TRecordKind& kind) {
  TWriter writer;
  writer.Header(kind);
  return writer.Take();
}

bool ReadBareRecord(const TReadExactly& read, const TRecordKind& kind) {
  return ReadHeader(read, kind) == kVersion;
}

TSavedSettings CaptureSettings(const TModuleAdapter& module) {
  TSavedSettings settings;
  settings.Parameters = module.ParameterCount();
  settings.Programs = module.ProgramCount();
  settings.CurrentProgram = module.CurrentProgram();
  for (int32_t program = 0; program < settings.Programs; ++program)
    for (int32_t index = 0; index < settings.Parameters; ++index)
      settings.Values.push_back(program == settings.CurrentProgram
                                    ? module.Parameter(index)
                                    : module.ProgramValue(program, index));
  settings.Bypassed = module.Bypassed();
  return settings;
}

void ApplySettings(TModuleAdapter& module, const TSavedSettings& settings) {
  // Each program is selected and given its values (a value set is stored into the current
  // program), then the saved current program is selected again.
  for (int32_t program = 0; program < settings.Programs; ++program) {
    module.SelectProgram(program);
    for (int32_t index = 0; index < settings.Parameters; ++index)
      module.SetParameter(index,
                          settings.Values[std::size_t(program * settings.Parameters + index)]);
  }
  module.SelectProgram(settings.CurrentProgram);
  module.SetBypassed(settings.Bypassed);
}
