#include "tags/tag_parser.h"

void UpperCaseTagKey(std::u16string& key) {
  for (char16_t& c : key) {
    if (c >= u'a' && c <= u'z') {
      c = static_cast<char16_t>(c - u'a' + u'A');
    }
  }
}

bool CTagParser::GetItem(const std::u16string& key, std::u16string& value) const {
  const auto found = items.find(key);
  if (found == items.end()) {
    return false;
  }
  value = found->second;
  return true;
}
