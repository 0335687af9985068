#include "text/text_conversion.h"

namespace {

// Stored text that begins with NUL is empty, whatever follows the NUL.
std::string Encode(std::u16string_view wide, platform::CodePage codePage) {
  if (wide.empty() || wide[0] == u'\0') {
    return {};
  }
  return platform::EncodeText(wide, codePage);
}

}  // namespace

std::u16string ToWideString(std::string_view bytes, platform::CodePage codePage) {
  if (bytes.empty() || bytes[0] == '\0') {
    return {};
  }
  return platform::DecodeText(bytes, codePage);
}

std::string ToAnsiString(std::u16string_view wide) { return Encode(wide, platform::CodePage::kAnsi); }

std::string ToUtf8String(std::u16string_view wide) { return Encode(wide, platform::CodePage::kUtf8); }
