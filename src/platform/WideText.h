// Conversions between UTF-8, in which the plug-in keeps its texts, and the UTF-16 of the
// Windows wide-character functions. A sequence that is not valid becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
