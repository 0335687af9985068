// The description that a module's version resource gives: maker, product
// name and short version, "Quillmoor Sheetwalk v0.8". The plug-in lists
// itself by it and sheetwalk-inspect.exe prints it for --version.
#pragma once

#include <string>

// Writes the description of the module `module` (a module handle) into
// `text`; leaves `text` untouched and returns false when the module has no
// path, no version resource, or the resource lacks the translation table or
// one of the three strings.
bool ReadModuleDescription(void* module, std::u16string& text);
