#include "platform/file_name_posix.h"

#include <cstddef>

namespace platform {
namespace {

void PutUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The length of the valid UTF-8 character at the start of `in` and its code
// point, or 0: strict, so no overlong forms, surrogates or code points above
// U+10FFFF.
std::size_t ValidCharacter(std::string_view in, char32_t& c) {
  const auto lead = static_cast<unsigned char>(in[0]);
  std::size_t length = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, least = 0x80, c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, least = 0x800, c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, least = 0x10000, c = lead & 0x07;
  } else {
    return 0;
  }
  if (in.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(in[i]);
    if ((byte & 0xC0) != 0x80) return 0;
    c = c << 6 | (byte & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::u16string PathFromFileName(std::string_view name) {
  std::u16string path;
  path.reserve(name.size());
  while (!name.empty()) {
    char32_t c = 0;
    std::size_t length = ValidCharacter(name, c);
    if (length == 0) {
      c = 0xDC00 + static_cast<unsigned char>(name[0]);
      length = 1;
    }
    if (c >= 0x10000) {
      path += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      path += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      path += static_cast<char16_t>(c);
    }
    name.remove_prefix(length);
  }
  return path;
}

std::string FileNameFromPath(std::u16string_view path) {
  std::string name;
  name.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char16_t unit = path[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
      PutUtf8(name, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (path[++i] - 0xDC00));
    } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
      name += static_cast<char>(unit - 0xDC00);
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      PutUtf8(name, 0xFFFD);
    } else {
      PutUtf8(name, unit);
    }
  }
  return name;
}

}  // namespace platform
