#include "framework/DVstUtils.h"

#include "framework/DAEffect.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void CopyHostText(char* dest, std::string_view text, THostText bound) {
  if (!dest)
    return;
  std::size_t length = std::min(text.size(), static_cast<std::size_t>(bound) - 1);
  if (length < text.size())
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
      --length; // do not split a UTF-8 sequence
  std::memcpy(dest, text.data(), length);
  dest[length] = '\0';
}

std::string ReadHostText(const char* text, std::size_t maxLength) {
  if (!text)
    return {};
  return std::string(text, strnlen(text, maxLength));
}

std::string FourCharCodeToString(int32_t code) {
  const auto u = static_cast<uint32_t>(code);
  return {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8),
          static_cast<char>(u)};
}

int32_t StringToFourCharCode(std::string_view text) {
  return FourCharCode(text.at(0), text.at(1), text.at(2), text.at(3));
}

namespace {
char LocaleDecimalSeparator() {
  const lconv* conv = std::localeconv();
  return conv && conv->decimal_point && conv->decimal_point[0] ? conv->decimal_point[0] : '.';
}
} // namespace

std::string FloatToGeneralText(float value) {
  const double v = value;
  if (std::isnan(v))
    return "NAN";
  if (std::isinf(v))
    return v < 0 ? "-INF" : "INF";
  if (v == 0.0)
    return "0";
  // 15 significant digits: d.dddddddddddddde±x, rounded once by the C library.
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(v));
  std::string digits;
  const char* p = buffer;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9')
      digits += *p;
  const int exponent = std::atoi(p + 1);
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();

  const char separator = LocaleDecimalSeparator();
  std::string text = v < 0 ? "-" : "";
  if (exponent < 15 && exponent >= -5) {
    if (exponent < 0) {
      text += '0';
      text += separator;
      text.append(static_cast<std::size_t>(-exponent - 1), '0');
      text += digits;
    } else {
      const auto whole = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= whole) {
        text += digits;
        text.append(whole - digits.size(), '0');
      } else {
        text += digits.substr(0, whole);
        text += separator;
        text += digits.substr(whole);
      }
    }
  } else {
    text += digits[0];
    if (digits.size() > 1) {
      text += separator;
      text += digits.substr(1);
    }
    text += 'E';
    if (exponent < 0)
      text += '-';
    text += std::to_string(std::abs(exponent));
  }
  return text;
}

std::optional<double> ParseDecimalText(std::string_view text) {
  const std::string s(text);
  if (s.find_first_of("xX") != std::string::npos)
    return std::nullopt; // decimal only
  const char* begin = s.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  if (end == begin)
    return std::nullopt;
  while (*end == ' ' || *end == '\t')
    ++end;
  if (*end != '\0')
    return std::nullopt;
  return value;
}
