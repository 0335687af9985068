#include "tags/flac_tag_parser.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/code_page.h"
#include "platform/file.h"
#include "platform/library.h"
#include "tags/flac_metadata.h"
#include "tags/text_conversion.h"

namespace {

const std::u16string kCueSheetItem = u"CUESHEET";

enum class BindingState { kNotTried, kBound, kUnavailable };

// The process-wide libFLAC binding. The first Parse decides it once, from the
// player's user-interface thread; a failed load is never retried and a loaded
// library is never released.
struct FLACBinding {
  BindingState state = BindingState::kNotTried;
  flac::GetTagsFunction getTags = nullptr;
  flac::ObjectDeleteFunction objectDelete = nullptr;
  FLACFileNameEncoding fileNames = FLACFileNameEncoding::kUtf8ThenAnsi;
};

FLACBinding binding;

const FLACBinding& BindFLAC() {
  if (binding.state != BindingState::kNotTried) {
    return binding;
  }
  binding.state = BindingState::kUnavailable;
  void* library = platform::LoadLibraryByName(u"libFLAC.dll");
  if (library == nullptr) {
    return binding;
  }
  auto getTags = reinterpret_cast<flac::GetTagsFunction>(
      platform::FindSymbol(library, "FLAC__metadata_get_tags"));
  auto objectDelete = reinterpret_cast<flac::ObjectDeleteFunction>(
      platform::FindSymbol(library, "FLAC__metadata_object_delete"));
  if (getTags == nullptr || objectDelete == nullptr) {
    return binding;
  }
  // FLAC__VERSION_STRING is a data export: the address of a pointer to text.
  const auto* version =
      static_cast<const char* const*>(platform::FindSymbol(library, "FLAC__VERSION_STRING"));
  binding.fileNames = GetFLACFileNameEncoding(version != nullptr ? *version : nullptr);
  binding.getTags = getTags;
  binding.objectDelete = objectDelete;
  binding.state = BindingState::kBound;
  return binding;
}

// libFLAC leaves the tag object to its caller.
class TagObject {
 public:
  explicit TagObject(flac::ObjectDeleteFunction objectDelete) : objectDelete_(objectDelete) {}
  ~TagObject() {
    if (object != nullptr) {
      objectDelete_(object);
    }
  }
  TagObject(const TagObject&) = delete;
  TagObject& operator=(const TagObject&) = delete;

  flac::StreamMetadata* object = nullptr;

 private:
  flac::ObjectDeleteFunction objectDelete_;
};

bool SurvivesAnsi(std::u16string_view path, const std::string& name) {
  return !name.empty() && ToWideString(name, platform::CodePage::kAnsi) == path;
}

bool GetTags(const FLACBinding& flac, const char16_t* path, TagObject& tags) {
  std::string name;
  switch (flac.fileNames) {
    case FLACFileNameEncoding::kUtf8:
      name = ToUtf8String(path);
      return !name.empty() && flac.getTags(name.c_str(), &tags.object) != 0;
    case FLACFileNameEncoding::kAnsi:
      return GetFLACAnsiFileName(path, name) && flac.getTags(name.c_str(), &tags.object) != 0;
    case FLACFileNameEncoding::kUtf8ThenAnsi: {
      const std::string utf8Name = ToUtf8String(path);
      if (!utf8Name.empty() && flac.getTags(utf8Name.c_str(), &tags.object) != 0) {
        return true;
      }
      return GetFLACAnsiFileName(path, name) && name != utf8Name &&
             flac.getTags(name.c_str(), &tags.object) != 0;
    }
  }
  return false;
}

// Reads a run of at most four decimal digits; false if there is none.
bool ReadVersionNumber(const char*& text, int& number) {
  number = 0;
  int digits = 0;
  while (*text >= '0' && *text <= '9') {
    if (++digits > 4) {
      return false;
    }
    number = number * 10 + (*text - '0');
    ++text;
  }
  return digits > 0;
}

// Whether the file starts as a FLAC stream: "fLaC" at its start, or right
// after an ID3v2 tag. libFLAC itself hunts through a file that is not FLAC
// for a stream, and in digital silence it reads to the end: a whole WAV file
// on every timer tick for a playing file without a cue sheet.
bool StartsAsFLAC(const char16_t* path) {
  platform::File file;
  unsigned char head[10];
  uint32_t bytesRead = 0;
  if (!file.Open(path, platform::FileAccess::kRandomAccess) || !file.Read(head, sizeof head, bytesRead) ||
      bytesRead < 4) {
    return false;
  }
  if (std::memcmp(head, "fLaC", 4) == 0) {
    return true;
  }
  if (bytesRead < sizeof head || std::memcmp(head, "ID3", 3) != 0) {
    return false;
  }
  // The ID3v2 size is four 7-bit bytes, without the 10-byte header and the
  // 10-byte footer that flag 0x10 announces.
  uint64_t offset = 10;
  for (int i = 6; i < 10; ++i) {
    offset += static_cast<uint64_t>(head[i] & 0x7F) << (7 * (9 - i));
  }
  if (head[5] & 0x10) {
    offset += 10;
  }
  unsigned char marker[4];
  return file.Seek(offset) && file.Read(marker, sizeof marker, bytesRead) && bytesRead == sizeof marker &&
         std::memcmp(marker, "fLaC", 4) == 0;
}

}  // namespace

FLACFileNameEncoding GetFLACFileNameEncoding(const char* versionText) {
  if (versionText == nullptr) {
    return FLACFileNameEncoding::kUtf8ThenAnsi;
  }
  const char* text = versionText;
  int major = 0;
  int minor = 0;
  int patch = 0;
  if (!ReadVersionNumber(text, major) || *text++ != '.' || !ReadVersionNumber(text, minor)) {
    return FLACFileNameEncoding::kUtf8ThenAnsi;
  }
  if (*text == '.') {
    ++text;
    if (!ReadVersionNumber(text, patch)) {
      return FLACFileNameEncoding::kUtf8ThenAnsi;
    }
  }
  if (major == 0) {
    return FLACFileNameEncoding::kUtf8ThenAnsi;
  }
  if (major > 1 || minor >= 4) {
    return FLACFileNameEncoding::kUtf8;
  }
  if (minor <= 2) {
    return FLACFileNameEncoding::kAnsi;
  }
  if (patch <= 1) {
    return FLACFileNameEncoding::kUtf8;
  }
  if (patch <= 4) {
    return FLACFileNameEncoding::kAnsi;
  }
  return FLACFileNameEncoding::kUtf8ThenAnsi;
}

bool GetFLACAnsiFileName(const char16_t* path, std::string& name) {
  name.clear();
  if (path == nullptr || *path == u'\0') {
    return false;
  }
  // A name with the default character in it would name no file, or the
  // wrong one: best-fit conversion may turn a letter into another file's.
  std::string ansi = ToAnsiString(path);
  if (SurvivesAnsi(path, ansi)) {
    name = std::move(ansi);
    return true;
  }
  std::u16string shortPath;
  if (platform::GetShortPath(path, shortPath)) {
    ansi = ToAnsiString(shortPath);
    if (SurvivesAnsi(shortPath, ansi)) {
      name = std::move(ansi);
      return true;
    }
  }
  return false;
}

bool AddFLACComment(const unsigned char* bytes, uint32_t length, TagItems& items) {
  if (bytes == nullptr) {
    return false;
  }
  const std::u16string text =
      ToWideString(std::string_view(reinterpret_cast<const char*>(bytes), length), platform::CodePage::kUtf8);
  if (text.empty()) {
    return false;
  }
  // Text after a NUL character is not part of the comment.
  const size_t end = std::min(text.find(u'\0'), text.size());
  const size_t equals = text.find(u'=');
  if (equals >= end) {
    return false;
  }
  std::u16string key = text.substr(0, equals);
  UpperCaseTagKey(key);
  items.insert_or_assign(std::move(key), text.substr(equals + 1, end - equals - 1));
  return true;
}

bool CFLACTagParser::Parse(const char16_t* path) {
  const FLACBinding& flac = BindFLAC();
  if (flac.state != BindingState::kBound || path == nullptr || *path == u'\0') {
    return false;
  }
  if (!StartsAsFLAC(path)) {
    return false;
  }
  TagObject tags(flac.objectDelete);
  if (!GetTags(flac, path, tags)) {
    return false;
  }
  const flac::StreamMetadata* block = tags.object;
  if (block == nullptr || block->type != flac::kVorbisCommentType ||
      block->data.vorbisComment.commentCount == 0 || block->data.vorbisComment.comments == nullptr) {
    return true;
  }
  const flac::VorbisComment& comments = block->data.vorbisComment;
  for (uint32_t i = 0; i < comments.commentCount; ++i) {
    AddFLACComment(comments.comments[i].entry, comments.comments[i].length, items);
  }
  return true;
}

CueTextOutcome ReadFLACCueText(const char16_t* path, std::u16string& text) {
  CFLACTagParser tags;
  return tags.Parse(path) && tags.GetItem(kCueSheetItem, text) ? CueTextOutcome::kFound : CueTextOutcome::kAbsent;
}
