#include "navigation/cue_sheet_cache.h"

#include <new>

#include "tags/ape_tag_parser.h"
#include "tags/cue_text_source.h"
#include "tags/flac_tag_parser.h"
#include "tags/side_cue_file.h"

namespace {

struct CueSource {
  CueTextSource read;
  // A sheet embedded in the file's tags is answered whatever its parse
  // reports, with the tracks read before a parse stopped; a side file's
  // stopped sheet is kept, but answered only by later lookups.
  bool answersStoppedParse;
};

// In the order of precedence: the first source that gives text decides.
constexpr CueSource kCueSources[] = {
    {&ReadAPEv2CueText, true},
    {&ReadFLACCueText, true},
    {&ReadSideCueText, false},
};

}  // namespace

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
  for (const CueSource& source : kCueSources) {
    if (source.read(path, text) != CueTextOutcome::kFound) continue;
    CueSheet& sheet = sheets.try_emplace(std::u16string(key)).first->second;
    const bool complete = sheet.Parse(text);
    return complete || source.answersStoppedParse ? &sheet : nullptr;
  }
  return nullptr;
}
