// UTF-16 text viewed as the wchar_t of Win32 calls, and back.
//
// char16_t and wchar_t are both UTF-16 code units on Windows, so text is
// viewed in place rather than copied. They are distinct types to the
// optimiser: the build turns off strict aliasing (-fno-strict-aliasing), which
// makes access to one through the other well defined here.
#pragma once

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");

namespace platform {

inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* AsUtf16(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }

}  // namespace platform
