// The FLAC reader's comment splitting on arbitrary comments. The input is cut
// into comments at each 0xFF byte. Each stored item
// must be its comment split at the first '=', the key upper-cased, and of
// equal keys the last comment must win.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tags/flac_tag_parser.h"
#include "text/code_page_detection.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

char16_t UpperCase(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Checks one comment on its own and returns its item, if it gave one.
bool CheckComment(const uint8_t* bytes, size_t length, TagItems& single) {
  const bool stored = AddFLACComment(bytes, static_cast<uint32_t>(length), single);
  // Comments that are no UTF-8 are read in an 8-bit code page, as the reader does.
  const std::u16string text = DecodeTagText(std::string_view(reinterpret_cast<const char*>(bytes), length));
  const size_t end = text.find(u'\0');
  const size_t equals = text.find(u'=');
  Check(stored == (!text.empty() && equals < end));
  Check(single.size() == (stored ? 1u : 0u));
  if (!stored) {
    return false;
  }
  const auto& [key, value] = *single.begin();
  Check(key.size() == equals);
  for (size_t i = 0; i < key.size(); ++i) {
    Check(key[i] == UpperCase(text[i]) && !(key[i] >= u'a' && key[i] <= u'z'));
  }
  Check(value.find(u'\0') == std::u16string::npos);
  Check(text.compare(equals + 1, value.size(), value) == 0);
  Check(equals + 1 + value.size() == std::min(end, text.size()));
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TagItems items;
  TagItems expected;
  size_t start = 0;
  while (start <= size) {
    size_t stop = start;
    while (stop < size && data[stop] != 0xFF) {
      ++stop;
    }
    TagItems single;
    if (CheckComment(data + start, stop - start, single)) {
      expected.insert_or_assign(single.begin()->first, single.begin()->second);
    }
    AddFLACComment(data + start, static_cast<uint32_t>(stop - start), items);
    start = stop + 1;
  }
  Check(items == expected);
  return 0;
}
