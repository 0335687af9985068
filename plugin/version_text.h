// The rules by which the plug-in turns its version resource into the 8-bit
// description that the player lists. Neither depends on Windows.
#pragma once

#include <cstddef>
#include <string>

// Shortens a version resource's "ProductVersion" in place and returns it:
// every ", " becomes "." and then every ".0.0" goes, so "0, 8, 0, 0" reads
// 0.8 and "1, 2, 3, 0" reads 1.2.3.0. A version written without blanks
// ("1,2,0,0") is left as it is.
std::u16string& ShortenVersionText(std::u16string& version);

// Writes `text` in the system's ANSI code page, with its terminating zero,
// into `buffer` of `capacity` bytes (at least 1). A text whose 8-bit form
// does not fit is cut after the last whole character that fits: never inside
// a double-byte character of the code page, never between the two halves of
// a surrogate pair. A failed conversion writes the empty text.
void CopyAnsiText(const std::u16string& text, char* buffer, std::size_t capacity);
