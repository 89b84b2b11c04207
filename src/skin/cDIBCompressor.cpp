#include "skin/cDIBCompressor.h"

#include "skin/DIBLZH.h"
#include "skin/cDIBStandardCompressors.h"

#include <atomic>
#include <cstdio>
#include <mutex>

std::string TGUID::ToString() const {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                unsigned(D1), unsigned(D2), unsigned(D3), D4[0], D4[1], D4[2], D4[3], D4[4], D4[5],
                D4[6], D4[7]);
  return text;
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

uint16_t Load16(const uint8_t* in) {
  return uint16_t(in[0] | in[1] << 8);
}

} // namespace

std::optional<TGUID> TGUID::FromString(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}')
    return std::nullopt;
  uint8_t bytes[16];
  size_t pos = 1;
  for (int b = 0; b < 16; ++b) {
    if (pos == 9 || pos == 14 || pos == 19 || pos == 24) {
      if (text[pos] != '-')
        return std::nullopt;
      ++pos;
    }
    int hi = HexValue(text[pos]), lo = HexValue(text[pos + 1]);
    if (hi < 0 || lo < 0)
      return std::nullopt;
    bytes[b] = uint8_t(hi << 4 | lo);
    pos += 2;
  }
  TGUID g;
  g.D1 = uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
  g.D2 = uint16_t(bytes[4] << 8 | bytes[5]);
  g.D3 = uint16_t(bytes[6] << 8 | bytes[7]);
  for (int i = 0; i < 8; ++i)
    g.D4[i] = bytes[8 + i];
  return g;
}

void TGUID::Store(uint8_t* out) const {
  for (int i = 0; i < 4; ++i)
    out[i] = uint8_t(D1 >> (8 * i));
  out[4] = uint8_t(D2);
  out[5] = uint8_t(D2 >> 8);
  out[6] = uint8_t(D3);
  out[7] = uint8_t(D3 >> 8);
  for (int i = 0; i < 8; ++i)
    out[8 + i] = D4[i];
}

TGUID TGUID::Load(const uint8_t* in) {
  TGUID g;
  g.D1 = uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
  g.D2 = Load16(in + 4);
  g.D3 = Load16(in + 6);
  for (int i = 0; i < 8; ++i)
    g.D4[i] = in[8 + i];
  return g;
}

namespace {

struct TRegistry {
  std::mutex Lock;
  std::vector<std::unique_ptr<TAbstractDIBCompressor>> Compressors;

  TRegistry() {
    Compressors.push_back(std::make_unique<TRLEDIBCompressor>());
    Compressors.push_back(std::make_unique<TLZHDIBCompressor>());
  }
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

std::atomic<TAbstractDIBCompressor*> Current{nullptr};

} // namespace

void RegisterDIBCompressor(std::unique_ptr<TAbstractDIBCompressor> compressor) {
  if (!compressor)
    return;
  TRegistry& r = Registry();
  std::lock_guard lock(r.Lock);
  r.Compressors.push_back(std::move(compressor));
}

std::vector<TAbstractDIBCompressor*> RegisteredDIBCompressors() {
  TRegistry& r = Registry();
  std::lock_guard lock(r.Lock);
  std::vector<TAbstractDIBCompressor*> list;
  for (auto& c : r.Compressors)
    list.push_back(c.get());
  return list;
}

TAbstractDIBCompressor* FindDIBCompressor(const TGUID& identifier) {
  TRegistry& r = Registry();
  std::lock_guard lock(r.Lock);
  for (auto it = r.Compressors.rbegin(); it != r.Compressors.rend(); ++it)
    if ((*it)->HandlesIdentifier(identifier))
      return it->get();
  return nullptr;
}

TAbstractDIBCompressor* FindDIBCompressorByString(std::string_view identifier) {
  TRegistry& r = Registry();
  std::lock_guard lock(r.Lock);
  for (auto it = r.Compressors.rbegin(); it != r.Compressors.rend(); ++it)
    if ((*it)->GetIdentifier().ToString() == identifier)
      return it->get();
  return nullptr;
}

TAbstractDIBCompressor* CurrentDIBCompressor() {
  return Current.load();
}

void SetCurrentDIBCompressor(TAbstractDIBCompressor* compressor) {
  Current.store(compressor);
}
