// The parsed cue sheet of one audio file and the queries by playback position.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CueTime {
  uint16_t minutes = 0;
  uint16_t seconds = 0;
  uint16_t milliseconds = 0;  // the frames, already converted at 75 per second
};

// One track of a cue sheet. The album strings are references into the sheet
// that holds the track; a default-constructed track refers to an empty string.
struct CueTrack {
  int32_t number = 0;      // ordinal of the track in the cue text, from 1
  int32_t trackCount = 0;  // tracks found in the text, also those not stored
  int32_t start = 0;       // milliseconds from the start of the audio file
  CueTime index01;
  std::u16string title;
  std::u16string performer;
  std::u16string composer;  // its SONGWRITER, else its REM COMPOSER; empty: none
  const std::u16string* albumTitle;
  const std::u16string* albumPerformer;

  CueTrack();

  // Value equality: index01 takes no part, album strings compare by content.
  // The sheet's other album fields take no part either: tracks of two sheets
  // only meet when the player changes file, and it formats the title anew.
  friend bool operator==(const CueTrack& a, const CueTrack& b);
};

// Where a parse stopped: the ordinal of the first track without an INDEX 01
// line, and the 1-based line of the whole text (lines end at LF, CR LF or
// CR) on which
// that track's TRACK keyword stands. Both 0 after a complete parse.
struct CueParseStop {
  int32_t track = 0;
  int32_t line = 0;
};

// A sheet is filled in place and never copied or moved: its tracks refer back
// into it, and the plug-in hands out pointers into it for its whole life.
class CueSheet {
 public:
  CueSheet() = default;
  CueSheet(const CueSheet&) = delete;
  CueSheet& operator=(const CueSheet&) = delete;

  std::map<int32_t, CueTrack> tracks;  // keyed by start
  std::u16string albumTitle;
  std::u16string albumPerformer;
  int32_t singlePerformer = 0;
  // The album's fields beyond title and performer, from the lines before the
  // first track; empty when the sheet carries none (a line whose value is
  // empty carries nothing).
  std::u16string albumDate;       // REM DATE
  std::u16string albumGenre;      // REM GENRE
  std::u16string albumComposer;   // SONGWRITER, else REM COMPOSER
  std::u16string discNumber;      // REM DISCNUMBER
  std::u16string totalDiscs;      // REM TOTALDISCS
  // False for a sheet made from tracks alone (SetTracks): its strings are
  // empty because the source has no text, not because the cue sheet says so.
  bool carriesText = true;

  // A track that starts less than this many milliseconds after the position
  // already counts as playing: Next passes over it and the title shows it.
  static constexpr int32_t kAheadMargin = 1000;

  // Each query returns true and writes both outputs when a track qualifies;
  // on false both outputs keep what the caller put there. None allocates.
  // The bounds (position + 1000, position + margin) are exact: a position
  // near either end of the 32-bit range never wraps around to the other end.
  //   FindNextTrack:     earliest track with start > position + 1000
  //   FindTrackBefore:   latest track with start < position + margin
  //   FindPreviousTrack: the latest track with start <= position, when
  //                      position - its start > 4000; else the track before
  //                      it; none before it: false
  //   FindCurrentTrack:  FindTrackBefore with margin 0
  bool FindNextTrack(int32_t position, int32_t& start, const CueTrack*& track) const;
  bool FindTrackBefore(int32_t position, int32_t margin, int32_t& start, const CueTrack*& track) const;
  bool FindPreviousTrack(int32_t position, int32_t& start, const CueTrack*& track) const;
  bool FindCurrentTrack(int32_t position, int32_t& start, const CueTrack*& track) const;

  // singlePerformer becomes 1 when every track's performer equals the album
  // performer code unit for code unit (so also for a sheet without tracks).
  void UpdateSinglePerformer();

  // Fills the sheet from the whole cue text; true when every track piece had
  // an INDEX 01 line. A parse that stops keeps what it read so far.
  // Lines end at LF, CR LF or a CR alone. A track begins at each line that
  // starts with "TRACK " (case-sensitive) after its leading blanks; the rest
  // of that line reads as a line of the track, and "TRACK " inside a line is
  // text. TITLE, PERFORMER and INDEX 01 lines make the tracks, the last of a kind
  // wins, and a later track at the same start replaces the earlier one.
  // number is the track's ordinal in the text, not the number written there.
  // The other fields come from REM DATE, REM GENRE, REM DISCNUMBER, REM
  // TOTALDISCS, REM COMPOSER and SONGWRITER lines, each keyword followed by a
  // blank or the end of its line; values read as TITLE's do. Every other
  // line is ignored.
  // Needs no memory beyond the sheet it fills: the text is read in place.
  bool Parse(const std::u16string& text);
  // The same parse; `stop` (may be null) learns where it stopped.
  bool Parse(std::u16string_view text, CueParseStop* stop);

  // Fills an empty sheet from track starts alone, as a FLAC CUESHEET block
  // gives them: element i is track i + 1's start in milliseconds, or none when
  // that track has no index 1 (it is left out). number is the ordinal i + 1,
  // trackCount the number of elements, a later track at the same start
  // replaces an earlier one, and the sheet carries no text.
  void SetTracks(const std::vector<std::optional<int32_t>>& starts);

 private:
  // The latest track with start < bound, or tracks.end() when there is none.
  std::map<int32_t, CueTrack>::const_iterator LatestBefore(int64_t bound) const;
};

// The value of a TITLE or PERFORMER line: rest is the line after its keyword,
// target gets it without the spaces, tabs and double quotes at either end.
// Quotes inside the value stay; no escape is interpreted.
void ReadTextValue(std::u16string_view rest, std::u16string& target);

// The time of an INDEX line, mm:ss:ff with 75 frames a second: rest is the
// line after its keyword. Each field is read as a decimal number with
// optional sign (no digits read as 0) and cut to 16 bits. Where the time (up
// to the first blank after it) holds two colons, the fields are what begins
// the time and what follows each colon, of any number of digits: 0:15:00 is
// 15 seconds. Otherwise they are read at fixed offsets 0, 3 and 6 from the
// first non-blank character; minutes of three or more characters move the
// other two fields along, so 113.20.40 is 113 minutes, 20 seconds, 40
// frames. Nothing past the end of rest is read: a field that starts beyond
// it reads as 0. A rest of blanks leaves target unchanged.
void ReadCueTime(std::u16string_view rest, CueTime& target);
