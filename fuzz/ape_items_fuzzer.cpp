// ParseAPEItems on arbitrary items regions. Beyond surviving, every walk must
// store only upper-cased keys, report success only with an item stored, and
// leave items that, written back as a region, read back the same. The cue
// lookup's walk over the same region must give what ParseAPEItems gives for
// CUESHEET; with a smaller read limit it may give up, never differ; and read
// as a whole file, the region costs no more reads than the limit allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "tags/ape_tag_parser.h"
#include "tags/byte_source.h"
#include "text/text_conversion.h"

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

class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(std::string_view bytes) : memory_(bytes) {}
  bool GetSize(uint64_t& size) override { return memory_.GetSize(size); }
  bool Read(uint64_t offset, void* buffer, uint32_t count, uint32_t& bytesRead) override {
    const bool ok = memory_.Read(offset, buffer, count, bytesRead);
    read += bytesRead;
    return ok;
  }
  uint64_t read = 0;

 private:
  MemoryByteSource memory_;
};

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

  const auto regionSize = static_cast<uint32_t>(size);
  const auto cue = items.find(u"CUESHEET");
  const bool found = result && cue != items.end();
  std::u16string text;
  CountingSource whole(region);
  const APECueResult walk = ReadAPECueItem(whole, 0, regionSize, UINT32_MAX, text);
  Check(walk.status == (found ? APECueStatus::kFound : APECueStatus::kNoItem));
  Check(!found || text == cue->second);

  std::u16string limitedText;
  CountingSource limited(region);
  const uint32_t limit = regionSize / 2;
  const APECueResult limitedWalk = ReadAPECueItem(limited, 0, regionSize, limit, limitedText);
  Check(limitedWalk.status == walk.status || limitedWalk.status == APECueStatus::kNoItem);
  Check(limitedWalk.status != APECueStatus::kFound || limitedText == text);
  Check(limited.read <= limit + limitedWalk.itemBytes);

  std::u16string fileText;
  CountingSource file(region);
  const APECueResult lookup = ReadAPEv2Cue(file, fileText);
  Check(lookup.status != APECueStatus::kUnreadable);
  Check(file.read <= kAPECueReadLimit + lookup.itemBytes);
  return 0;
}
