#include "navigation/cue_sheet_cache.h"

#include <algorithm>

#include <iterator>
#include <optional>

#include "platform/clock.h"
#include "platform/storage_call.h"

namespace {

using Watched = CueSheetCache::Watched;

constexpr uint64_t kRetryMilliseconds = 1000;

// What a place gave: cue text, or the tracks of a FLAC CUESHEET block.
struct Found {
  std::u16string text;
  const std::vector<FLACCueTrack>* blockTracks = nullptr;
};

// One search for an audio file's cue sheet: what is known of its files
// before any of them is read, and what it has seen so far.
struct Search {
  const char16_t* path;
  Watched watched;
  bool conclusive = true;  // every source was read to its answer
  FLACCueData flac;        // one read gives the comment and the native block
  CueLookupReport* report = nullptr;
  FolderCueListing listing;  // the folder's .cue files, listed once for both places that need them
  bool mayBeFLAC = true;     // what the APEv2 read saw of the file's start
  FolderListing* walk = nullptr;  // the folder's listing, where the caller keeps one

  CueSourceReport* Note(CueSource source) {
    if (report == nullptr) return nullptr;
    report->sources.push_back({});
    report->sources.back().source = source;
    return &report->sources.back();
  }
};

CueTextOutcome Noted(CueSourceReport* note, CueTextOutcome outcome) {
  if (note != nullptr) note->outcome = outcome;
  return outcome;
}

CueTextOutcome ReadAPEv2(Search& search, Found& found) {
  const APECueResult result = ReadAPEv2Cue(search.path, found.text);
  search.mayBeFLAC = result.mayBeFLAC;
  CueSourceReport* note = search.Note(CueSource::kAPEv2Item);
  if (note != nullptr) note->ape = result;
  switch (result.status) {
    case APECueStatus::kFound: return Noted(note, CueTextOutcome::kFound);
    case APECueStatus::kUnreadable: return Noted(note, CueTextOutcome::kUnreadable);
    case APECueStatus::kNoTag:
    case APECueStatus::kNoItem:
    case APECueStatus::kTooLarge: break;
  }
  return Noted(note, CueTextOutcome::kAbsent);
}

CueTextOutcome FLACOutcome(FLACReadStatus status) {
  switch (status) {
    case FLACReadStatus::kRead: return CueTextOutcome::kFound;
    case FLACReadStatus::kUnreadable: return CueTextOutcome::kUnreadable;
    case FLACReadStatus::kLibraryMissing:
    case FLACReadStatus::kNotFLAC:
    case FLACReadStatus::kTooManyBlocks:
    case FLACReadStatus::kRefused: break;
  }
  return CueTextOutcome::kAbsent;
}

CueTextOutcome ReadFLACComment(Search& search, Found& found) {
  if (search.mayBeFLAC) {
    ReadFLACCueData(search.path, search.flac);
  } else {
    search.flac = FLACCueData{};
    search.flac.status = FLACReadStatus::kNotFLAC;
  }
  CueSourceReport* note = search.Note(CueSource::kFLACComment);
  if (note != nullptr) {
    note->flac = search.flac.status;
    note->commentTooLarge = search.flac.commentTooLarge;
  }
  const CueTextOutcome outcome = FLACOutcome(search.flac.status);
  if (outcome != CueTextOutcome::kFound || !search.flac.hasComment) {
    return Noted(note, outcome == CueTextOutcome::kFound ? CueTextOutcome::kAbsent : outcome);
  }
  found.text = std::move(search.flac.commentText);
  if (note != nullptr) note->flacCodePage = search.flac.commentCodePage;
  return Noted(note, CueTextOutcome::kFound);
}

// One attribute query, answered by the caller's listing of the folder where
// it can tell.
bool GetStamp(const char16_t* path, const FolderListing* walk, platform::FileStamp& stamp) {
  return (walk != nullptr && walk->FindStamp(path, stamp)) || platform::GetFileStamp(path, stamp);
}

// The attributes of the side cue file at `path`, from the listing of the
// folder's .cue files where there is one: a file that is there under
// another letter case is taken under the name listed. Without a listing,
// one attribute query; false when it failed.
bool StampSideCueFile(const FolderCueListing& listing, const FolderListing* walk, std::u16string& path,
                      platform::FileStamp& stamp) {
  if (!listing.listed) return GetStamp(path.c_str(), walk, stamp);
  const std::size_t nameStart = path.find_last_of(u"\\/") + 1;
  const std::u16string_view name = std::u16string_view(path).substr(nameStart);
  stamp = platform::FileStamp{};
  const std::pair<std::u16string, platform::FileStamp>* match = nullptr;
  for (const auto& entry : listing.cues) {
    if (entry.first == name) {
      match = &entry;
      break;
    }
    if (match == nullptr && platform::CompareFileNames(entry.first, name) == 0) match = &entry;
  }
  if (match != nullptr) {
    path.replace(nameStart, std::u16string::npos, match->first);
    stamp = match->second;
  }
  return true;
}

// The side cue files: the second name only where the first is absent. Their
// attributes are taken when the search comes to them, before they are read,
// from one listing of the folder's .cue files, which the folder's search
// takes too: a sheet found in the file's tags never asks for them, and on a
// share a name that is not there costs several round trips to ask for.
CueTextOutcome ReadSideCueFiles(Search& search, Found& found) {
  Watched& watched = search.watched;
  std::array<std::u16string, 2> names;
  std::size_t count = 0;
  if (GetSideCuePath(search.path, names[count])) ++count;
  if (GetWholeNameCuePath(search.path, names[count])) ++count;
  // A walk's listing of the folder answers for them where the caller keeps one.
  if (count > 0 && search.walk == nullptr) ListFolderCueFiles(search.path, search.listing);
  watched.cuePathCount = 0;
  for (std::size_t n = 0; n < count; ++n) {
    const std::size_t i = watched.cuePathCount++;
    watched.cuePaths[i] = std::move(names[n]);
    // Unknown, a cue file counts as there, so that the search tries to read it.
    if (!StampSideCueFile(search.listing, search.walk, watched.cuePaths[i], watched.cues[i])) {
      watched.cues[i].exists = true;
      search.conclusive = false;
    }
    CueSourceReport* note = search.Note(CueSource::kSideFile);
    if (note != nullptr) {
      note->path = watched.cuePaths[i];
      note->bytes = watched.cues[i].size;
    }
    if (!watched.cues[i].exists || watched.cues[i].directory) {
      Noted(note, CueTextOutcome::kAbsent);
      continue;
    }
    const CueTextOutcome outcome =
        ReadCueFile(watched.cuePaths[i].c_str(), found.text, note != nullptr ? &note->decoding : nullptr);
    if (Noted(note, outcome) != CueTextOutcome::kAbsent) return outcome;
  }
  return CueTextOutcome::kAbsent;
}

// A cue file of the folder whose FILE line names the audio file, where no
// cue file is named after it. The folder and the cue files read there are
// watched, so that a remembered miss ends when one is added, renamed or
// rewritten. Where an earlier place could not be read, the whole search is
// repeated a second later anyway: the folder waits for that search.
CueTextOutcome ReadFolderCueFile(Search& search, Found& found) {
  CueSourceReport* note = search.Note(CueSource::kFolderCueFile);
  Watched& watched = search.watched;
  FolderCueSearch folder;
  for (std::size_t i = 0; i < watched.cuePathCount; ++i) {
    if (watched.cues[i].exists && !watched.cues[i].directory) folder.skipped = FolderCueSkip::kNamedCueFile;
  }
  if (folder.skipped == FolderCueSkip::kNone && !search.conclusive) folder.skipped = FolderCueSkip::kEarlierUnreadable;
  if (folder.skipped != FolderCueSkip::kNone) {
    if (note != nullptr) note->folder = std::move(folder);
    return Noted(note, CueTextOutcome::kAbsent);
  }
  // A report tells every cue file's verdict in full.
  CueTextOutcome outcome =
      FindFolderCueFile(search.path, folder, search.walk, search.report != nullptr, &search.listing);
  const CueTextOutcome seen = outcome;  // what the report tells
  if (folder.listed) {
    watched.folderPath = folder.folder;
    watched.folder = folder.folderStamp;
    // A cue file that could not be read is watched by trying to open it
    // (its attributes may not be there to take either: a link to itself).
    for (const FolderCueFile& file : folder.read) {
      if (file.verdict == FolderCueVerdict::kUnreadable) {
        watched.unreadableCues.push_back(file.path);
      } else {
        watched.folderCues.emplace_back(file.path, file.stamp);
      }
    }
    // The folder was searched as far as it could be: a cue file that could
    // not be read is watched alone, not a reason to search everything again.
    if (!watched.unreadableCues.empty()) watched.cueRetryAt = platform::MonotonicMilliseconds() + kRetryMilliseconds;
    if (outcome == CueTextOutcome::kUnreadable) outcome = CueTextOutcome::kAbsent;
  }
  if (outcome == CueTextOutcome::kFound) {
    const FolderCueFile& taken = folder.read[*folder.taken];
    if (folder.takenWhole) {
      // The search read the whole file already: it is not read again.
      found.text = std::move(folder.takenText);
      if (note != nullptr) note->decoding = folder.takenDecoding;
    } else {
      outcome = ReadCueFile(taken.path.c_str(), found.text, note != nullptr ? &note->decoding : nullptr);
    }
    if (note != nullptr) {
      note->path = taken.path;
      note->bytes = taken.stamp.size;
    }
  }
  if (note != nullptr) note->folder = std::move(folder);
  Noted(note, seen == CueTextOutcome::kUnreadable && outcome == CueTextOutcome::kAbsent ? seen : outcome);
  return outcome;
}

// The FLAC CUESHEET block, from the read that looked for the comment.
CueTextOutcome ReadFLACCueBlock(Search& search, Found& found) {
  // An unreadable FLAC file was noted as such by the comment's read.
  if (search.flac.status != FLACReadStatus::kRead || !search.flac.hasBlock) return CueTextOutcome::kAbsent;
  CueSourceReport* note = search.Note(CueSource::kFLACCueBlock);
  if (note != nullptr) {
    note->flac = search.flac.status;
    note->blockTracks = search.flac.blockTracks.size();
  }
  found.blockTracks = &search.flac.blockTracks;
  return Noted(note, CueTextOutcome::kFound);
}

struct CueSourceEntry {
  CueSource source;
  CueTextOutcome (*read)(Search& search, Found& found);
  // A sheet embedded in the file's tags is answered whatever its parse
  // reports, with the tracks read before a parse stopped; a side file's
  // stopped sheet is kept, but answered only by later lookups.
  bool answersStoppedParse;
};

// In the order of precedence: the first source that gives a sheet decides.
// The native block comes last: it carries no titles or performers.
constexpr CueSourceEntry kCueSources[] = {
    {CueSource::kAPEv2Item, &ReadAPEv2, true},
    {CueSource::kFLACComment, &ReadFLACComment, true},
    {CueSource::kSideFile, &ReadSideCueFiles, false},
    {CueSource::kFolderCueFile, &ReadFolderCueFile, false},
    {CueSource::kFLACCueBlock, &ReadFLACCueBlock, true},
};

// Fills `sheet` from what a place gave; true when the sheet is complete.
bool FillSheet(CueSheet& sheet, Found& found, CueLookupReport* report) {
  if (found.blockTracks != nullptr) {
    std::vector<std::optional<int32_t>> starts;
    starts.reserve(found.blockTracks->size());
    for (const FLACCueTrack& track : *found.blockTracks) {
      starts.push_back(track.hasIndex1 ? std::optional<int32_t>(track.start) : std::nullopt);
    }
    sheet.SetTracks(starts);
    if (report != nullptr) report->parseComplete = true;
    return true;
  }
  // Taggers copy a cue file's UTF-8 byte order mark into the tag with the
  // text; left in, it would hide the command of the first line.
  if (found.text.starts_with(u'\uFEFF')) {
    found.text.erase(0, 1);
    if (report != nullptr) report->droppedByteOrderMark = true;
  }
  CueParseStop stop;
  const bool complete = sheet.Parse(found.text, &stop);
  if (report != nullptr) {
    report->parseComplete = complete;
    report->parseStop = stop;
  }
  return complete;
}

// Takes the attributes of the audio file. False when they could not be
// taken, or the audio file is not there to be read: a miss is then nothing
// to remember.
bool TakeStamps(const char16_t* path, Watched& watched, const FolderListing* walk) {
  return GetStamp(path, walk, watched.audio) && watched.audio.exists && !watched.audio.directory;
}

}  // namespace

const CueSheet* CueSheetCache::GetCueSheet(const char16_t* path) { return Look(path, nullptr); }

const CueSheet* CueSheetCache::GetCueSheet(const char16_t* path, CueLookupReport& report) {
  report = CueLookupReport{};
  return Look(path, &report);
}

const CueSheet* CueSheetCache::GetCueSheet(const char16_t* path, CueLookupReport& report, FolderListing* listing) {
  report = CueLookupReport{};
  return Look(path, &report, listing);
}

const CueSheet* CueSheetCache::Look(const char16_t* path, CueLookupReport* report, FolderListing* listing) {
  if (path == nullptr) return nullptr;
  const std::u16string_view key(path);
  if (const auto found = sheets.find(key); found != sheets.end()) {
    if (report != nullptr) report->cached = true;
    return &found->second;
  }
  // The lookup runs inside the player's window procedure and timer callback:
  // no exception may unwind into the player. A cue text too large for the
  // memory left makes this lookup a miss, remembered for a second; an entry
  // inserted before memory ran out stays, as after a parse that stopped early.
  try {
    if (const auto miss = misses.find(key); miss != misses.end()) {
      if (MissStillHolds(path, miss->second)) {
        if (report != nullptr) report->rememberedMiss = true;
        return nullptr;
      }
      missOrder.erase(std::find(missOrder.begin(), missOrder.end(), std::u16string_view(miss->first)));
      misses.erase(miss);
    }
    return ReadCueSheet(path, key, report, listing);
  } catch (const platform::StorageWorkAbandoned&) {
    // Nobody wants the answer: nothing is remembered, and the next lookup of
    // the path searches again. A sheet inserted before stays, filled.
    throw;
  } catch (...) {
    if (sheets.find(key) == sheets.end()) {
      try {
        Watched retry;
        retry.retryAt = platform::MonotonicMilliseconds() + kRetryMilliseconds;
        RememberMiss(key, std::move(retry));
      } catch (...) {
        // Without memory to remember it, the next tick searches again.
      }
    }
    return nullptr;
  }
}

const CueSheet* CueSheetCache::ReadCueSheet(const char16_t* path, std::u16string_view key, CueLookupReport* report,
                                            FolderListing* listing) {
  Search search{path, {}, true, {}, report, {}, true, listing};
  // Taken before anything is read, as each cue file's are before it is
  // read: a file that changes during the search then differs from what is
  // remembered, and is searched again.
  search.conclusive = TakeStamps(path, search.watched, listing);
  Found found;
  for (const CueSourceEntry& entry : kCueSources) {
    const CueTextOutcome outcome = entry.read(search, found);
    if (outcome == CueTextOutcome::kUnreadable) search.conclusive = false;
    if (outcome != CueTextOutcome::kFound) continue;
    const auto inserted = sheets.try_emplace(std::u16string(key)).first;
    CueSheet& sheet = inserted->second;
    const bool complete = FillSheet(sheet, found, report);
    if (sheet.tracks.empty()) {
      // Text without a track (an empty CUESHEET comment, for one) would hide
      // a good sheet in a later place: the place counts as absent. Nothing
      // points into the sheet yet.
      sheets.erase(inserted);
      found = Found{};
      if (report != nullptr) {
        report->sources.back().outcome = CueTextOutcome::kAbsent;
        report->sources.back().noTrack = true;
        report->droppedByteOrderMark = false;
        report->parseComplete = false;
        report->parseStop = {};
      }
      continue;
    }
    if (report != nullptr) {
      for (const CueSourceEntry* later = &entry + 1; later != std::end(kCueSources); ++later) {
        search.Note(later->source)->consulted = false;
      }
    }
    return complete || entry.answersStoppedParse ? &sheet : nullptr;
  }
  // A search that could not open a file is tried again, but not before a
  // second has passed: a tick in between costs one clock reading.
  search.watched.retryAt = search.conclusive ? 0 : platform::MonotonicMilliseconds() + kRetryMilliseconds;
  RememberMiss(key, std::move(search.watched));
  if (report != nullptr) report->missRemembered = search.conclusive;
  return nullptr;
}

bool CueSheetCache::MissStillHolds(const char16_t* path, const Watched& watched) const {
  if (watched.retryAt != 0) return platform::MonotonicMilliseconds() < watched.retryAt;
  platform::FileStamp now;
  if (!platform::GetFileStamp(path, now) || now != watched.audio) return false;
  for (std::size_t i = 0; i < watched.cuePathCount; ++i) {
    if (!platform::GetFileStamp(watched.cuePaths[i].c_str(), now) || now != watched.cues[i]) return false;
  }
  if (!watched.folderPath.empty() &&
      (!platform::GetFileStamp(watched.folderPath.c_str(), now) || now != watched.folder)) {
    return false;
  }
  for (const auto& [cuePath, stamp] : watched.folderCues) {
    if (!platform::GetFileStamp(cuePath.c_str(), now) || now != stamp) return false;
  }
  if (!watched.unreadableCues.empty() && platform::MonotonicMilliseconds() >= watched.cueRetryAt) {
    for (const std::u16string& cuePath : watched.unreadableCues) {
      platform::File file;
      if (file.Open(cuePath.c_str(), platform::FileAccess::kSequential)) return false;  // readable now: search again
    }
    watched.cueRetryAt = platform::MonotonicMilliseconds() + kRetryMilliseconds;
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
