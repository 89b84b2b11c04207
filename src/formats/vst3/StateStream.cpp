#include "formats/vst3/StateStream.h"

using namespace vst3;

bool WriteRecord(IBStream* stream, const std::vector<uint8_t>& record) {
  if (!stream)
    return false;
  std::size_t sent = 0;
  while (sent < record.size()) {
    int32 written = 0;
    if (stream->write(const_cast<uint8_t*>(record.data()) + sent, int32(record.size() - sent),
                      &written) != kResultOk ||
        written <= 0)
      return false;
    sent += std::size_t(written);
  }
  return true;
}

TReadExactly StreamReader(IBStream* stream) {
  return [stream](uint8_t* to, uint32_t size) {
    if (!stream)
      return false;
    uint32_t got = 0;
    while (got < size) {
      int32 read = 0;
      if (stream->read(to + got, int32(size - got), &read) != kResultOk || read <= 0 ||
          uint32_t(read) > size - got)
        return false;
      got += uint32_t(read);
    }
    return true;
  };
}
