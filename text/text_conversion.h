// The plug-in's conversions of stored text: 8-bit text to UTF-16, and UTF-16
// to the system's ANSI code page or to UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "platform/code_page.h"

// Decodes every byte of `bytes` (NUL bytes inside are converted too). Empty
// input, a first byte of NUL and any failure give an empty string; malformed
// UTF-8 becomes U+FFFD.
std::u16string ToWideString(std::string_view bytes, platform::CodePage codePage);

// Encodes every unit of `wide` (NUL units inside too), however many bytes
// each character needs. Empty input, a first unit of NUL and any failure give
// an empty string. In the ANSI code page, characters it lacks become its
// default character.
std::string ToAnsiString(std::u16string_view wide);
std::string ToUtf8String(std::u16string_view wide);
