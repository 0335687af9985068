#include "tags/flac_tag_parser.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "platform/code_page.h"
#include "platform/file.h"
#include "platform/library.h"
#include "platform/storage_call.h"
#include "text/code_page_detection.h"
#include "text/text_conversion.h"

namespace {

const std::u16string kCueSheetItem = u"CUESHEET";

// The largest comment block that a cue lookup reads: a CUESHEET comment of
// the cue text limit, and room for the vendor string and ordinary comments.
constexpr uint32_t kMaxCommentBlock = kCueTextLimit + 64 * 1024;

enum class BindingState { kNotTried, kBound, kUnavailable };

// The process-wide libFLAC binding. The first use decides it once, on
// whichever thread looks up first (the plug-in's worker); a failed load, or a
// library without one of the functions, is never retried, and a loaded
// library is never released.
struct FLACBinding {
  BindingState state = BindingState::kNotTried;
  void* library = nullptr;
  flac::IteratorNewFunction iteratorNew = nullptr;
  flac::IteratorDeleteFunction iteratorDelete = nullptr;
  flac::IteratorStatusFunction iteratorStatus = nullptr;
  flac::IteratorInitFunction iteratorInit = nullptr;
  flac::IteratorNextFunction iteratorNext = nullptr;
  flac::IteratorGetBlockTypeFunction getBlockType = nullptr;
  flac::IteratorGetBlockLengthFunction getBlockLength = nullptr;  // none before libFLAC 1.4
  flac::IteratorGetBlockFunction getBlock = nullptr;
  flac::ObjectDeleteFunction objectDelete = nullptr;
  FLACFileNameEncoding fileNames = FLACFileNameEncoding::kUtf8ThenAnsi;
  const char* missingFunction = nullptr;  // loaded, but without this function
};

template <typename Function>
bool FindFunction(void* library, const char* name, Function& function, const char*& missing) {
  function = reinterpret_cast<Function>(platform::FindSymbol(library, name));
  if (function == nullptr) missing = name;
  return function != nullptr;
}

FLACBinding Bind() {
  FLACBinding binding;
  binding.state = BindingState::kUnavailable;
  void* library = platform::LoadLibraryByName(u"libFLAC.dll");
  if (library == nullptr) {
    return binding;
  }
  FLACBinding bound;
  const char* missing = nullptr;
  if (!FindFunction(library, "FLAC__metadata_simple_iterator_new", bound.iteratorNew, missing) ||
      !FindFunction(library, "FLAC__metadata_simple_iterator_delete", bound.iteratorDelete, missing) ||
      !FindFunction(library, "FLAC__metadata_simple_iterator_status", bound.iteratorStatus, missing) ||
      !FindFunction(library, "FLAC__metadata_simple_iterator_init", bound.iteratorInit, missing) ||
      !FindFunction(library, "FLAC__metadata_simple_iterator_next", bound.iteratorNext, missing) ||
      !FindFunction(library, "FLAC__metadata_simple_iterator_get_block_type", bound.getBlockType, missing) ||
      !FindFunction(library, "FLAC__metadata_simple_iterator_get_block", bound.getBlock, missing) ||
      !FindFunction(library, "FLAC__metadata_object_delete", bound.objectDelete, missing)) {
    binding.library = library;
    binding.missingFunction = missing;
    return binding;
  }
  // Optional (libFLAC 1.4 and later): without it, comment blocks are read
  // whatever their length.
  const char* optional = nullptr;
  FindFunction(library, "FLAC__metadata_simple_iterator_get_block_length", bound.getBlockLength, optional);
  // FLAC__VERSION_STRING is a data export: the address of a pointer to text.
  const auto* version =
      static_cast<const char* const*>(platform::FindSymbol(library, "FLAC__VERSION_STRING"));
  bound.fileNames = GetFLACFileNameEncoding(version != nullptr ? *version : nullptr);
  bound.library = library;
  bound.state = BindingState::kBound;
  return bound;
}

// Decided once for the process, also when two threads ask at once. A load
// abandoned by its thread's guard decides nothing: the next use tries again.
const FLACBinding& BindFLAC() {
  static const FLACBinding binding = Bind();
  return binding;
}

using Block = std::unique_ptr<flac::StreamMetadata, flac::ObjectDeleteFunction>;

// libFLAC's simple metadata iterator over one file, read-only; it closes the
// file when it is deleted.
class Iterator {
 public:
  explicit Iterator(const FLACBinding& flac) : flac_(flac), iterator_(flac.iteratorNew()) {}
  ~Iterator() {
    if (iterator_ != nullptr) {
      flac_.iteratorDelete(iterator_);
    }
  }
  Iterator(const Iterator&) = delete;
  Iterator& operator=(const Iterator&) = delete;

  bool Created() const { return iterator_ != nullptr; }

  // Attaches to the file, closing any file attached before. The file's
  // modification time is left alone: nothing is written.
  flac::IteratorStatus Init(const char* fileName) {
    platform::BeginStorageCall();
    const bool attached = flac_.iteratorInit(iterator_, fileName, /*readOnly=*/1, /*preserveFileStats=*/0) != 0;
    platform::EndStorageCall();
    return attached ? flac::IteratorStatus::kOk : Failure();
  }

  uint32_t BlockType() const { return flac_.getBlockType(iterator_); }

  // The current block's length from its header, false where the bound
  // libFLAC cannot tell it without reading the block.
  bool BlockLength(uint32_t& length) const {
    if (flac_.getBlockLength == nullptr) {
      return false;
    }
    length = flac_.getBlockLength(iterator_);
    return true;
  }

  // The current block, read; null on failure, after which only Failure()
  // may be asked.
  Block GetBlock() {
    platform::BeginStorageCall();
    Block block(flac_.getBlock(iterator_), flac_.objectDelete);
    platform::EndStorageCall();
    return block;
  }

  // False after the last block, with `status` kOk, or on failure.
  bool Next(flac::IteratorStatus& status) {
    platform::BeginStorageCall();
    const bool moved = flac_.iteratorNext(iterator_) != 0;
    platform::EndStorageCall();
    if (moved) {
      return true;
    }
    status = flac_.iteratorStatus(iterator_);
    return false;
  }

  // Why the last call failed; never kOk.
  flac::IteratorStatus Failure() {
    const flac::IteratorStatus status = flac_.iteratorStatus(iterator_);
    return status != flac::IteratorStatus::kOk ? status : flac::IteratorStatus::kReadError;
  }

 private:
  const FLACBinding& flac_;
  flac::SimpleIterator* iterator_;
};

bool SurvivesAnsi(std::u16string_view path, const std::string& name) {
  return !name.empty() && ToWideString(name, platform::CodePage::kAnsi) == path;
}

// Attaches `iterator` to the file at `path` under the 8-bit name that the
// bound libFLAC takes. A name that cannot be formed counts as a file that
// did not open.
flac::IteratorStatus OpenFile(Iterator& iterator, FLACFileNameEncoding encoding, const char16_t* path) {
  constexpr flac::IteratorStatus kNotOpened = flac::IteratorStatus::kErrorOpeningFile;
  std::string name;
  switch (encoding) {
    case FLACFileNameEncoding::kUtf8:
      name = platform::FileNameForLibrary(path);
      return name.empty() ? kNotOpened : iterator.Init(name.c_str());
    case FLACFileNameEncoding::kAnsi:
      return GetFLACAnsiFileName(path, name) ? iterator.Init(name.c_str()) : kNotOpened;
    case FLACFileNameEncoding::kUtf8ThenAnsi: {
      const std::string utf8Name = platform::FileNameForLibrary(path);
      if (!utf8Name.empty()) {
        const flac::IteratorStatus status = iterator.Init(utf8Name.c_str());
        if (status != kNotOpened) {
          return status;
        }
      }
      if (!GetFLACAnsiFileName(path, name) || name == utf8Name) {
        return kNotOpened;
      }
      return iterator.Init(name.c_str());
    }
  }
  return kNotOpened;
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

FLACReadStatus ToReadStatus(flac::IteratorStatus status) {
  switch (status) {
    case flac::IteratorStatus::kOk:
      return FLACReadStatus::kRead;
    // Not "fLaC" at the start or after an ID3v2 tag, or a first block that
    // is no stream info block.
    case flac::IteratorStatus::kNotAFLACFile:
    case flac::IteratorStatus::kBadMetadata:
      return FLACReadStatus::kNotFLAC;
    case flac::IteratorStatus::kErrorOpeningFile:
      return FLACReadStatus::kUnreadable;
    // The file opened, and libFLAC refused what it holds: a block that runs
    // past the end of the file, a cue sheet whose tracks run past its block.
    default:
      return FLACReadStatus::kRefused;
  }
}

constexpr char kCueKey[] = "CUESHEET=";
constexpr uint32_t kCueKeyLength = sizeof kCueKey - 1;

// Whether a comment's key is CUESHEET with its ASCII letters in any case:
// exactly the comments that AddFLACComment stores under kCueSheetItem, as
// UTF-8 and the code pages it reads other text in decode ASCII bytes at the
// start to themselves and nothing else to ASCII.
bool HasCueSheetKey(const flac::VorbisCommentEntry& comment) {
  if (comment.entry == nullptr || comment.length < kCueKeyLength) {
    return false;
  }
  for (uint32_t i = 0; i < kCueKeyLength; ++i) {
    char c = static_cast<char>(comment.entry[i]);
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
    if (c != kCueKey[i]) {
      return false;
    }
  }
  return true;
}

// Whether the tracks and index points of a cue sheet fill exactly the length
// that its block header declares. libFLAC reads as many tracks as the block
// claims, on into the blocks after it if need be.
bool CueSheetFillsBlock(const flac::CueSheet& sheet, uint32_t blockLength) {
  // Catalog number 128, lead-in 8, flags and reserved 259, track count 1.
  uint64_t length = 396;
  if (sheet.trackCount > 0 && sheet.tracks == nullptr) {
    return false;
  }
  for (uint32_t i = 0; i < sheet.trackCount; ++i) {
    // Offset 8, number 1, ISRC 12, flags and reserved 14, index count 1;
    // each index point offset 8, number 1, reserved 3.
    length += 36 + 12 * static_cast<uint64_t>(sheet.tracks[i].indexCount);
  }
  return length == blockLength;
}

// Samples to whole ms, rounded down; false when there is no sample rate or
// the time does not fit in 32 signed bits of ms.
bool SamplesToMilliseconds(uint64_t samples, uint32_t sampleRate, int32_t& ms) {
  if (sampleRate == 0) {
    return false;
  }
  const uint64_t seconds = samples / sampleRate;
  if (seconds > INT32_MAX / 1000 + 1) {
    return false;
  }
  // The remainder is below the rate, so its product with 1000 fits easily.
  const uint64_t total = seconds * 1000 + samples % sampleRate * 1000 / sampleRate;
  if (total > INT32_MAX) {
    return false;
  }
  ms = static_cast<int32_t>(total);
  return true;
}

// What one walk over a file's metadata collects.
struct MetadataWalk {
  bool everyComment = false;  // every comment; else CUESHEET ones within kCueTextLimit
  bool cueBlock = false;      // the stream info and CUESHEET blocks too
  bool hasComments = false;   // a Vorbis comment block was read
  bool commentsTooLarge = false;  // the block, or a CUESHEET comment, left out for its size
  TagItems comments;
  TagCodePage cueCodePage;  // of the last CUESHEET comment
  bool hasCueBlock = false;
  std::vector<FLACCueTrack> cueTracks;
  uint32_t sampleRate = 0;
};

void TakeBlock(const flac::StreamMetadata& block, MetadataWalk& walk) {
  switch (block.type) {
    case flac::kStreamInfoType:
      walk.sampleRate = block.data.streamInfo.sampleRate;
      break;
    case flac::kVorbisCommentType: {
      walk.hasComments = true;
      const flac::VorbisComment& comments = block.data.vorbisComment;
      for (uint32_t i = 0; comments.comments != nullptr && i < comments.commentCount; ++i) {
        const flac::VorbisCommentEntry& comment = comments.comments[i];
        const bool cueSheet = HasCueSheetKey(comment);
        if (cueSheet && !walk.everyComment && comment.length - kCueKeyLength > kCueTextLimit) {
          walk.commentsTooLarge = true;
        } else if (walk.everyComment || cueSheet) {
          AddFLACComment(comment.entry, comment.length, walk.comments, cueSheet ? &walk.cueCodePage : nullptr);
        }
      }
      break;
    }
    case flac::kCueSheetType:
      if (CueSheetFillsBlock(block.data.cueSheet, block.length)) {
        walk.hasCueBlock = true;
        walk.cueTracks = GetFLACBlockTracks(block.data.cueSheet, walk.sampleRate);
      }
      break;
  }
}

// Walks the block headers of the file at `path`, reading only the blocks that
// `walk` asks for and seeking past all others.
FLACReadStatus WalkMetadata(const FLACBinding& flac, const char16_t* path, MetadataWalk& walk) {
  Iterator iterator(flac);
  if (!iterator.Created()) {
    return FLACReadStatus::kUnreadable;
  }
  const flac::IteratorStatus opened = OpenFile(iterator, flac.fileNames, path);
  if (opened != flac::IteratorStatus::kOk) {
    return ToReadStatus(opened);
  }
  // Where the last block lacks its last-block flag, the walk ends at the
  // first audio frame all the same: the 0xFF that starts its sync code reads
  // as the header of a last block (of type 127, never read).
  for (int blocks = 1;; ++blocks) {
    const uint32_t type = iterator.BlockType();
    // The first block is the stream info block; init checked that.
    const bool wanted = (type == flac::kStreamInfoType && blocks == 1 && walk.cueBlock) ||
                        (type == flac::kVorbisCommentType && !walk.hasComments) ||
                        (type == flac::kCueSheetType && walk.cueBlock && !walk.hasCueBlock);
    uint32_t length = 0;
    if (wanted && type == flac::kVorbisCommentType && !walk.everyComment && iterator.BlockLength(length) &&
        length > kMaxCommentBlock) {
      // The block cannot hold a CUESHEET comment within the limit and little
      // else: it is not read, and the comment counts as absent.
      walk.hasComments = true;
      walk.commentsTooLarge = true;
    } else if (wanted) {
      const Block block = iterator.GetBlock();
      if (block == nullptr) {
        return ToReadStatus(iterator.Failure());
      }
      TakeBlock(*block, walk);
    }
    flac::IteratorStatus status = flac::IteratorStatus::kOk;
    if (!iterator.Next(status)) {
      return ToReadStatus(status);
    }
    if (blocks == kMaxFLACBlocks) {
      return FLACReadStatus::kTooManyBlocks;
    }
  }
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

bool AddFLACComment(const unsigned char* bytes, uint32_t length, TagItems& items, TagCodePage* codePage) {
  if (bytes == nullptr) {
    return false;
  }
  const std::u16string text = DecodeTagText(std::string_view(reinterpret_cast<const char*>(bytes), length), codePage);
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
  MetadataWalk walk;
  walk.everyComment = true;
  if (WalkMetadata(flac, path, walk) != FLACReadStatus::kRead || !walk.hasComments) {
    return false;
  }
  for (auto& [key, value] : walk.comments) {
    items.insert_or_assign(key, std::move(value));
  }
  return true;
}

void ReadFLACCueData(const char16_t* path, FLACCueData& data) {
  data = FLACCueData{};
  const FLACBinding& flac = BindFLAC();
  if (flac.state != BindingState::kBound) {
    data.status = FLACReadStatus::kLibraryMissing;
    return;
  }
  if (path == nullptr || *path == u'\0') {
    return;
  }
  try {
    MetadataWalk walk;
    walk.cueBlock = true;
    const FLACReadStatus status = WalkMetadata(flac, path, walk);
    if (status != FLACReadStatus::kRead) {
      data.status = status;
      return;
    }
    if (auto found = walk.comments.find(kCueSheetItem); found != walk.comments.end()) {
      data.hasComment = true;
      data.commentText = std::move(found->second);
      data.commentCodePage = std::move(walk.cueCodePage);
    }
    data.hasBlock = walk.hasCueBlock;
    data.blockTracks = std::move(walk.cueTracks);
    data.status = FLACReadStatus::kRead;
    data.commentTooLarge = walk.commentsTooLarge;
  } catch (const std::bad_alloc&) {
    // Memory ran out for blocks within the limit: no less so on a later try.
    data = FLACCueData{};
    data.status = FLACReadStatus::kRefused;
  }
}

void LoadFLACLibrary() { BindFLAC(); }

bool GetFLACLibraryPath(std::u16string& path) {
  const FLACBinding& flac = BindFLAC();
  return flac.state == BindingState::kBound && platform::GetLibraryPath(flac.library, path);
}

const char* GetFLACMissingFunction(std::u16string& path) {
  const FLACBinding& flac = BindFLAC();
  if (flac.missingFunction == nullptr) return nullptr;
  if (!platform::GetLibraryPath(flac.library, path)) path.clear();
  return flac.missingFunction;
}

std::vector<FLACCueTrack> GetFLACBlockTracks(const flac::CueSheet& block, uint32_t sampleRate) {
  std::vector<FLACCueTrack> tracks;
  if (block.tracks == nullptr || block.trackCount < 2) {
    return tracks;
  }
  tracks.resize(block.trackCount - 1);
  for (uint32_t i = 0; i < tracks.size(); ++i) {
    const flac::CueSheetTrack& track = block.tracks[i];
    const flac::CueSheetIndex* index1 = nullptr;
    for (uint32_t j = 0; track.indices != nullptr && j < track.indexCount && index1 == nullptr; ++j) {
      if (track.indices[j].number == 1) {
        index1 = &track.indices[j];
      }
    }
    FLACCueTrack& cue = tracks[i];
    cue.hasIndex1 = index1 != nullptr && index1->offset <= UINT64_MAX - track.offset &&
                    SamplesToMilliseconds(track.offset + index1->offset, sampleRate, cue.start);
    if (!cue.hasIndex1) {
      cue.start = 0;
    }
  }
  return tracks;
}
