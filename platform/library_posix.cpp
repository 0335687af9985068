#include "platform/library.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "platform/storage_call.h"

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
      BeginStorageCall();
      void* library = dlopen(module.posix, RTLD_NOW | RTLD_LOCAL);
      EndStorageCall();  // a library loaded here stays loaded anyway
      return library;
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

bool GetLibraryPath(void* library, std::u16string& path) {
  link_map* map = nullptr;
  if (library == nullptr || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
      map->l_name == nullptr || map->l_name[0] == '\0') {
    return false;
  }
  // The name as the loader opened it, which a relative search folder leaves
  // relative to the working folder.
  std::string name = map->l_name;
  if (name[0] != '/') {
    char folder[4096];
    if (getcwd(folder, sizeof folder) == nullptr) {
      return false;
    }
    name = std::string(folder) + "/" + name;
  }
  std::u16string wide = DecodeText(name, CodePage::kUtf8);
  if (wide.empty()) {
    return false;
  }
  path = std::move(wide);
  return true;
}

}  // namespace platform
