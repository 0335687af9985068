#include "tags/side_cue_file.h"

#include <cstdint>
#include <new>
#include <vector>

#include "platform/file.h"
#include "tags/text_conversion.h"

namespace {

// The length of the strict UTF-8 character at bytes[0], or 0 when none
// starts there (also when it is cut off by the end).
size_t Utf8CharacterLength(const unsigned char* bytes, size_t size) {
  const unsigned char lead = bytes[0];
  if (lead < 0x80) {
    return 1;
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
    return 0;
  }
  if (trail > size - 1) {
    return 0;
  }
  for (size_t k = 1; k <= trail; ++k) {
    if (bytes[k] < low || bytes[k] > high) {
      return 0;
    }
    low = 0x80;
    high = 0xBF;
  }
  return trail + 1;
}

// An invalid byte is skipped alone, so the count resynchronises at the next
// character.
void CountUtf8(const unsigned char* bytes, size_t size, SideCueDecoding& decoding) {
  size_t i = 0;
  while (i < size) {
    const size_t length = Utf8CharacterLength(bytes + i, size - i);
    if (length == 0) {
      ++decoding.invalidBytes;
      ++i;
      continue;
    }
    if (length > 1) {
      ++decoding.validMultiByte;
    }
    i += length;
  }
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

std::u16string Decode(const unsigned char* data, size_t size, SideCueDecoding& decoding) {
  if (data == nullptr || size == 0 || size > static_cast<size_t>(INT32_MAX)) {
    return {};
  }
  const auto* bytes = reinterpret_cast<const char*>(data);
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    decoding.encoding = CueTextEncoding::kUtf16LE;
    return DecodeUtf16(data + 2, size - 2, false);
  }
  if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
    decoding.encoding = CueTextEncoding::kUtf16BE;
    return DecodeUtf16(data + 2, size - 2, true);
  }
  // With the byte order mark left in, the first line would begin with U+FEFF
  // and its command would not be recognised. The mark declares UTF-8: no
  // fallback behind it.
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    decoding.encoding = CueTextEncoding::kUtf8WithBOM;
    CountUtf8(data + 3, size - 3, decoding);
    return ToWideString(std::string_view(bytes + 3, size - 3), platform::CodePage::kUtf8);
  }
  // Cue files from older rippers are written in the ANSI code page; as UTF-8
  // every accented letter of theirs would turn into U+FFFD. In a UTF-8 file,
  // one stray byte must not turn every other letter into mojibake.
  CountUtf8(data, size, decoding);
  const bool ansi = decoding.invalidBytes > decoding.validMultiByte;
  decoding.encoding = ansi ? CueTextEncoding::kAnsi : CueTextEncoding::kUtf8;
  return ToWideString(std::string_view(bytes, size), ansi ? platform::CodePage::kAnsi : platform::CodePage::kUtf8);
}

// The last dot of the file name, npos when it has none. A dot in a folder
// name never counts: for "Mr.Bungle\\track" a cut there would name an
// unrelated sheet in the parent folder.
size_t ExtensionDot(std::u16string_view path) {
  const size_t dot = path.rfind(u'.');
  const size_t nameStart = path.find_last_of(u"\\/:");
  return nameStart != std::u16string_view::npos && dot != std::u16string_view::npos && dot < nameStart
             ? std::u16string_view::npos
             : dot;
}

}  // namespace

bool GetSideCuePath(const char16_t* audioPath, std::u16string& cuePath) {
  if (audioPath == nullptr || *audioPath == u'\0') {
    return false;
  }
  const std::u16string_view path(audioPath);
  const size_t dot = ExtensionDot(path);
  cuePath.assign(path.substr(0, dot));
  cuePath += u".cue";
  return true;
}

bool GetWholeNameCuePath(const char16_t* audioPath, std::u16string& cuePath) {
  if (audioPath == nullptr || *audioPath == u'\0' || ExtensionDot(audioPath) == std::u16string_view::npos) {
    return false;
  }
  cuePath.assign(audioPath);
  cuePath += u".cue";
  return true;
}

std::u16string DecodeSideCueText(const char* bytes, size_t size, SideCueDecoding* decoding) {
  SideCueDecoding found;
  const std::u16string text = Decode(reinterpret_cast<const unsigned char*>(bytes), size, found);
  if (decoding != nullptr) {
    *decoding = found;
  }
  return text;
}

CueTextOutcome ReadCueFile(const char16_t* cuePath, std::u16string& text, SideCueDecoding* decoding) {
  platform::File file;
  if (!file.Open(cuePath, platform::FileAccess::kSequential)) {
    // Only a second look tells a missing file from one that could not be
    // opened; the look costs nothing on the usual path, where the file opens.
    platform::FileStamp stamp;
    const bool absent = platform::GetFileStamp(cuePath, stamp) && (!stamp.exists || stamp.directory);
    return absent ? CueTextOutcome::kAbsent : CueTextOutcome::kUnreadable;
  }
  uint64_t size = 0;
  if (!file.GetSize(size)) {
    return CueTextOutcome::kUnreadable;
  }
  if (size > kCueTextLimit) {
    return CueTextOutcome::kAbsent;
  }
  if (size == 0) {
    text.clear();
    if (decoding != nullptr) {
      *decoding = {};
    }
    return CueTextOutcome::kFound;
  }
  try {
    std::vector<char> buffer(static_cast<size_t>(size));
    uint32_t bytesRead = 0;
    if (!file.Read(buffer.data(), static_cast<uint32_t>(size), bytesRead) || bytesRead != size) {
      return CueTextOutcome::kUnreadable;
    }
    text = DecodeSideCueText(buffer.data(), buffer.size(), decoding);
  } catch (const std::bad_alloc&) {
    // Memory for a text within the limit ran out: the file is no less
    // absent on the next tick.
    return CueTextOutcome::kAbsent;
  }
  return CueTextOutcome::kFound;
}

CueTextOutcome ReadSideCueText(const char16_t* audioPath, std::u16string& text, SideCueDecoding* decoding) {
  std::u16string cuePath;
  if (GetSideCuePath(audioPath, cuePath)) {
    const CueTextOutcome outcome = ReadCueFile(cuePath.c_str(), text, decoding);
    if (outcome != CueTextOutcome::kAbsent) {
      return outcome;
    }
  }
  if (!GetWholeNameCuePath(audioPath, cuePath)) {
    return CueTextOutcome::kAbsent;
  }
  return ReadCueFile(cuePath.c_str(), text, decoding);
}
