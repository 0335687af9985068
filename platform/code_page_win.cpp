#include "platform/code_page.h"

#include <windows.h>

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

int32_t WideToMultiByte(CodePage codePage, const char16_t* wide, int32_t count,
                        char* bytes, int32_t capacity) {
  if (wide == nullptr || count <= 0 || capacity < 0 || (capacity > 0 && bytes == nullptr)) {
    return 0;
  }
  return WideCharToMultiByte(ToWindows(codePage), 0, AsWide(wide),
                             count, bytes, capacity, nullptr, nullptr);
}

}  // namespace platform
