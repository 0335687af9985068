// Feeds arbitrary bytes, read as UTF-16LE code units, to CueSheet::Parse and
// checks what must hold of every sheet, whatever the text. Where the text has
// no "TRACK " inside a line, no line end of a CR alone and no INDEX 01 time
// with short fields, the parse must give what the first parser gave, built
// here the plain way: the text split into pieces at every "TRACK " and each
// piece into trimmed lines at LF, every piece and line a copy, and the times
// read at fixed offsets.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cuesheet/cue_sheet.h"
#include "cuesheet/text_utilities.h"
#include "fuzz/fuzz_check.h"

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Lines that begin with "TRACK " after their blanks; lines end at LF, CR LF
// or CR.
int64_t CountTrackLines(std::u16string_view text) {
  int64_t count = 0;
  bool lineStart = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' || text[i] == u'\n') {
      lineStart = true;
    } else if (lineStart && !IsBlank(text[i])) {
      count += text.substr(i).starts_with(u"TRACK ") ? 1 : 0;
      lineStart = false;
    }
  }
  return count;
}

bool AllDigits(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// Whether the first parser's rules read the text as the present ones do: no
// CR without a LF after it, every "TRACK " at the start of a line after
// blanks, and every time after "INDEX 01" of two colons made of two or more
// digits, two digits and then anything.
bool FirstRulesApply(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')) return false;
  }
  for (std::size_t at = text.find(u"TRACK "); at != std::u16string_view::npos; at = text.find(u"TRACK ", at + 1)) {
    const std::size_t lineStart = at == 0 ? 0 : text.find_last_of(u'\n', at - 1) + 1;
    const std::u16string_view before = text.substr(lineStart, at - lineStart);
    if (before.find_first_not_of(u" \t") != std::u16string_view::npos) return false;
  }
  for (std::size_t at = text.find(u"INDEX 01"); at != std::u16string_view::npos; at = text.find(u"INDEX 01", at + 1)) {
    std::u16string_view rest = text.substr(at + 8, text.find(u'\n', at) - at - 8);
    const std::size_t first = rest.find_first_not_of(u" \t\r\n");
    if (first == std::u16string_view::npos) continue;
    rest = rest.substr(first);
    const std::u16string_view time = rest.substr(0, rest.find_first_of(u" \t\r"));
    const std::size_t colon = time.find(u':');
    const std::size_t second = colon == std::u16string_view::npos ? colon : time.find(u':', colon + 1);
    if (second == std::u16string_view::npos) continue;
    const std::u16string_view minutes = time.substr(0, colon);
    const std::u16string_view seconds = time.substr(colon + 1, second - colon - 1);
    if (minutes.size() < 2 || !AllDigits(minutes) || seconds.size() != 2 || !AllDigits(seconds)) return false;
  }
  return true;
}

// The first parser's reading of a decimal field: blanks skipped, an optional
// sign, digits; saturating at the 32-bit limits.
struct FirstNumber {
  int32_t value = 0;
  std::size_t end = 0;
};

FirstNumber FirstReadDecimal(std::u16string_view text, std::size_t at) {
  FirstNumber result{0, at};
  std::size_t i = at;
  while (i < text.size() && (IsBlank(text[i]) || text[i] == u'\v' || text[i] == u'\f')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  const std::size_t digits = i;
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    magnitude = std::min<int64_t>(magnitude * 10 + (text[i] - u'0'), int64_t{1} << 31);
  }
  if (i == digits) return result;
  const int64_t value = negative ? -magnitude : magnitude;
  result.value = static_cast<int32_t>(std::min<int64_t>(value, kMax));
  result.end = i;
  return result;
}

// The first parser's time: fields at fixed offsets 0, 3 and 6, moved along
// after minutes of three or more characters.
void FirstReadCueTime(std::u16string_view rest, CueTime& target) {
  std::size_t first = 0;
  while (first < rest.size() && IsBlank(rest[first])) ++first;
  if (first == rest.size()) return;
  const FirstNumber minutes = FirstReadDecimal(rest, first);
  const bool wide = minutes.end - first > 2;
  const int32_t seconds = FirstReadDecimal(rest, wide ? minutes.end + 1 : first + 3).value;
  const int32_t frames = FirstReadDecimal(rest, wide ? minutes.end + 4 : first + 6).value;
  target.minutes = static_cast<uint16_t>(minutes.value);
  target.seconds = static_cast<uint16_t>(seconds);
  target.milliseconds = static_cast<uint16_t>(static_cast<int32_t>(static_cast<uint32_t>(frames) * 1000u) / 75);
}

int32_t StartOf(const CueTime& time) {
  return static_cast<int32_t>(uint32_t{time.minutes} * 60000u + uint32_t{time.seconds} * 1000u +
                              uint32_t{time.milliseconds});
}

// The queries by plain linear scans, bounds in 64 bits.
const CueTrack* ScanNext(const CueSheet& sheet, int32_t position) {
  for (const auto& [start, track] : sheet.tracks) {
    if (start > int64_t{position} + 1000) {
      return &track;
    }
  }
  return nullptr;
}

const CueTrack* ScanBefore(const CueSheet& sheet, int32_t position, int32_t margin) {
  const CueTrack* found = nullptr;
  for (const auto& [start, track] : sheet.tracks) {
    if (start < int64_t{position} + margin) {
      found = &track;
    }
  }
  return found;
}

// Previous: the track playing (start <= position) once more than 4 s of it
// have played, else the one before it.
const CueTrack* ScanPrevious(const CueSheet& sheet, int32_t position) {
  const CueTrack* playing = nullptr;
  const CueTrack* before = nullptr;
  int64_t playingStart = 0;
  for (const auto& [start, track] : sheet.tracks) {
    if (start <= int64_t{position}) {
      before = playing;
      playing = &track;
      playingStart = start;
    }
  }
  if (playing == nullptr) return nullptr;
  return int64_t{position} - playingStart > 4000 ? playing : before;
}

using Query = bool (CueSheet::*)(int32_t, int32_t&, const CueTrack*&) const;

void CheckQuery(const CueSheet& sheet, Query query, int32_t position, const CueTrack* expected) {
  const CueTrack sentinel;
  int32_t start = 12345;
  const CueTrack* track = &sentinel;
  const bool found = (sheet.*query)(position, start, track);
  CHECK(found == (expected != nullptr));
  if (found) {
    CHECK(track == expected);
    CHECK(start == expected->start);
  } else {
    CHECK(start == 12345);
    CHECK(track == &sentinel);
  }
}

void CheckQueries(const CueSheet& sheet, int32_t position, int32_t margin) {
  CheckQuery(sheet, &CueSheet::FindNextTrack, position, ScanNext(sheet, position));
  CheckQuery(sheet, &CueSheet::FindPreviousTrack, position, ScanPrevious(sheet, position));
  CheckQuery(sheet, &CueSheet::FindCurrentTrack, position, ScanBefore(sheet, position, 0));

  int32_t start = 0;
  const CueTrack* track = nullptr;
  const CueTrack* expected = ScanBefore(sheet, position, margin);
  CHECK(sheet.FindTrackBefore(position, margin, start, track) == (expected != nullptr));
  CHECK(expected == nullptr || track == expected);
}

struct ReferenceTrack {
  int32_t number = 0;
  CueTime index01;
  std::u16string title;
  std::u16string performer;
  std::u16string composer;
};

struct ReferenceSheet {
  bool complete = true;
  CueParseStop stop;
  std::u16string fields[7];  // as kAlbumFields lists them
  std::map<int32_t, ReferenceTrack> tracks;
};

constexpr std::u16string CueSheet::*kAlbumFields[] = {
    &CueSheet::albumTitle, &CueSheet::albumPerformer, &CueSheet::albumDate, &CueSheet::albumGenre,
    &CueSheet::albumComposer, &CueSheet::discNumber, &CueSheet::totalDiscs};

bool StartsWithWord(const std::u16string& line, std::u16string_view word) {
  return line.starts_with(word) &&
         (line.size() == word.size() || line[word.size()] == u' ' || line[word.size()] == u'\t');
}

ReferenceSheet ReferenceParse(const std::u16string& text) {
  ReferenceSheet sheet;
  std::vector<std::u16string> pieces;
  Split(text, pieces, u"TRACK ", false);
  std::vector<std::u16string> lines;
  std::size_t pieceAt = 0;  // where the piece begins in the text
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    Split(pieces[i], lines, u"\n", true);
    std::u16string title, performer, songwriter, remComposer, date, genre, disc, discs;
    CueTime index01;
    bool hasIndex01 = false;
    for (const std::u16string& line : lines) {
      const std::u16string_view view(line);
      if (view.starts_with(u"TITLE")) {
        ReadTextValue(view.substr(5), title);
      } else if (view.starts_with(u"PERFORMER")) {
        ReadTextValue(view.substr(9), performer);
      } else if (view.starts_with(u"INDEX 00")) {
      } else if (view.starts_with(u"INDEX 01")) {
        FirstReadCueTime(view.substr(8), index01);
        hasIndex01 = true;
      } else {
        const struct {
          std::u16string_view word;
          std::u16string* target;
        } extras[] = {{u"SONGWRITER", &songwriter}, {u"REM COMPOSER", &remComposer},
                      {u"REM DATE", &date},         {u"REM GENRE", &genre},
                      {u"REM DISCNUMBER", &disc},   {u"REM TOTALDISCS", &discs}};
        for (const auto& extra : extras) {
          if (StartsWithWord(line, extra.word)) {
            ReadTextValue(view.substr(extra.word.size()), *extra.target);
          }
        }
      }
    }
    const std::u16string composer = songwriter.empty() ? remComposer : songwriter;
    if (i == 0) {
      sheet.fields[0] = title;
      sheet.fields[1] = performer;
      sheet.fields[2] = date;
      sheet.fields[3] = genre;
      sheet.fields[4] = composer;
      sheet.fields[5] = disc;
      sheet.fields[6] = discs;
    } else if (!hasIndex01) {
      // The TRACK keyword stands right before the piece.
      const auto lineFeeds = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(pieceAt), u'\n');
      sheet.complete = false;
      sheet.stop = {static_cast<int32_t>(i), static_cast<int32_t>(lineFeeds + 1)};
      return sheet;
    } else {
      sheet.tracks[StartOf(index01)] = {static_cast<int32_t>(i), index01, title, performer, composer};
    }
    pieceAt += pieces[i].size() + 6;
  }
  return sheet;
}

void CheckAgainstReference(const CueSheet& sheet, bool complete, const CueParseStop& stop,
                           const ReferenceSheet& reference) {
  CHECK(complete == reference.complete);
  CHECK(stop.track == reference.stop.track);
  CHECK(stop.line == reference.stop.line);
  for (std::size_t i = 0; i < std::size(kAlbumFields); ++i) {
    CHECK(sheet.*kAlbumFields[i] == reference.fields[i]);
  }
  CHECK(sheet.tracks.size() == reference.tracks.size());
  auto expected = reference.tracks.begin();
  for (const auto& [start, track] : sheet.tracks) {
    CHECK(start == expected->first);
    CHECK(track.number == expected->second.number);
    CHECK(track.index01.minutes == expected->second.index01.minutes);
    CHECK(track.index01.seconds == expected->second.index01.seconds);
    CHECK(track.index01.milliseconds == expected->second.index01.milliseconds);
    CHECK(track.title == expected->second.title);
    CHECK(track.performer == expected->second.performer);
    CHECK(track.composer == expected->second.composer);
    ++expected;
  }
}

int32_t ReadInt32(const uint8_t* data, std::size_t size, std::size_t at) {
  uint32_t value = 0;
  for (std::size_t i = 0; i < 4 && at + i < size; ++i) {
    value |= uint32_t{data[at + i]} << (8 * i);
  }
  return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }

  CueSheet sheet;
  CueParseStop stop{-1, -1};
  const bool complete = sheet.Parse(text, &stop);
  if (FirstRulesApply(text)) CheckAgainstReference(sheet, complete, stop, ReferenceParse(text));

  const int64_t trackCount = CountTrackLines(text);
  CHECK(static_cast<int64_t>(sheet.tracks.size()) <= trackCount);
  if (!complete) {
    CHECK(static_cast<int64_t>(sheet.tracks.size()) < trackCount);
    CHECK(sheet.singlePerformer == 0);
  }

  std::set<int32_t> numbers;
  bool havePrevious = false;
  int32_t previous = 0;
  bool allSamePerformer = true;
  bool lastTrackStored = false;
  for (const auto& [start, track] : sheet.tracks) {
    CHECK(!havePrevious || previous < start);
    havePrevious = true;
    previous = start;
    CHECK(track.start == start);
    CHECK(StartOf(track.index01) == start);
    CHECK(track.trackCount == trackCount);
    CHECK(track.number >= 1 && track.number <= track.trackCount);
    CHECK(numbers.insert(track.number).second);
    CHECK(track.albumTitle == &sheet.albumTitle);
    CHECK(track.albumPerformer == &sheet.albumPerformer);
    allSamePerformer = allSamePerformer && track.performer == sheet.albumPerformer;
    lastTrackStored = lastTrackStored || track.number == trackCount;
  }
  if (complete) {
    CHECK(sheet.singlePerformer == (allSamePerformer ? 1 : 0));
    // Nothing follows the last track of the text that could replace it.
    CHECK(trackCount == 0 || lastTrackStored);
  }

  const int32_t fromInput = ReadInt32(data, size, 0);
  const int32_t margin = ReadInt32(data, size, 4);
  for (int32_t position : {0, -1, 1, kMin, kMin + 1000, kMin + 4000, kMax, kMax - 1000,
                           kMax - 1001, fromInput}) {
    CheckQueries(sheet, position, margin);
  }
  int checked = 0;
  for (const auto& [start, track] : sheet.tracks) {
    if (++checked > 16) {
      break;
    }
    for (int64_t offset : {-4001, -4000, -1001, -1000, -1, 0, 1, 1000, 1001, 4000, 4001}) {
      const int64_t position = int64_t{start} + offset;
      if (position >= kMin && position <= kMax) {
        CheckQueries(sheet, static_cast<int32_t>(position), margin);
      }
    }
  }
  return 0;
}
