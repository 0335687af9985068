#include "platform/code_page.h"

#include <windows.h>

namespace platform {
namespace {

UINT ToWindows(CodePage codePage) {
  return codePage == CodePage::kUtf8 ? CP_UTF8 : CP_ACP;
}

}  // namespace

// char16_t and wchar_t are both UTF-16 code units on Windows; the text is
// viewed in place rather than copied. The build turns off strict aliasing, so
// accessing char16_t storage through wchar_t is well defined here.

int32_t MultiByteToWide(CodePage codePage, const char* bytes, int32_t count,
                        char16_t* wide, int32_t capacity) {
  if (bytes == nullptr || count <= 0 || capacity < 0 || (capacity > 0 && wide == nullptr)) {
    return 0;
  }
  return MultiByteToWideChar(ToWindows(codePage), 0, bytes, count,
                             reinterpret_cast<wchar_t*>(wide), capacity);
}

int32_t WideToMultiByte(CodePage codePage, const char16_t* wide, int32_t count,
                        char* bytes, int32_t capacity) {
  if (wide == nullptr || count <= 0 || capacity < 0 || (capacity > 0 && bytes == nullptr)) {
    return 0;
  }
  return WideCharToMultiByte(ToWindows(codePage), 0, reinterpret_cast<const wchar_t*>(wide),
                             count, bytes, capacity, nullptr, nullptr);
}

}  // namespace platform
