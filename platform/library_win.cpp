#include "platform/library.h"

#include <windows.h>

#include "platform/utf16_view_win.h"

namespace platform {

void* LoadLibraryByName(const char16_t* moduleName) {
  if (moduleName == nullptr) {
    return nullptr;
  }
  return LoadLibraryW(AsWide(moduleName));
}

void* FindSymbol(void* library, const char* name) {
  if (library == nullptr || name == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace platform
