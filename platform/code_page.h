// Conversions between 8-bit text and UTF-16, as the player's system does them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum class CodePage {
  kAnsi,  // the system's ANSI code page
  kUtf8,
};

// The number of the system's ANSI code page (1252 in native runs).
uint32_t AnsiCodePageNumber();

// The whole of `bytes` decoded, NUL bytes like any other, or an empty string
// for empty input, input of 2 GiB or more, or a failed conversion. Malformed
// UTF-8 becomes U+FFFD.
std::u16string DecodeText(std::string_view bytes, CodePage codePage);

// The whole of `wide` encoded, the size asked for first, so a double-byte
// code page gets all the room it needs. Empty on empty input, input of 2 GiB
// or more, or a failed conversion. In the ANSI code page a character that the
// code page lacks becomes its default character.
std::string EncodeText(std::u16string_view wide, CodePage codePage);

// Whether the system can convert text of the code page `number`.
bool IsCodePageInstalled(uint32_t number);

// The whole of `bytes` decoded from the code page `number` into `text`. False,
// and `text` unchanged, when the code page is not installed, the bytes hold a
// sequence that is invalid in it, or the input is empty or 2 GiB or more.
bool DecodeCodePage(std::string_view bytes, uint32_t number, std::u16string& text);

// Decodes `count` bytes (count > 0; NUL bytes are converted like any other)
// into `wide`, which has room for `capacity` units. With a capacity of 0 only
// the number of units needed is returned. Malformed input is not rejected:
// each malformed UTF-8 sequence becomes U+FFFD. Returns the number of units
// written (or needed), 0 on failure, including too little room.
int32_t MultiByteToWide(CodePage codePage, const char* bytes, int32_t count,
                        char16_t* wide, int32_t capacity);

// Encodes `count` UTF-16 units (count > 0) into `bytes`, room `capacity`,
// capacity 0 asking for the size. In the ANSI code page a character that the
// code page lacks becomes the code page's default character. Returns the
// number of bytes written (or needed), 0 on failure, including too little room.
int32_t WideToMultiByte(CodePage codePage, const char16_t* wide, int32_t count,
                        char* bytes, int32_t capacity);

}  // namespace platform
