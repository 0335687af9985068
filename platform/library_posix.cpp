#include "platform/library.h"

#include <dlfcn.h>

#include <string_view>

namespace platform {
namespace {

// The Windows module names that the plug-in loads, and the shared object
// that stands for each here: the system's libFLAC of the same API.
struct ModuleName {
  const char16_t* windows;
  const char* posix;
};
constexpr ModuleName kModules[] = {
    {u"libFLAC.dll", "libFLAC.so.12"},
};

}  // namespace

void* LoadLibraryByName(const char16_t* moduleName) {
  if (moduleName == nullptr) {
    return nullptr;
  }
  for (const ModuleName& module : kModules) {
    if (std::u16string_view(moduleName) == module.windows) {
      return dlopen(module.posix, RTLD_NOW | RTLD_LOCAL);
    }
  }
  return nullptr;
}

void* FindSymbol(void* library, const char* name) {
  if (library == nullptr || name == nullptr) {
    return nullptr;
  }
  return dlsym(library, name);
}

}  // namespace platform
