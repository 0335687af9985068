// The plug-in's cue sheets, one per audio path, kept until the plug-in quits,
// and the one lookup that finds, parses and keeps them.
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include <utility>
#include <vector>

#include "cuesheet/cue_sheet.h"
#include "platform/file.h"
#include "sources/cue_text_source.h"
#include "sources/folder_cue_search.h"
#include "sources/side_cue_file.h"
#include "tags/ape_tag_parser.h"
#include "tags/flac_tag_parser.h"

// The places of a cue sheet, in the lookup's order.
enum class CueSource { kAPEv2Item, kFLACComment, kSideFile, kFolderCueFile, kFLACCueBlock };

// What one place gave in one search.
struct CueSourceReport {
  CueSource source = CueSource::kAPEv2Item;
  bool consulted = true;  // false: an earlier place had given the sheet
  CueTextOutcome outcome = CueTextOutcome::kAbsent;
  APECueResult ape;                                  // kAPEv2Item
  FLACReadStatus flac = FLACReadStatus::kUnreadable;  // kFLACComment, kFLACCueBlock
  bool commentTooLarge = false;                      // kFLACComment: left unread for its size
  std::u16string path;                               // kSideFile: the file tried; kFolderCueFile: the one taken
  uint64_t bytes = 0;                                // kSideFile, kFolderCueFile: its size
  SideCueDecoding decoding;                          // kSideFile, kFolderCueFile, when read
  TagCodePage flacCodePage;                          // kFLACComment, when found
  FolderCueSearch folder;                            // kFolderCueFile
  std::size_t blockTracks = 0;                       // kFLACCueBlock
  bool noTrack = false;  // it gave cue text without a track, and counts as absent
};

// What one lookup saw, for a report to the user.
struct CueLookupReport {
  bool cached = false;          // answered from the cache, nothing read
  bool rememberedMiss = false;  // a remembered miss that still holds
  std::vector<CueSourceReport> sources;  // in the order of the places
  bool droppedByteOrderMark = false;
  bool parseComplete = false;
  CueParseStop parseStop;
  bool missRemembered = false;  // this miss will be remembered
};

class CueSheetCache {
 public:
  CueSheetCache() = default;
  CueSheetCache(const CueSheetCache&) = delete;
  CueSheetCache& operator=(const CueSheetCache&) = delete;

  // The cue sheet of the audio file at `path` (zero-terminated, borrowed), or
  // null when none of its sources gives cue text. Sources, in order: an APEv2
  // CUESHEET item, a FLAC CUESHEET comment, the cue file beside the audio
  // file (named without the extension, else after the whole name), a cue
  // file of the audio file's folder whose FILE line names the audio file
  // (searched only where neither of those names is there and every place
  // before could be read), and a FLAC
  // CUESHEET block.
  // A hit touches no file and allocates nothing. A sheet whose parse stopped
  // early is kept: from a tag it is answered at once, from a side file only
  // from the next lookup on. The sheet and its tracks stay at the same
  // address until the cache goes.
  //
  // A place whose text gives no track (empty or blank text, a FLAC CUESHEET
  // block whose tracks cannot be timed) counts as absent, as does one whose
  // cue text is larger than kCueTextLimit or refused by its reader.
  //
  // A miss is remembered with the attributes of the audio file, of its side
  // cue files, of its folder where it was listed and of the folder's cue
  // files that were read; until one of them changes, a later lookup of the
  // path costs one attribute query per file or folder, and opens, lists and
  // reads nothing. A miss in which a file could not be opened or read is
  // remembered for a second: a lookup within it costs a clock reading and
  // touches no file, and the first one after it searches again. A cue file
  // of the folder that could not be read is the exception: the search is
  // remembered with the rest, and that file alone is tried again, by one
  // open at most once a second.
  // No exception leaves the lookup but platform::StorageWorkAbandoned, which
  // the calling thread's guard threw to stop it: nothing of it is then
  // remembered. Any other makes that lookup a miss.
  const CueSheet* GetCueSheet(const char16_t* path);

  // The same lookup, telling what it saw.
  const CueSheet* GetCueSheet(const char16_t* path, CueLookupReport& report);

  // The same, taking what `listing` knows where that is the audio file's
  // folder: the attributes of the audio file and its side cue files, and
  // for the folder search the folder's files and cue files
  // (FindFolderCueFile). For a program that looks up every file of a large
  // folder; the plug-in keeps no listing.
  const CueSheet* GetCueSheet(const char16_t* path, CueLookupReport& report, FolderListing* listing);

  std::size_t size() const { return sheets.size(); }
  std::size_t RememberedMisses() const { return misses.size(); }

  // The most misses kept; a new one replaces the oldest.
  static constexpr std::size_t kMaxRememberedMisses = 256;

  // The files whose attributes tell whether a remembered miss still holds:
  // the audio file, its side cue files, its folder and the cue files read
  // there, with what one query said of each.
  // A folder's time changes when a file in it is added, removed or renamed;
  // a file rewritten in place changes only its own.
  struct Watched {
    std::array<std::u16string, 2> cuePaths;
    std::size_t cuePathCount = 0;
    platform::FileStamp audio;
    std::array<platform::FileStamp, 2> cues;
    uint64_t retryAt = 0;  // nonzero: a file could not be read; search again from then on
    std::u16string folderPath;  // empty: the folder was not listed
    platform::FileStamp folder;
    std::vector<std::pair<std::u16string, platform::FileStamp>> folderCues;  // the cue files read there
    // Cue files of the folder that were there but could not be read: each
    // is tried again alone, by one open at most once a second; the search
    // runs again when one opens.
    std::vector<std::u16string> unreadableCues;
    mutable uint64_t cueRetryAt = 0;
  };

 private:
  const CueSheet* Look(const char16_t* path, CueLookupReport* report, FolderListing* listing = nullptr);
  const CueSheet* ReadCueSheet(const char16_t* path, std::u16string_view key, CueLookupReport* report,
                               FolderListing* listing);
  bool MissStillHolds(const char16_t* path, const Watched& watched) const;
  void RememberMiss(std::u16string_view key, Watched&& watched);

  // Keys are the paths exactly as the player reports them, compared by code
  // unit. The transparent comparator lets a hit look up the caller's path
  // without building a key.
  std::map<std::u16string, CueSheet, std::less<>> sheets;
  std::map<std::u16string, Watched, std::less<>> misses;
  std::deque<std::u16string_view> missOrder;  // keys of `misses`, oldest first
};
