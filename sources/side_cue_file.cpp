#include "sources/side_cue_file.h"

#include <cstdint>
#include <new>
#include <vector>

#include "platform/code_page.h"
#include "platform/file.h"
#include "text/code_page_detection.h"
#include "text/text_conversion.h"

namespace {

void NoteUtf8Counts(std::string_view text, SideCueDecoding& decoding) {
  const Utf8Counts counts = CountUtf8(text);
  decoding.invalidBytes = counts.invalidBytes;
  decoding.validMultiByte = counts.validMultiByte;
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

// UTF-16 without a byte order mark, as some tools write cue files: a cue
// sheet is mostly ASCII, so most of its units have a zero high byte, which
// tells the byte order. Valid 8-bit text has no zero bytes.
bool GuessUtf16(const unsigned char* data, size_t size, bool& bigEndian) {
  constexpr size_t kShortest = 16;
  if (size < kShortest) {
    return false;
  }
  size_t evenZeros = 0;
  size_t oddZeros = 0;
  for (size_t i = 0; i + 1 < size; i += 2) {
    evenZeros += data[i] == 0;
    oddZeros += data[i + 1] == 0;
  }
  const size_t units = size / 2;
  if (oddZeros * 2 >= units && evenZeros * 4 <= oddZeros) {
    bigEndian = false;
    return true;
  }
  if (evenZeros * 2 >= units && oddZeros * 4 <= evenZeros) {
    bigEndian = true;
    return true;
  }
  return false;
}

std::u16string Decode(const unsigned char* data, size_t size, uint32_t systemCodePage, SideCueDecoding& decoding) {
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
    NoteUtf8Counts(std::string_view(bytes + 3, size - 3), decoding);
    return ToWideString(std::string_view(bytes + 3, size - 3), platform::CodePage::kUtf8);
  }
  bool bigEndian = false;
  if (GuessUtf16(data, size, bigEndian)) {
    decoding.encoding = bigEndian ? CueTextEncoding::kUtf16BEWithoutBOM : CueTextEncoding::kUtf16LEWithoutBOM;
    return DecodeUtf16(data, size, bigEndian);
  }
  // Cue files from older rippers are written in the ANSI code page of the
  // system they ran on, which need not be this one's.
  const std::string_view text(bytes, size);
  NoteUtf8Counts(text, decoding);
  if (IsUtf8Text({decoding.invalidBytes, decoding.validMultiByte})) {
    decoding.encoding = CueTextEncoding::kUtf8;
    return ToWideString(text, platform::CodePage::kUtf8);
  }
  decoding.encoding = CueTextEncoding::kCodePage;
  return DecodeLegacyText(text, systemCodePage, decoding.codePage);
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
  return DecodeSideCueText(bytes, size, platform::AnsiCodePageNumber(), decoding);
}

std::u16string DecodeSideCueText(const char* bytes, size_t size, uint32_t systemCodePage, SideCueDecoding* decoding) {
  SideCueDecoding found;
  const std::u16string text = Decode(reinterpret_cast<const unsigned char*>(bytes), size, systemCodePage, found);
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
