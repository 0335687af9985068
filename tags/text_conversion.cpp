#include "tags/text_conversion.h"

#include <cstring>

#include "platform/code_page.h"

std::u16string ToWideString(const char* bytes, int32_t count, bool utf8) {
  // A count of 0 is settled before the first byte is looked at, so an empty
  // range at the very end of a buffer is never read.
  if (bytes == nullptr || count == 0 || count < -1 || bytes[0] == '\0') {
    return {};
  }
  if (count == -1) {
    const size_t length = std::strlen(bytes);
    if (length > static_cast<size_t>(INT32_MAX)) {
      return {};
    }
    count = static_cast<int32_t>(length);
  }
  // Neither UTF-8 nor an ANSI code page yields more UTF-16 units than bytes.
  std::u16string wide(static_cast<size_t>(count), u'\0');
  const platform::CodePage codePage = utf8 ? platform::CodePage::kUtf8 : platform::CodePage::kAnsi;
  const int32_t written = platform::MultiByteToWide(codePage, bytes, count, wide.data(), count);
  if (written <= 0) {
    return {};
  }
  wide.resize(static_cast<size_t>(written));
  return wide;
}

std::string ToAnsiString(const char16_t* wide, int32_t count) {
  if (wide == nullptr || count == 0 || count < -1 || wide[0] == u'\0') {
    return {};
  }
  if (count == -1) {
    const size_t length = std::char_traits<char16_t>::length(wide);
    if (length > static_cast<size_t>(INT32_MAX)) {
      return {};
    }
    count = static_cast<int32_t>(length);
  }
  // A double-byte code page may need two bytes for one unit: ask first.
  const int32_t needed = platform::WideToMultiByte(platform::CodePage::kAnsi, wide, count, nullptr, 0);
  if (needed <= 0) {
    return {};
  }
  std::string bytes(static_cast<size_t>(needed), '\0');
  const int32_t written =
      platform::WideToMultiByte(platform::CodePage::kAnsi, wide, count, bytes.data(), needed);
  if (written <= 0) {
    return {};
  }
  bytes.resize(static_cast<size_t>(written));
  return bytes;
}

std::string ToAnsiString(const std::u16string& wide) {
  if (wide.size() > static_cast<size_t>(INT32_MAX)) {
    return {};
  }
  return ToAnsiString(wide.c_str(), static_cast<int32_t>(wide.size()));
}
