// Libraries loaded at run time by module name.
#pragma once

namespace platform {

// Loads a library by its Windows module name (e.g. "libFLAC.dll") through the
// system's usual search. Returns null when it cannot be loaded. There is no
// unloading: a library stays loaded until the process ends.
void* LoadLibraryByName(const char16_t* moduleName);

// The address of an exported function or data symbol, or null.
void* FindSymbol(void* library, const char* name);

}  // namespace platform
