// Texts between the module's UTF-8 and the interface's fixed fields: 8-bit fields of a given size
// and 16-bit String128 fields, always terminated, cut where a character ends.
#pragma once

#include "formats/vst3/Vst3Base.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vst3 {

namespace texts {

// The code point starting at text[at], and where the next one starts; a malformed sequence
// reads as U+FFFD one byte long.
inline char32_t DecodeUtf8(std::string_view text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return uint8_t(text[i]); };
  const uint8_t lead = byte(at);
  int length = lead < 0x80           ? 1
               : (lead >> 5) == 0x6  ? 2
               : (lead >> 4) == 0xE  ? 3
               : (lead >> 3) == 0x1E ? 4
                                     : 0;
  if (length == 0 || at + std::size_t(length) > text.size()) {
    ++at;
    return 0xFFFD;
  }
  char32_t code = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if ((byte(at + std::size_t(i)) & 0xC0) != 0x80) {
      ++at;
      return 0xFFFD;
    }
    code = (code << 6) | (byte(at + std::size_t(i)) & 0x3F);
  }
  at += std::size_t(length);
  return code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ? 0xFFFD : code;
}

inline void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += char(code);
  } else if (code < 0x800) {
    out += char(0xC0 | (code >> 6));
    out += char(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += char(0xE0 | (code >> 12));
    out += char(0x80 | ((code >> 6) & 0x3F));
    out += char(0x80 | (code & 0x3F));
  } else {
    out += char(0xF0 | (code >> 18));
    out += char(0x80 | ((code >> 12) & 0x3F));
    out += char(0x80 | ((code >> 6) & 0x3F));
    out += char(0x80 | (code & 0x3F));
  }
}

} // namespace texts

// Copies text into a field of size bytes (the terminating zero included).
inline void CopyText8(char* dest, std::size_t size, std::string_view text) {
  if (!dest || size == 0)
    return;
  std::size_t end = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t next = at;
    texts::DecodeUtf8(text, next);
    if (next >= size)
      break;
    end = at = next;
  }
  text.copy(dest, end);
  dest[end] = '\0';
}

// Copies UTF-8 text into a field of size 16-bit units (the terminating zero included).
inline void CopyText16(char16* dest, std::size_t size, std::string_view text) {
  if (!dest || size == 0)
    return;
  std::size_t units = 0;
  for (std::size_t at = 0; at < text.size();) {
    const char32_t code = texts::DecodeUtf8(text, at);
    const std::size_t need = code >= 0x10000 ? 2 : 1;
    if (units + need >= size)
      break;
    if (need == 2) {
      dest[units++] = char16(0xD800 + ((code - 0x10000) >> 10));
      dest[units++] = char16(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      dest[units++] = char16(code);
    }
  }
  dest[units] = 0;
}

// A zero-terminated UTF-16 text of at most maxUnits units, as UTF-8; null reads as empty.
inline std::string ReadText16(const char16* text, std::size_t maxUnits = 128) {
  std::string out;
  if (!text)
    return out;
  for (std::size_t i = 0; i < maxUnits && text[i]; ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < maxUnits && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    texts::AppendUtf8(out, code);
  }
  return out;
}

inline void CopyText16(String128 dest, std::string_view text) {
  CopyText16(dest, 128, text);
}

} // namespace vst3
