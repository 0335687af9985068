// The plug-in's two text conversions: stored 8-bit text to UTF-16, and UTF-16
// to the system's ANSI code page.
#pragma once

#include <cstdint>
#include <string>

// Decodes 8-bit text: UTF-8 when `utf8`, else the system's ANSI code page.
// `count` is the number of bytes (NUL bytes inside are converted too), or -1
// for up to the first NUL. Null input, a first byte of NUL, a count of 0 and
// any failure give an empty string; malformed UTF-8 becomes U+FFFD.
std::u16string ToWideString(const char* bytes, int32_t count, bool utf8);

// Encodes UTF-16 text in the system's ANSI code page; characters the code page
// lacks become its default character. `count` is the number of units, or -1
// for up to the first NUL. Null input, a first unit of NUL and any failure
// give an empty string. The whole text is converted, however many bytes each
// character needs.
std::string ToAnsiString(const char16_t* wide, int32_t count);

// All units of `wide`, NUL units inside included.
std::string ToAnsiString(const std::u16string& wide);
