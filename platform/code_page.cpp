#include "platform/code_page.h"

#include <cstddef>

namespace platform {

std::u16string DecodeText(std::string_view bytes, CodePage codePage) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT32_MAX)) {
    return {};
  }
  const auto count = static_cast<int32_t>(bytes.size());
  // Neither UTF-8 nor an ANSI code page yields more UTF-16 units than bytes.
  std::u16string wide(bytes.size(), u'\0');
  const int32_t written = MultiByteToWide(codePage, bytes.data(), count, wide.data(), count);
  if (written <= 0) {
    return {};
  }
  wide.resize(static_cast<std::size_t>(written));
  return wide;
}

std::string EncodeText(std::u16string_view wide, CodePage codePage) {
  if (wide.empty() || wide.size() > static_cast<std::size_t>(INT32_MAX)) {
    return {};
  }
  const auto count = static_cast<int32_t>(wide.size());
  const int32_t needed = WideToMultiByte(codePage, wide.data(), count, nullptr, 0);
  if (needed <= 0) {
    return {};
  }
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  const int32_t written = WideToMultiByte(codePage, wide.data(), count, bytes.data(), needed);
  if (written <= 0) {
    return {};
  }
  bytes.resize(static_cast<std::size_t>(written));
  return bytes;
}

}  // namespace platform
