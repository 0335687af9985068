#include "platform/library.h"

#include <windows.h>

#include <string>

#include "platform/storage_call.h"
#include "platform/utf16_view_win.h"

namespace platform {

void* LoadLibraryByName(const char16_t* moduleName) {
  if (moduleName == nullptr) {
    return nullptr;
  }
  BeginStorageCall();
  HMODULE library = LoadLibraryW(AsWide(moduleName));
  EndStorageCall();  // a library loaded here stays loaded anyway
  return library;
}

void* FindSymbol(void* library, const char* name) {
  if (library == nullptr || name == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

bool GetLibraryPath(void* library, std::u16string& path) {
  if (library == nullptr) {
    return false;
  }
  // A result that fills the buffer may be cut short (older systems do not
  // say so): grow until it fits, up to the longest path the system has.
  for (DWORD size = MAX_PATH; size <= 65536; size *= 2) {
    std::u16string buffer(size, u'\0');
    const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(library), AsWide(buffer.data()), size);
    if (length == 0) {
      return false;
    }
    if (length < size) {
      buffer.resize(length);
      path = std::move(buffer);
      return true;
    }
  }
  return false;
}

}  // namespace platform
