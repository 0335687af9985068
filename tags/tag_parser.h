// The tag reader base: the items of one file's tag, by upper-cased key.
#pragma once

#include <map>
#include <string>

using TagItems = std::map<std::u16string, std::u16string>;

// Upper-cases the ASCII letters a to z of a tag key; nothing else changes.
void UpperCaseTagKey(std::u16string& key);

// A reader object serves one lookup: Parse once, then GetItem. It is used
// and destroyed as its concrete type, so the destructor is not virtual.
class CTagParser {
 public:
  // Reads the tag items of the file at `path` (wide, NUL-terminated) into the
  // item map; true when a tag was found and read as a whole.
  virtual bool Parse(const char16_t* path) = 0;

  // Copies the value of `key` (compared exactly) into `value` and returns
  // true; returns false and leaves `value` alone when there is no such item.
  bool GetItem(const std::u16string& key, std::u16string& value) const;

  const TagItems& Items() const { return items; }

 protected:
  CTagParser() = default;
  ~CTagParser() = default;

  TagItems items;
};
