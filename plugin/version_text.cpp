#include "plugin/version_text.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "cuesheet/text_utilities.h"
#include "text/text_conversion.h"

namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

std::string ToAnsiPrefix(const std::u16string& text, std::size_t units) {
  return ToAnsiString(std::u16string_view(text).substr(0, units));
}

// The longest prefix of whole characters whose 8-bit form has at most
// `limit` bytes. Each candidate prefix is converted on its own, so a prefix
// of whole UTF-16 characters always gives whole characters of the code page;
// cutting the converted bytes instead could leave half a double-byte
// character behind.
std::string LongestFittingPrefix(const std::u16string& text, std::size_t limit) {
  std::vector<std::size_t> cuts;  // every unit count that ends on a whole character
  for (std::size_t i = 1; i <= text.size(); ++i) {
    if (i < text.size() && IsHighSurrogate(text[i - 1]) && IsLowSurrogate(text[i])) continue;
    cuts.push_back(i);
  }
  // The 8-bit form grows with the prefix, so the cuts can be searched by
  // halves: cuts[low - 1] (or nothing, for low 0) fits, cuts[high] does not.
  std::string best;
  std::size_t low = 0;
  std::size_t high = cuts.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    std::string candidate = ToAnsiPrefix(text, cuts[middle]);
    if (candidate.size() <= limit) {
      best = std::move(candidate);
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return best;
}

}  // namespace

std::u16string& ShortenVersionText(std::u16string& version) {
  return ReplaceAll(ReplaceAll(version, u", ", u"."), u".0.0", u"");
}

void CopyAnsiText(const std::u16string& text, char* buffer, std::size_t capacity) {
  if (capacity == 0) return;
  const std::size_t limit = capacity - 1;
  std::string ansi;
  ansi = ToAnsiString(text);
  if (ansi.size() > limit) ansi = LongestFittingPrefix(text, limit);
  std::memcpy(buffer, ansi.data(), ansi.size());
  buffer[ansi.size()] = '\0';
}
