#include "cuesheet/text_utilities.h"

#include <string_view>

namespace {

constexpr const char16_t* kLineBlanks = u" \t\r\n";

}  // namespace

void Split(const std::u16string& text, std::vector<std::u16string>& pieces,
           const char16_t* separator, bool trimPieces) {
  pieces.clear();
  const std::u16string_view sep(separator);
  std::size_t from = 0;
  for (;;) {
    const std::size_t match = sep.empty() ? std::u16string::npos : text.find(sep, from);
    const bool last = match == std::u16string::npos;
    std::u16string& piece =
        pieces.emplace_back(text, from, last ? std::u16string::npos : match - from);
    if (trimPieces) {
      Trim(piece, kLineBlanks);
    }
    if (last) {
      return;
    }
    from = match + sep.size();
  }
}

void Trim(std::u16string& text, const char16_t* characters) {
  const std::size_t first = text.find_first_not_of(characters);
  if (first == std::u16string::npos) {
    text.clear();
    return;
  }
  const std::size_t last = text.find_last_not_of(characters);
  text.erase(last + 1);
  text.erase(0, first);
}

std::u16string& ReplaceAll(std::u16string& text, const char16_t* from, const char16_t* to) {
  const std::u16string_view pattern(from);
  const std::u16string_view replacement(to);
  if (pattern.empty()) {
    return text;
  }
  std::size_t match = text.find(pattern);
  while (match != std::u16string::npos) {
    text.replace(match, pattern.size(), replacement);
    match = text.find(pattern, match + replacement.size());
  }
  return text;
}
