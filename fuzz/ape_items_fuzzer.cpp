// ParseAPEItems on arbitrary items regions. Beyond surviving, every walk must
// store only upper-cased keys, report success only with an item stored, and
// leave items that, written back as a region, read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tags/ape_tag_parser.h"
#include "tags/text_conversion.h"
#include "platform/code_page.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

std::string Le32(uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) {
    bytes.push_back(static_cast<char>(value >> (8 * i)));
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string region(reinterpret_cast<const char*>(data), size);
  TagItems items;
  const bool result = ParseAPEItems(region, items);
  Check(!result || !items.empty());

  std::string written;
  for (const auto& [key, value] : items) {
    for (const char16_t c : key) {
      Check(c != u'\0' && !(c >= u'a' && c <= u'z'));
    }
    // A stored value never begins with NUL: such a value decodes as empty.
    Check(value.empty() || value[0] != u'\0');
    const std::string keyBytes = ToAnsiString(key);
    const std::string valueBytes = ToUtf8String(value);
    written += Le32(static_cast<uint32_t>(valueBytes.size())) + Le32(0) + keyBytes + '\0' + valueBytes;
  }
  TagItems reread;
  Check(ParseAPEItems(written, reread) == !items.empty());
  Check(reread == items);
  return 0;
}
