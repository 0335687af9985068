// Native file names are bytes, most often UTF-8 but not always: a name
// copied from an old disc or archive may hold bytes of an 8-bit code page.
// A path holds every such name without loss: each byte that is no part of
// valid UTF-8 stands as one unit from U+DC80 to U+DCFF (a lone low surrogate,
// which no valid text holds) and turns back into that byte.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::u16string PathFromFileName(std::string_view name);

// The bytes of the name that `path` holds; a lone surrogate that stands for
// no byte is written as U+FFFD.
std::string FileNameFromPath(std::u16string_view path);

}  // namespace platform
