// The parsed cue sheet of one audio file and the queries by playback position.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

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
  const std::u16string* albumTitle;
  const std::u16string* albumPerformer;

  CueTrack();

  // Value equality: index01 takes no part, album strings compare by content.
  friend bool operator==(const CueTrack& a, const CueTrack& b);
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

  // Each query returns true and writes both outputs when a track qualifies;
  // on false both outputs keep what the caller put there. None allocates.
  // The bounds (position + 1000, position + margin) are exact: a position
  // near either end of the 32-bit range never wraps around to the other end.
  //   FindNextTrack:     earliest track with start > position + 1000
  //   FindTrackBefore:   latest track with start < position + margin
  //   FindPreviousTrack: FindTrackBefore with margin -4000
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
  // Tracks are cut at every "TRACK " (case-sensitive, anywhere in the text);
  // only TITLE, PERFORMER and INDEX 01 lines are read, the last of a kind
  // wins, and a later track at the same start replaces the earlier one.
  // number is the track's ordinal in the text, not the number written there.
  bool Parse(const std::u16string& text);
};

// The value of a TITLE or PERFORMER line: rest is the line after its keyword,
// target gets it without the spaces, tabs and double quotes at either end.
// Quotes inside the value stay; no escape is interpreted.
void ReadTextValue(std::u16string_view rest, std::u16string& target);

// The time of an INDEX line, mm:ss:ff with 75 frames a second: rest is the
// line after its keyword. The fields are read at fixed offsets 0, 3 and 6
// from the first non-blank character, each as a decimal number with optional
// sign (no digits read as 0), and cut to 16 bits. Minutes of three or more
// characters move the other two fields along, so 113:20:40 is 113 minutes,
// 20 seconds, 40 frames. Nothing past the end of rest is read: a field that
// starts beyond it reads as 0. A rest of blanks leaves target unchanged.
void ReadCueTime(std::u16string_view rest, CueTime& target);
