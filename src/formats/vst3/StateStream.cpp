#include "formats/vst3/StateStream.h"

#include <cmath>
#include <cstring>

using namespace vst3;

namespace {

constexpr char kMagic[4] = {'Z', 'n', 't', 'x'};
constexpr char kComponentSide[4] = {'p', 'r', 'o', 'c'};
constexpr char kControllerSide[4] = {'e', 'd', 'i', 't'};
constexpr uint32_t kVersion = 1;
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
  bool SendTo(IBStream* stream) {
    if (!stream)
      return false;
    std::size_t sent = 0;
    while (sent < FBytes.size()) {
      int32 written = 0;
      if (stream->write(FBytes.data() + sent, int32(FBytes.size() - sent), &written) != kResultOk ||
          written <= 0)
        return false;
      sent += std::size_t(written);
    }
    return true;
  }

private:
  std::vector<uint8_t> FBytes;
};

// Reads exactly what is asked, gathering short reads; false at the end of the stream.
bool ReadExactly(IBStream* stream, void* to, uint32_t size) {
  auto* bytes = static_cast<uint8_t*>(to);
  uint32_t got = 0;
  while (got < size) {
    int32 read = 0;
    if (stream->read(bytes + got, int32(size - got), &read) != kResultOk || read <= 0 ||
        uint32_t(read) > size - got)
      return false;
    got += uint32_t(read);
  }
  return true;
}

bool ReadWord(IBStream* stream, uint32_t& word) {
  uint8_t bytes[4];
  if (!ReadExactly(stream, bytes, sizeof bytes))
    return false;
  word = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
  return true;
}

// The header of one side; answers its version, 0 when the stream holds none of this side.
uint32_t ReadHeader(IBStream* stream, const char (&side)[4]) {
  char magic[4], kind[4];
  uint32_t version = 0;
  if (!stream || !ReadExactly(stream, magic, 4) || !ReadExactly(stream, kind, 4) ||
      !ReadWord(stream, version) || std::memcmp(magic, kMagic, 4) != 0 ||
      std::memcmp(kind, side, 4) != 0)
    return 0;
  return version;
}

} // namespace

bool WriteComponentState(IBStream* stream, const TSavedSettings& settings) {
  TWriter writer;
  writer.Bytes(kMagic);
  writer.Bytes(kComponentSide);
  writer.Word(kVersion);
  writer.Word(uint32_t(settings.Parameters));
  writer.Word(uint32_t(settings.Programs));
  writer.Word(uint32_t(settings.CurrentProgram));
  for (float value : settings.Values)
    writer.Float(value);
  return writer.SendTo(stream);
}

bool WriteControllerState(IBStream* stream) {
  TWriter writer;
  writer.Bytes(kMagic);
  writer.Bytes(kControllerSide);
  writer.Word(kVersion);
  return writer.SendTo(stream);
}

std::optional<TSavedSettings> ReadComponentState(IBStream* stream, int32_t parameters,
                                                 int32_t programs) {
  if (ReadHeader(stream, kComponentSide) != 1)
    return std::nullopt;
  uint32_t savedParameters = 0, savedPrograms = 0, current = 0;
  if (!ReadWord(stream, savedParameters) || !ReadWord(stream, savedPrograms) ||
      !ReadWord(stream, current))
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
    if (!ReadWord(stream, word))
      return std::nullopt;
    std::memcpy(&value, &word, sizeof value);
    if (!std::isfinite(value))
      return std::nullopt;
  }
  return settings;
}

bool ReadControllerState(IBStream* stream) {
  return ReadHeader(stream, kControllerSide) == 1;
}
