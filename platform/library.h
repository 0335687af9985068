// Libraries loaded at run time by module name.
#pragma once

#include <string>

namespace platform {

// Loads a library by its Windows module name (e.g. "libFLAC.dll") through the
// system's usual search. Returns null when it cannot be loaded. There is no
// unloading: a library stays loaded until the process ends.
void* LoadLibraryByName(const char16_t* moduleName);

// The address of an exported function or data symbol, or null.
void* FindSymbol(void* library, const char* name);

// The full path of the file that a library returned by LoadLibraryByName was
// loaded from; false for null or when the system does not tell.
bool GetLibraryPath(void* library, std::u16string& path);

}  // namespace platform
