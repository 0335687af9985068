#include "tags/ape_tag_parser.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "platform/file.h"
#include "tags/text_conversion.h"

namespace {

constexpr uint32_t kFooterSize = 32;
constexpr char kSignature[8] = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
const std::u16string kCueSheetItem = u"CUESHEET";

uint32_t ReadLittleEndian32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

bool CAPETagParser::Parse(const char16_t* path) {
  items.clear();
  std::string data;
  if (!ReadAPETagData(path, data)) {
    return false;
  }
  return ParseAPEItems(data, items);
}

CueTextOutcome ReadAPEv2CueText(const char16_t* path, std::u16string& text) {
  CAPETagParser tag;
  return tag.Parse(path) && tag.GetItem(kCueSheetItem, text) ? CueTextOutcome::kFound : CueTextOutcome::kAbsent;
}

bool ReadAPETagData(const char16_t* path, std::string& data) {
  platform::File file;
  if (!file.Open(path, platform::FileAccess::kRandomAccess)) {
    return false;
  }
  uint64_t fileSize = 0;
  if (!file.GetSize(fileSize) || fileSize <= kFooterSize || !file.Seek(fileSize - kFooterSize)) {
    return false;
  }
  // Version, item count and flags of the footer are not looked at: the
  // signature alone says that the file ends with an APEv2 tag.
  unsigned char footer[kFooterSize];
  uint32_t bytesRead = 0;
  if (!file.Read(footer, kFooterSize, bytesRead) || bytesRead != kFooterSize ||
      std::memcmp(footer, kSignature, sizeof kSignature) != 0) {
    return false;
  }
  // The tag size counts the items and the footer, never a header; one below
  // the footer's own size cannot be a tag.
  const uint32_t tagSize = ReadLittleEndian32(footer + 12);
  if (tagSize < kFooterSize || tagSize > fileSize || !file.Seek(fileSize - tagSize)) {
    return false;
  }
  const uint32_t regionSize = tagSize - kFooterSize;
  try {
    data.assign(regionSize, '\0');
  } catch (const std::bad_alloc&) {
    data.clear();
    return false;
  }
  return file.Read(data.data(), regionSize, bytesRead) && bytesRead == regionSize;
}

bool ParseAPEItems(const std::string& data, TagItems& items) {
  const size_t n = data.size();
  if (n < 8) {
    return false;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  bool result = false;
  size_t position = 0;
  do {
    const uint32_t valueSize = ReadLittleEndian32(bytes + position);
    // The key runs to its NUL, or to the end of the region if that comes first.
    const size_t keyStart = position + 8;
    const void* nul = std::memchr(bytes + keyStart, 0, n - keyStart);
    const size_t keyLength =
        nul != nullptr ? static_cast<const unsigned char*>(nul) - (bytes + keyStart) : n - keyStart;
    const size_t v = keyStart + keyLength + 1;
    if (v <= n && valueSize <= n - v) {
      const std::string_view region(data);
      std::u16string key = ToWideString(region.substr(keyStart, keyLength), platform::CodePage::kAnsi);
      UpperCaseTagKey(key);
      std::u16string value = ToWideString(region.substr(v, valueSize), platform::CodePage::kUtf8);
      items.insert_or_assign(std::move(key), std::move(value));
      position = v + valueSize;
      if (position == n) {
        result = true;
      }
    } else {
      // The item runs past the region: resume right after its key.
      position = v;
    }
  } while (position <= n && n - position >= 8);
  return result;
}
