#include "navigation/cue_sheet_cache.h"

#include <algorithm>

#include "tags/ape_tag_parser.h"
#include "tags/cue_text_source.h"
#include "tags/flac_tag_parser.h"
#include "tags/side_cue_file.h"

namespace {

using Watched = CueSheetCache::Watched;

// One search for an audio file's cue text: what is known of its files before
// any of them is read.
struct Search {
  const char16_t* path;
  Watched watched;
  bool conclusive = true;  // every source was read to its answer
  FLACCueData flac;        // one read gives the comment and the native block
};

// The side cue files, by the attributes taken at the start of the search:
// the second name only where the first is absent.
CueTextOutcome ReadSideCueFiles(Search& search, std::u16string& text) {
  const Watched& watched = search.watched;
  for (std::size_t i = 0; i < watched.cuePathCount; ++i) {
    if (!watched.cues[i].exists || watched.cues[i].directory) continue;
    const CueTextOutcome outcome = ReadCueFile(watched.cuePaths[i].c_str(), text);
    if (outcome != CueTextOutcome::kAbsent) return outcome;
  }
  return CueTextOutcome::kAbsent;
}

CueTextOutcome ReadAPEv2(Search& search, std::u16string& text) { return ReadAPEv2CueText(search.path, text); }
CueTextOutcome ReadFLACComment(Search& search, std::u16string& text) {
  ReadFLACCueData(search.path, search.flac);
  switch (search.flac.status) {
    case FLACReadStatus::kRead: break;
    case FLACReadStatus::kUnreadable: return CueTextOutcome::kUnreadable;
    case FLACReadStatus::kLibraryMissing:
    case FLACReadStatus::kNotFLAC: return CueTextOutcome::kAbsent;
  }
  if (!search.flac.hasComment) return CueTextOutcome::kAbsent;
  text = std::move(search.flac.commentText);
  return CueTextOutcome::kFound;
}

struct CueSource {
  CueTextOutcome (*read)(Search& search, std::u16string& text);
  // A sheet embedded in the file's tags is answered whatever its parse
  // reports, with the tracks read before a parse stopped; a side file's
  // stopped sheet is kept, but answered only by later lookups.
  bool answersStoppedParse;
};

// In the order of precedence: the first source that gives text decides.
constexpr CueSource kCueSources[] = {
    {&ReadAPEv2, true},
    {&ReadFLACComment, true},
    {&ReadSideCueFiles, false},
};

// Takes the attributes of the audio file and of its side cue files. False
// when one could not be taken, or the audio file is not there to be read:
// a miss is then nothing to remember.
bool TakeStamps(const char16_t* path, Watched& watched) {
  bool known = platform::GetFileStamp(path, watched.audio) && watched.audio.exists && !watched.audio.directory;
  std::u16string cuePath;
  watched.cuePathCount = 0;
  if (GetSideCuePath(path, cuePath)) watched.cuePaths[watched.cuePathCount++] = std::move(cuePath);
  if (GetWholeNameCuePath(path, cuePath)) watched.cuePaths[watched.cuePathCount++] = std::move(cuePath);
  for (std::size_t i = 0; i < watched.cuePathCount; ++i) {
    // Unknown, a cue file counts as there, so that the search tries to read it.
    if (!platform::GetFileStamp(watched.cuePaths[i].c_str(), watched.cues[i])) {
      watched.cues[i].exists = true;
      known = false;
    }
  }
  return known;
}

}  // namespace

const CueSheet* CueSheetCache::GetCueSheet(const char16_t* path) {
  if (path == nullptr) return nullptr;
  const std::u16string_view key(path);
  if (const auto found = sheets.find(key); found != sheets.end()) return &found->second;
  // The lookup runs inside the player's window procedure and timer callback:
  // no exception may unwind into the player. A cue text too large for the
  // memory left makes this lookup a miss, and not a remembered one; an entry
  // inserted before memory ran out stays, as after a parse that stopped early.
  try {
    if (const auto miss = misses.find(key); miss != misses.end()) {
      if (MissStillHolds(path, miss->second)) return nullptr;
      missOrder.erase(std::find(missOrder.begin(), missOrder.end(), std::u16string_view(miss->first)));
      misses.erase(miss);
    }
    return ReadCueSheet(path, key);
  } catch (...) {
    return nullptr;
  }
}

const CueSheet* CueSheetCache::ReadCueSheet(const char16_t* path, std::u16string_view key) {
  Search search{path, {}, true, {}};
  // Taken before anything is read: a file that changes during the search
  // then differs from what is remembered, and is searched again.
  search.conclusive = TakeStamps(path, search.watched);
  std::u16string text;
  for (const CueSource& source : kCueSources) {
    const CueTextOutcome outcome = source.read(search, text);
    if (outcome == CueTextOutcome::kUnreadable) search.conclusive = false;
    if (outcome != CueTextOutcome::kFound) continue;
    // Taggers copy a cue file's UTF-8 byte order mark into the tag with the
    // text; left in, it would hide the command of the first line.
    if (text.starts_with(u'\uFEFF')) text.erase(0, 1);
    CueSheet& sheet = sheets.try_emplace(std::u16string(key)).first->second;
    const bool complete = sheet.Parse(text);
    return complete || source.answersStoppedParse ? &sheet : nullptr;
  }
  if (search.conclusive) RememberMiss(key, std::move(search.watched));
  return nullptr;
}

bool CueSheetCache::MissStillHolds(const char16_t* path, const Watched& watched) const {
  platform::FileStamp now;
  if (!platform::GetFileStamp(path, now) || now != watched.audio) return false;
  for (std::size_t i = 0; i < watched.cuePathCount; ++i) {
    if (!platform::GetFileStamp(watched.cuePaths[i].c_str(), now) || now != watched.cues[i]) return false;
  }
  return true;
}

void CueSheetCache::RememberMiss(std::u16string_view key, Watched&& watched) {
  if (misses.size() >= kMaxRememberedMisses) {
    misses.erase(misses.find(missOrder.front()));
    missOrder.pop_front();
  }
  const auto inserted = misses.try_emplace(std::u16string(key), std::move(watched)).first;
  try {
    missOrder.push_back(inserted->first);
  } catch (...) {
    misses.erase(inserted);  // a miss out of the order would never be replaced
    throw;
  }
}
