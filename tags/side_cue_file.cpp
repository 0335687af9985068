#include "tags/side_cue_file.h"

#include <cstdint>
#include <new>
#include <vector>

#include "platform/file.h"
#include "tags/text_conversion.h"

namespace {

// Strict UTF-8: no overlong forms, surrogates or code points above U+10FFFF.
bool IsValidUtf8(const unsigned char* bytes, size_t size) {
  size_t i = 0;
  while (i < size) {
    const unsigned char lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    size_t trail;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      trail = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      trail = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      trail = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (trail > size - i - 1) {
      return false;
    }
    for (size_t k = 1; k <= trail; ++k) {
      if (bytes[i + k] < low || bytes[i + k] > high) {
        return false;
      }
      low = 0x80;
      high = 0xBF;
    }
    i += trail + 1;
  }
  return true;
}

// The units after the byte order mark; a last odd byte is no unit and is dropped.
std::u16string DecodeUtf16(const unsigned char* bytes, size_t size, bool bigEndian) {
  std::u16string text;
  text.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) {
    const unsigned first = bytes[i];
    const unsigned second = bytes[i + 1];
    text.push_back(static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first));
  }
  return text;
}

}  // namespace

bool GetSideCuePath(const char16_t* audioPath, std::u16string& cuePath) {
  if (audioPath == nullptr || *audioPath == u'\0') {
    return false;
  }
  const std::u16string_view path(audioPath);
  const size_t dot = path.rfind(u'.');
  if (dot == std::u16string_view::npos) {
    return false;
  }
  cuePath.assign(path.substr(0, dot + 1));
  cuePath += u"cue";
  return true;
}

bool GetWholeNameCuePath(const char16_t* audioPath, std::u16string& cuePath) {
  if (audioPath == nullptr || *audioPath == u'\0') {
    return false;
  }
  cuePath.assign(audioPath);
  cuePath += u".cue";
  return true;
}

std::u16string DecodeSideCueText(const char* bytes, size_t size) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes);
  if (bytes == nullptr || size == 0 || size > static_cast<size_t>(INT32_MAX)) {
    return {};
  }
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    return DecodeUtf16(data + 2, size - 2, false);
  }
  if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
    return DecodeUtf16(data + 2, size - 2, true);
  }
  // With the byte order mark left in, the first line would begin with U+FEFF
  // and its command would not be recognised.
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    return ToWideString(std::string_view(bytes + 3, size - 3), platform::CodePage::kUtf8);
  }
  // Cue files from older rippers are written in the ANSI code page; as UTF-8
  // every accented letter of theirs would turn into U+FFFD.
  const bool utf8 = IsValidUtf8(data, size);
  return ToWideString(std::string_view(bytes, size), utf8 ? platform::CodePage::kUtf8 : platform::CodePage::kAnsi);
}

CueTextOutcome ReadCueFile(const char16_t* cuePath, std::u16string& text) {
  platform::File file;
  if (!file.Open(cuePath, platform::FileAccess::kSequential)) {
    // Only a second look tells a missing file from one that could not be
    // opened; the look costs nothing on the usual path, where the file opens.
    platform::FileStamp stamp;
    const bool absent = platform::GetFileStamp(cuePath, stamp) && (!stamp.exists || stamp.directory);
    return absent ? CueTextOutcome::kAbsent : CueTextOutcome::kUnreadable;
  }
  uint64_t size = 0;
  // The text is converted in one piece with a signed 32-bit count.
  if (!file.GetSize(size) || size > static_cast<uint64_t>(INT32_MAX)) {
    return CueTextOutcome::kUnreadable;
  }
  if (size == 0) {
    text.clear();
    return CueTextOutcome::kFound;
  }
  try {
    std::vector<char> buffer(static_cast<size_t>(size));
    uint32_t bytesRead = 0;
    if (!file.Read(buffer.data(), static_cast<uint32_t>(size), bytesRead) || bytesRead != size) {
      return CueTextOutcome::kUnreadable;
    }
    text = DecodeSideCueText(buffer.data(), buffer.size());
  } catch (const std::bad_alloc&) {
    return CueTextOutcome::kUnreadable;
  }
  return CueTextOutcome::kFound;
}

CueTextOutcome ReadSideCueText(const char16_t* audioPath, std::u16string& text) {
  std::u16string cuePath;
  if (GetSideCuePath(audioPath, cuePath)) {
    const CueTextOutcome outcome = ReadCueFile(cuePath.c_str(), text);
    if (outcome != CueTextOutcome::kAbsent) {
      return outcome;
    }
  }
  if (!GetWholeNameCuePath(audioPath, cuePath)) {
    return CueTextOutcome::kAbsent;
  }
  return ReadCueFile(cuePath.c_str(), text);
}
