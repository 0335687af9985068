#include "cuesheet/cue_sheet.h"

#include <iterator>
#include <limits>

namespace {

// What a track refers to until a sheet takes it in. A function-local static,
// so a track built during static initialisation elsewhere still finds it.
const std::u16string& NoAlbumText() {
  static const std::u16string empty;
  return empty;
}

constexpr int64_t kMinStart = std::numeric_limits<int32_t>::min();
constexpr int64_t kMaxStart = std::numeric_limits<int32_t>::max();

// Previous goes back to the start of the playing track only after this much
// of it has played; before, it goes to the track before.
constexpr int32_t kRestartAfter = 4000;

}  // namespace

CueTrack::CueTrack() : albumTitle(&NoAlbumText()), albumPerformer(&NoAlbumText()) {}

bool operator==(const CueTrack& a, const CueTrack& b) {
  return a.number == b.number && a.trackCount == b.trackCount && a.start == b.start &&
         a.title == b.title && a.performer == b.performer && a.composer == b.composer &&
         *a.albumTitle == *b.albumTitle && *a.albumPerformer == *b.albumPerformer;
}

// The bounds are taken in 64 bits: wrapped in 32, a position just below the
// largest value would make "next" jump back to the first track, and one just
// above the smallest would make "previous" jump to the last.
bool CueSheet::FindNextTrack(int32_t position, int32_t& start, const CueTrack*& track) const {
  const int64_t bound = int64_t{position} + kAheadMargin;
  if (bound >= kMaxStart) {
    return false;
  }
  const auto found = bound < kMinStart ? tracks.begin()
                                       : tracks.upper_bound(static_cast<int32_t>(bound));
  if (found == tracks.end()) {
    return false;
  }
  start = found->first;
  track = &found->second;
  return true;
}

std::map<int32_t, CueTrack>::const_iterator CueSheet::LatestBefore(int64_t bound) const {
  if (bound <= kMinStart) {
    return tracks.end();
  }
  auto found = bound > kMaxStart ? tracks.end() : tracks.lower_bound(static_cast<int32_t>(bound));
  return found == tracks.begin() ? tracks.end() : std::prev(found);
}

bool CueSheet::FindTrackBefore(int32_t position, int32_t margin, int32_t& start,
                               const CueTrack*& track) const {
  const auto found = LatestBefore(int64_t{position} + margin);
  if (found == tracks.end()) {
    return false;
  }
  start = found->first;
  track = &found->second;
  return true;
}

bool CueSheet::FindPreviousTrack(int32_t position, int32_t& start, const CueTrack*& track) const {
  // The track that plays: the latest that starts at or before the position.
  // Measured from its start, not from the position, a track shorter than
  // the four seconds is never passed over; for tracks longer than that the
  // answer is the last start before position - 4 s, as it always was.
  auto found = LatestBefore(int64_t{position} + 1);
  if (found == tracks.end()) {
    return false;
  }
  if (int64_t{position} - found->first <= kRestartAfter) {
    if (found == tracks.begin()) {
      return false;
    }
    --found;
  }
  start = found->first;
  track = &found->second;
  return true;
}

bool CueSheet::FindCurrentTrack(int32_t position, int32_t& start, const CueTrack*& track) const {
  return FindTrackBefore(position, 0, start, track);
}

void CueSheet::UpdateSinglePerformer() {
  singlePerformer = 1;
  for (const auto& [trackStart, track] : tracks) {
    if (track.performer != albumPerformer) {
      singlePerformer = 0;
      return;
    }
  }
}
