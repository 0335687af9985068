#include "platform/code_page.h"

#include <windows.h>

#include <utility>

#include "platform/utf16_view_win.h"

namespace platform {
namespace {

UINT ToWindows(CodePage codePage) {
  return codePage == CodePage::kUtf8 ? CP_UTF8 : CP_ACP;
}

}  // namespace

uint32_t AnsiCodePageNumber() { return GetACP(); }

int32_t MultiByteToWide(CodePage codePage, const char* bytes, int32_t count,
                        char16_t* wide, int32_t capacity) {
  if (bytes == nullptr || count <= 0 || capacity < 0 || (capacity > 0 && wide == nullptr)) {
    return 0;
  }
  return MultiByteToWideChar(ToWindows(codePage), 0, bytes, count,
                             AsWide(wide), capacity);
}

bool IsCodePageInstalled(uint32_t number) { return IsValidCodePage(number) != 0; }

bool DecodeCodePage(std::string_view bytes, uint32_t number, std::u16string& text) {
  if (bytes.empty() || bytes.size() > static_cast<size_t>(INT32_MAX) || !IsValidCodePage(number)) {
    return false;
  }
  const auto count = static_cast<int>(bytes.size());
  // No code page yields more UTF-16 units than it has bytes.
  std::u16string wide(bytes.size(), u'\0');
  const int written =
      MultiByteToWideChar(number, MB_ERR_INVALID_CHARS, bytes.data(), count, AsWide(wide.data()), count);
  if (written <= 0) {
    return false;
  }
  wide.resize(static_cast<size_t>(written));
  text = std::move(wide);
  return true;
}

int32_t WideToMultiByte(CodePage codePage, const char16_t* wide, int32_t count,
                        char* bytes, int32_t capacity) {
  if (wide == nullptr || count <= 0 || capacity < 0 || (capacity > 0 && bytes == nullptr)) {
    return 0;
  }
  return WideCharToMultiByte(ToWindows(codePage), 0, AsWide(wide),
                             count, bytes, capacity, nullptr, nullptr);
}

}  // namespace platform
