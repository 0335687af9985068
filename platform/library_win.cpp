#include "platform/library.h"

#include <windows.h>

namespace platform {

void* LoadLibraryByName(const char16_t* moduleName) {
  if (moduleName == nullptr) {
    return nullptr;
  }
  // The module name is viewed as wchar_t in place (both are UTF-16 units on
  // Windows; strict aliasing is off in this build).
  return LoadLibraryW(reinterpret_cast<const wchar_t*>(moduleName));
}

void* FindSymbol(void* library, const char* name) {
  if (library == nullptr || name == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace platform
