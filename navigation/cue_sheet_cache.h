// The plug-in's cue sheets, one per audio path, kept until the plug-in quits,
// and the one lookup that finds, parses and keeps them.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "cuesheet/cue_sheet.h"

class CueSheetCache {
 public:
  CueSheetCache() = default;
  CueSheetCache(const CueSheetCache&) = delete;
  CueSheetCache& operator=(const CueSheetCache&) = delete;

  // The cue sheet of the audio file at `path` (zero-terminated, borrowed), or
  // null when none of its sources gives cue text. Sources, in order: an APEv2
  // CUESHEET item, a FLAC CUESHEET comment, the cue file beside the audio file.
  // A hit touches no file and allocates nothing; a miss is not remembered.
  // A sheet whose parse stopped early is kept: from a tag it is answered at
  // once, from a side file only from the next lookup on.
  // The sheet and its tracks stay at the same address until the cache goes.
  const CueSheet* GetCueSheet(const char16_t* path);

  std::size_t size() const { return sheets.size(); }

 private:
  const CueSheet* ReadCueSheet(const char16_t* path, std::u16string_view key);

  // Keys are the paths exactly as the player reports them, compared by code
  // unit. The transparent comparator lets a hit look up the caller's path
  // without building a key.
  std::map<std::u16string, CueSheet, std::less<>> sheets;
};
