// The rules of the plug-in's navigation, as plain functions of a cue sheet
// and the player's playback position: what Previous and Next do, which cue
// track is playing, when the title must refresh, and what a title tag says.
// Positions are the player's milliseconds; a negative one means that
// nothing plays.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "cuesheet/cue_sheet.h"

enum class CueCommand { kPrevious, kNext };

// The start of the cue track that the command seeks to, or false when the
// command is left to the player. Next passes over a track that starts one
// second or less after the position. Previous goes to the start of the
// track under the position (the last that starts at or before it) once more
// than four seconds of it have played, and before that to the start of the
// track before it, so a second press within a track's first four seconds
// goes one track further back, and a track shorter than four seconds is
// never passed over.
bool FindJumpTarget(const CueSheet& sheet, CueCommand command, int32_t position, int32_t& target);

// The cue track playing at `position`, counted as current from less than one
// second before its start (the margin by which Next passes over a track that
// is about to begin); null when there is none. The track lives in the sheet.
const CueTrack* FindPlayingTrack(const CueSheet& sheet, int32_t position);

// Whether the title must refresh because playback reached `current` after
// the track last seen. Equality is by value, so the same track of another
// file with equal fields is no change. Allocates nothing.
bool IsTrackChange(const CueTrack* lastSeen, const CueTrack& current);

enum class TitleTag {
  kNone,
  kNumber,
  kNumberTotal,
  kTitle,
  kArtist,
  kMainTitle,
  kMainArtist,
  kDate,
  kGenre,
  kComposer,
  kDisc,
  kDiscTotal,
};

struct TitleTagName {
  std::u16string_view name;
  TitleTag tag;
};

// Every tag the plug-in answers, by name.
std::span<const TitleTagName> TitleTagNames();

// The tag of this exact, case-sensitive name, or kNone for every other name.
TitleTag FindTitleTag(std::u16string_view name);

// A title tag's answer: a number to write as decimal text, a text that lives
// in the sheet, or nothing, which leaves the tag to the player.
struct TitleTagAnswer {
  enum class Kind { kPlayer, kNumber, kText };
  Kind kind = Kind::kPlayer;
  int32_t number = 0;
  const std::u16string* text = nullptr;
};

// The answer for `tag` from the playing `track` of `sheet`. "subdate",
// "subgenre", "subcomposer", "subdisc" and "subdisctotal" are left to the
// player when the sheet does not carry their field; a sheet without text
// answers only "subnum" and "subnumtotal". Allocates nothing.
TitleTagAnswer AnswerTitleTag(TitleTag tag, const CueSheet& sheet, const CueTrack& track);
