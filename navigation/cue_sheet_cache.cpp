#include "navigation/cue_sheet_cache.h"

#include <new>

#include "tags/ape_tag_parser.h"
#include "tags/flac_tag_parser.h"
#include "tags/side_cue_file.h"

namespace {
const std::u16string kCueSheetItem = u"CUESHEET";

// The cue text embedded in the file's tags: an APEv2 item first, then a FLAC
// comment. Both readers live for this one call only.
bool ReadEmbeddedCueText(const char16_t* path, std::u16string& text) {
  CAPETagParser apeTag;
  CFLACTagParser flacTags;
  if (apeTag.Parse(path) && apeTag.GetItem(kCueSheetItem, text)) return true;
  return flacTags.Parse(path) && flacTags.GetItem(kCueSheetItem, text);
}
}  // namespace

CueSheet& CueSheetCache::Insert(std::u16string_view path) {
  return sheets.try_emplace(std::u16string(path)).first->second;
}

const CueSheet* CueSheetCache::GetCueSheet(const char16_t* path) {
  if (path == nullptr) return nullptr;
  const std::u16string_view key(path);
  if (const auto found = sheets.find(key); found != sheets.end()) return &found->second;
  // The lookup runs inside the player's window procedure and timer callback:
  // no exception may unwind into the player. A cue text too large for the
  // memory left makes this lookup a miss; an entry inserted before memory ran
  // out stays, as after a parse that stopped early.
  try {
    return ReadCueSheet(path, key);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

const CueSheet* CueSheetCache::ReadCueSheet(const char16_t* path, std::u16string_view key) {
  std::u16string text;
  if (ReadEmbeddedCueText(path, text)) {
    // An embedded sheet is kept and returned whatever its parse reports,
    // with the tracks read before a parse stopped.
    CueSheet& sheet = Insert(key);
    sheet.Parse(text);
    return &sheet;
  }
  if (!LoadSideCueFile(path)) return nullptr;
  return &sheets.find(key)->second;
}

bool CueSheetCache::LoadSideCueFile(const char16_t* path) {
  std::u16string text;
  if (!ReadSideCueText(path, text)) return false;
  return Insert(path).Parse(text);
}
