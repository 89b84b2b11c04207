// Helpers for texts and numbers at the host boundary.
#pragma once

#include "platform/Rounding.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Sizes of the host buffers that texts are written to, terminating zero included.
enum class THostText : std::size_t {
  Parameter = 32, // parameter names, labels and display texts
  ProgramName = 24,
  EffectName = 32,
  VendorProduct = 64, // vendor and product strings
  PinLabel = 64,
  PinShortLabel = 8,
};

// Copies text into the host buffer dest, cut to the bound (a UTF-8 sequence is never split)
// and terminated by a zero. Does nothing when dest is null.
void CopyHostText(char* dest, std::string_view text, THostText bound);

// Reads a zero-terminated text handed over by the host, at most maxLength characters of it.
// A null pointer reads as the empty text.
std::string ReadHostText(const char* text, std::size_t maxLength);

// The four characters of a FourCharCode value, most significant byte first, and back.
std::string FourCharCodeToString(int32_t code);
int32_t StringToFourCharCode(std::string_view text); // requires at least four characters

// The general floating-point format with 15 significant digits: fixed notation for values below
// 10^15 and from 0.00001 on, scientific otherwise; trailing zeros removed; the decimal separator
// of the process locale.
std::string FloatToGeneralText(float value);

// A decimal number written with the process locale's separator, surrounding blanks allowed;
// nothing when the text is not entirely a number.
std::optional<double> ParseDecimalText(std::string_view text);
