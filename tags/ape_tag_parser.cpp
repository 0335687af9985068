#include "tags/ape_tag_parser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <string_view>

#include "platform/file.h"
#include "platform/storage_call.h"
#include "text/code_page_detection.h"
#include "text/text_conversion.h"

namespace {

constexpr uint32_t kFooterSize = 32;
constexpr uint32_t kID3v1Size = 128;
constexpr uint32_t kTailSize = kID3v1Size + kFooterSize;
constexpr char kSignature[8] = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
constexpr char kID3v1Signature[3] = {'T', 'A', 'G'};
const std::u16string kCueSheetItem = u"CUESHEET";

// An items region of an ordinary tag is read whole, at once. A larger one,
// where cover art or other large values lie, is read a little at a time
// around the item headers, its values skipped.
constexpr uint32_t kWholeRegionRead = 16 * 1024;
constexpr uint32_t kHeadersRead = 1024;

// A key decodes to the eight characters of CUESHEET only from 8 to 32 bytes:
// no code page makes more than one UTF-16 unit of a byte, or takes more than
// four bytes for one.
constexpr uint64_t kShortestCueKey = 8;
constexpr uint64_t kLongestCueKey = 32;

uint32_t ReadLittleEndian32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool IsCueSheetKey(const unsigned char* key, uint64_t length) {
  if (length < kShortestCueKey || length > kLongestCueKey) {
    return false;
  }
  std::u16string decoded = ToWideString(
      std::string_view(reinterpret_cast<const char*>(key), static_cast<size_t>(length)), platform::CodePage::kAnsi);
  UpperCaseTagKey(decoded);
  return decoded == kCueSheetItem;
}

// The items region of a tag, read through a window of fixed size. Offsets
// are relative to the region's start; nothing past the region is read, and
// all reads together stay within the read limit.
class ItemsRegion {
 public:
  ItemsRegion(ByteSource& source, uint64_t start, uint32_t size, uint32_t readLimit)
      : source_(source), start_(start), size_(size), readLeft_(readLimit) {}

  uint64_t size() const { return size_; }
  bool failed() const { return failed_; }

  // The bytes from `at` to the end of the window, of which `available`
  // (at least `needed`; the caller keeps `needed` within the region) are
  // there. Null when a read failed (failed() tells) or the read limit is
  // reached.
  const unsigned char* Bytes(uint64_t at, uint32_t needed, uint32_t& available) {
    if (InWindow(at, needed)) {
      const auto offset = static_cast<uint32_t>(at - windowStart_);
      available = windowLength_ - offset;
      return window_ + offset;
    }
    const uint32_t chunk = size_ <= kWholeRegionRead ? kWholeRegionRead : kHeadersRead;
    const auto length = static_cast<uint32_t>(std::min<uint64_t>({size_ - at, chunk, readLeft_}));
    if (length < needed) {
      return nullptr;
    }
    uint32_t bytesRead = 0;
    if (!source_.Read(start_ + at, window_, length, bytesRead) || bytesRead != length) {
      failed_ = true;
      return nullptr;
    }
    readLeft_ -= length;
    windowStart_ = at;
    windowLength_ = length;
    available = length;
    return window_;
  }

  // The `count` bytes at `at` (within the region) into `value`, from the
  // window where it holds them; they do not count against the read limit.
  bool ReadValue(uint64_t at, uint32_t count, std::string& value) {
    if (InWindow(at, count)) {
      value.assign(reinterpret_cast<const char*>(window_) + (at - windowStart_), count);
      return true;
    }
    value.assign(count, '\0');
    uint32_t bytesRead = 0;
    return source_.Read(start_ + at, value.data(), count, bytesRead) && bytesRead == count;
  }

 private:
  bool InWindow(uint64_t at, uint32_t count) const {
    return at >= windowStart_ && at - windowStart_ <= windowLength_ && windowLength_ - (at - windowStart_) >= count;
  }

  ByteSource& source_;
  const uint64_t start_;
  const uint64_t size_;
  uint32_t readLeft_;
  uint64_t windowStart_ = 0;
  uint32_t windowLength_ = 0;
  bool failed_ = false;
  unsigned char window_[kWholeRegionRead];
};

enum class Walk {
  kWhole,     // an item ends exactly at the end of the region
  kNotWhole,  // ParseAPEItems would return false
  kStopped,   // a read failed or the read limit was reached
};

struct CueValue {
  bool found = false;
  uint64_t offset = 0;
  uint32_t size = 0;
};

// ParseAPEItems' walk, step for step, storing nothing: `cue` gets the value of
// the last item whose key is CUESHEET.
Walk WalkItems(ItemsRegion& region, CueValue& cue) {
  const uint64_t n = region.size();
  if (n < 8) {
    return Walk::kNotWhole;
  }
  bool whole = false;
  uint64_t position = 0;
  do {
    uint32_t available = 0;
    const unsigned char* header = region.Bytes(position, 8, available);
    if (header == nullptr) {
      return Walk::kStopped;
    }
    const uint32_t valueSize = ReadLittleEndian32(header);
    // The key runs to its NUL, or to the end of the region if that comes
    // first; only its first bytes are kept, enough to compare it.
    const uint64_t keyStart = position + 8;
    unsigned char key[kLongestCueKey + 1];
    uint64_t keyLength = 0;
    for (uint64_t at = keyStart; at < n;) {
      const unsigned char* bytes = region.Bytes(at, 1, available);
      if (bytes == nullptr) {
        return Walk::kStopped;
      }
      const auto* nul = static_cast<const unsigned char*>(std::memchr(bytes, 0, available));
      const uint32_t run = nul != nullptr ? static_cast<uint32_t>(nul - bytes) : available;
      if (keyLength < sizeof key) {
        std::memcpy(key + keyLength, bytes, std::min<uint64_t>(run, sizeof key - keyLength));
      }
      keyLength += run;
      at += run;
      if (nul != nullptr) {
        break;
      }
    }
    const uint64_t v = keyStart + keyLength + 1;
    if (v <= n && valueSize <= n - v) {
      if (IsCueSheetKey(key, keyLength)) {
        cue = {true, v, valueSize};
      }
      position = v + valueSize;
      whole = position == n;
    } else {
      // The item runs past the region: resume right after its key.
      position = v;
    }
  } while (position <= n && n - position >= 8);
  return whole ? Walk::kWhole : Walk::kNotWhole;
}

APECueResult ReadCueItem(ByteSource& source, uint64_t regionStart, uint32_t regionSize, uint32_t readLimit,
                         std::u16string& text) {
  ItemsRegion region(source, regionStart, regionSize, readLimit);
  CueValue cue;
  const Walk walk = WalkItems(region, cue);
  if (region.failed()) {
    return {APECueStatus::kUnreadable};
  }
  if (walk != Walk::kWhole || !cue.found) {
    return {APECueStatus::kNoItem};
  }
  if (cue.size > kCueTextLimit) {
    return {APECueStatus::kTooLarge, false, cue.size};
  }
  std::string value;
  if (!region.ReadValue(cue.offset, cue.size, value)) {
    return {APECueStatus::kUnreadable};
  }
  APECueResult result{APECueStatus::kFound, false, cue.size};
  text = DecodeTagText(value, &result.codePage);
  return result;
}

APECueResult ReadCue(ByteSource& source, std::u16string& text) {
  uint64_t size = 0;
  if (!source.GetSize(size)) {
    return {APECueStatus::kUnreadable};
  }
  if (size <= kFooterSize) {
    return {APECueStatus::kNoTag};
  }
  // One read takes the footer at the end, an ID3v1 tag and a footer before it.
  unsigned char tail[kTailSize];
  const auto tailLength = static_cast<uint32_t>(std::min<uint64_t>(size, kTailSize));
  uint32_t bytesRead = 0;
  if (!source.Read(size - tailLength, tail, tailLength, bytesRead) || bytesRead != tailLength) {
    return {APECueStatus::kUnreadable};
  }
  const unsigned char* const tailEnd = tail + tailLength;
  // Version, item count and flags of the footer are not looked at: the
  // signature alone says that an APEv2 tag ends there. A tag at the very
  // end comes first.
  const unsigned char* footer = tailEnd - kFooterSize;
  uint64_t tagEnd = size;
  bool beforeID3v1 = false;
  if (std::memcmp(footer, kSignature, sizeof kSignature) != 0) {
    // As at the end, the footer needs more than its own 32 bytes before it.
    if (size <= kTailSize ||
        std::memcmp(tailEnd - kID3v1Size, kID3v1Signature, sizeof kID3v1Signature) != 0 ||
        std::memcmp(tail, kSignature, sizeof kSignature) != 0) {
      return {APECueStatus::kNoTag};
    }
    footer = tail;
    tagEnd = size - kID3v1Size;
    beforeID3v1 = true;
  }
  // The tag size counts the items and the footer, never a header; one below
  // the footer's own size cannot be a tag.
  const uint32_t tagSize = ReadLittleEndian32(footer + 12);
  if (tagSize < kFooterSize || tagSize > tagEnd) {
    return {APECueStatus::kNoTag};
  }
  APECueResult result =
      ReadCueItem(source, tagEnd - tagSize, tagSize - kFooterSize, kAPECueReadLimit - tailLength, text);
  result.beforeID3v1 = beforeID3v1;
  return result;
}

}  // namespace

APECueResult ReadAPEv2Cue(ByteSource& source, std::u16string& text) {
  // The lookup runs on the player's thread: whatever goes wrong inside it
  // is a plain result.
  try {
    return ReadCue(source, text);
  } catch (const std::bad_alloc&) {
    return {APECueStatus::kTooLarge};
  } catch (...) {
    return {APECueStatus::kUnreadable};
  }
}

APECueResult ReadAPEv2Cue(const char16_t* path, std::u16string& text) {
  try {
    platform::File file;
    if (!file.Open(path, platform::FileAccess::kRandomAccess)) {
      return {APECueStatus::kUnreadable};
    }
    // The start, in the same open: what libFLAC would look for there.
    char start[4] = {};
    uint32_t got = 0;
    const bool startRead = file.Read(start, sizeof start, got);
    FileByteSource source(file);
    APECueResult result = ReadCue(source, text);
    result.mayBeFLAC = !startRead || (got == 4 && std::memcmp(start, "fLaC", 4) == 0) ||
                       (got >= 3 && std::memcmp(start, "ID3", 3) == 0);
    return result;
  } catch (const std::bad_alloc&) {
    return {APECueStatus::kTooLarge};
  } catch (const platform::StorageWorkAbandoned&) {
    throw;
  } catch (...) {
    return {APECueStatus::kUnreadable};
  }
}

APECueResult ReadAPECueItem(ByteSource& source, uint64_t regionStart, uint32_t regionSize, uint32_t readLimit,
                            std::u16string& text) {
  try {
    return ReadCueItem(source, regionStart, regionSize, readLimit, text);
  } catch (...) {
    return {APECueStatus::kUnreadable};
  }
}

bool CAPETagParser::Parse(const char16_t* path) {
  items.clear();
  std::string data;
  if (!ReadAPETagData(path, data)) {
    return false;
  }
  return ParseAPEItems(data, items);
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
  unsigned char footer[kFooterSize];
  uint32_t bytesRead = 0;
  if (!file.Read(footer, kFooterSize, bytesRead) || bytesRead != kFooterSize ||
      std::memcmp(footer, kSignature, sizeof kSignature) != 0) {
    return false;
  }
  const uint32_t tagSize = ReadLittleEndian32(footer + 12);
  if (tagSize < kFooterSize || tagSize > fileSize || !file.Seek(fileSize - tagSize)) {
    return false;
  }
  const uint32_t regionSize = tagSize - kFooterSize;
  // A region larger than a string can hold (on 32 bits, any of 2 GiB and
  // more) throws std::length_error, not std::bad_alloc.
  try {
    data.assign(regionSize, '\0');
  } catch (const std::exception&) {
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
      // The cue sheet reads as the cue lookup reads it, also where it is no UTF-8.
      std::u16string value = key == kCueSheetItem ? DecodeTagText(region.substr(v, valueSize))
                                                  : ToWideString(region.substr(v, valueSize), platform::CodePage::kUtf8);
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
