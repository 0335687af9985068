#include <cstddef>
#include <limits>
#include <optional>
#include <vector>

#include "cuesheet/cue_sheet.h"

namespace {

constexpr std::u16string_view kTrack = u"TRACK ";
constexpr std::u16string_view kTitle = u"TITLE";
constexpr std::u16string_view kPerformer = u"PERFORMER";
constexpr std::u16string_view kIndex00 = u"INDEX 00";
constexpr std::u16string_view kIndex01 = u"INDEX 01";
constexpr std::u16string_view kLineBlanks = u" \t\r\n";
constexpr std::u16string_view kValueBlanks = u" \t\"";

bool IsNumberBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

bool IsLineBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

struct ReadNumber {
  int32_t value = 0;
  std::size_t end = 0;  // just past the sign and digits; where reading began if none
};

// A decimal number as the C runtime reads one: blanks skipped, an optional
// sign, digits up to the first other character; no digits give 0, and a
// number too large for 32 bits stays at the nearest limit. Never reads at or
// beyond text.size().
ReadNumber ReadDecimal(std::u16string_view text, std::size_t at) {
  ReadNumber result;
  result.end = at;
  std::size_t i = at;
  while (i < text.size() && IsNumberBlank(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  const std::size_t digitsBegin = i;
  // Magnitude up to 2^31, enough for both limits; larger stops growing.
  constexpr int64_t kCap = int64_t{1} << 31;
  int64_t magnitude = 0;
  while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
    if (magnitude <= kCap) {
      magnitude = magnitude * 10 + (text[i] - u'0');
    }
    ++i;
  }
  if (i == digitsBegin) {
    return result;
  }
  if (magnitude > kCap) {
    magnitude = kCap;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) {
    result.value = std::numeric_limits<int32_t>::max();
  } else {
    result.value = static_cast<int32_t>(value);
  }
  result.end = i;
  return result;
}

// minutes * 60000 + seconds * 1000 + milliseconds, wrapping at 32 bits: the
// largest fields give about 3.99e9, which reads back as a negative start.
int32_t StartOf(const CueTime& time) {
  const uint32_t sum = uint32_t{time.minutes} * 60000u + uint32_t{time.seconds} * 1000u +
                       uint32_t{time.milliseconds};
  return static_cast<int32_t>(sum);
}

std::u16string_view Trimmed(std::u16string_view text, std::u16string_view characters) {
  const std::size_t first = text.find_first_not_of(characters);
  if (first == std::u16string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

std::u16string_view TextValue(std::u16string_view rest) { return Trimmed(rest, kValueBlanks); }

int32_t SaturatedInt32(std::size_t value) {
  constexpr auto kMax = static_cast<std::size_t>(std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(value < kMax ? value : kMax);
}

// The line that begins at `at`, which then moves past the line's end, or to
// npos after the last line. Lines end at LF, CR LF or a CR alone: old Mac
// editors write the last.
std::u16string_view NextLine(std::u16string_view text, std::size_t& at) {
  const std::size_t end = text.find_first_of(u"\r\n", at);
  if (end == std::u16string_view::npos) {
    const std::u16string_view line = text.substr(at);
    at = std::u16string_view::npos;
    return line;
  }
  const std::u16string_view line = text.substr(at, end - at);
  at = end + 1;
  if (text[end] == u'\r' && at < text.size() && text[at] == u'\n') {
    ++at;
  }
  return line;
}

// The line without its leading blanks. A track begins where "TRACK "
// starts it; inside a line, a title for one, it is text.
std::u16string_view LeftTrimmed(std::u16string_view line) {
  const std::size_t first = line.find_first_not_of(kLineBlanks);
  return first == std::u16string_view::npos ? std::u16string_view() : line.substr(first);
}

std::size_t CountTrackLines(std::u16string_view text) {
  std::size_t count = 0;
  for (std::size_t at = 0; at != std::u16string_view::npos;) {
    if (LeftTrimmed(NextLine(text, at)).starts_with(kTrack)) {
      ++count;
    }
  }
  return count;
}

// A start in milliseconds as minutes, seconds and milliseconds; a negative
// start, which no cue time gives, stays 0:00.000.
CueTime CueTimeOf(int32_t start) {
  if (start < 0) {
    return {};
  }
  return {static_cast<uint16_t>(start / 60000), static_cast<uint16_t>(start / 1000 % 60),
          static_cast<uint16_t>(start % 1000)};
}

// What one piece says; every view points into the text. The last line of a
// kind wins; an INDEX 01 line with no time keeps the time before it.
struct PieceLines {
  std::u16string_view title;
  std::u16string_view performer;
  std::u16string_view songwriter;
  std::u16string_view remComposer;
  std::u16string_view date;
  std::u16string_view genre;
  std::u16string_view discNumber;
  std::u16string_view totalDiscs;
  CueTime index01;
  bool hasIndex01 = false;

  std::u16string_view Composer() const { return songwriter.empty() ? remComposer : songwriter; }
};

// The keywords of the album's other fields and the composers. What follows
// REM is free text (REM DATED is no date), so a keyword counts only where a
// blank or the end of the line follows it.
struct ExtraKeyword {
  std::u16string_view name;
  std::u16string_view PieceLines::*field;
};

constexpr ExtraKeyword kExtraKeywords[] = {
    {u"SONGWRITER", &PieceLines::songwriter},    {u"REM COMPOSER", &PieceLines::remComposer},
    {u"REM DATE", &PieceLines::date},            {u"REM GENRE", &PieceLines::genre},
    {u"REM DISCNUMBER", &PieceLines::discNumber}, {u"REM TOTALDISCS", &PieceLines::totalDiscs},
};

void ReadLine(std::u16string_view line, PieceLines& piece) {
  if (line.starts_with(kTitle)) {
    piece.title = TextValue(line.substr(kTitle.size()));
  } else if (line.starts_with(kPerformer)) {
    piece.performer = TextValue(line.substr(kPerformer.size()));
  } else if (line.starts_with(kIndex00)) {
    // The pre-gap does not move the start of a track.
  } else if (line.starts_with(kIndex01)) {
    ReadCueTime(line.substr(kIndex01.size()), piece.index01);
    piece.hasIndex01 = true;
  } else {
    for (const ExtraKeyword& keyword : kExtraKeywords) {
      if (!line.starts_with(keyword.name)) {
        continue;
      }
      const std::u16string_view rest = line.substr(keyword.name.size());
      if (rest.empty() || rest[0] == u' ' || rest[0] == u'\t') {
        piece.*keyword.field = TextValue(rest);
      }
      return;
    }
  }
}

}  // namespace

void ReadTextValue(std::u16string_view rest, std::u16string& target) { target.assign(TextValue(rest)); }

void ReadCueTime(std::u16string_view rest, CueTime& target) {
  std::size_t first = 0;
  while (first < rest.size() && IsLineBlank(rest[first])) {
    ++first;
  }
  if (first == rest.size()) {
    return;
  }
  const ReadNumber minutes = ReadDecimal(rest, first);
  std::size_t secondsAt = first + 3;
  std::size_t framesAt = first + 6;
  // A time of two colons is mm:ss:ff with any number of digits in each
  // field: rippers write one-digit minutes (0:15:00), which fixed offsets
  // would read inside the seconds.
  const std::u16string_view time = rest.substr(first, rest.find_first_of(u" \t", first) - first);
  const std::size_t firstColon = time.find(u':');
  const std::size_t secondColon =
      firstColon == std::u16string_view::npos ? firstColon : time.find(u':', firstColon + 1);
  if (secondColon != std::u16string_view::npos) {
    secondsAt = first + firstColon + 1;
    framesAt = first + secondColon + 1;
  } else if (minutes.end - first > 2) {
    // Without two colons the fields sit at fixed offsets, except after
    // minutes of three or more digits (113.20.40), where they would land
    // inside the minutes: the seconds and frames follow the separator after
    // the minutes instead.
    secondsAt = minutes.end + 1;
    framesAt = minutes.end + 4;
  }
  const int32_t seconds = ReadDecimal(rest, secondsAt).value;
  const int32_t frames = ReadDecimal(rest, framesAt).value;
  // frames * 1000 wraps at 32 bits (only nonsense frame counts get there)
  // and the division truncates toward zero.
  const int32_t milliseconds =
      static_cast<int32_t>(static_cast<uint32_t>(frames) * 1000u) / 75;
  target.minutes = static_cast<uint16_t>(minutes.value);
  target.seconds = static_cast<uint16_t>(seconds);
  target.milliseconds = static_cast<uint16_t>(milliseconds);
}

bool CueSheet::Parse(const std::u16string& text) { return Parse(std::u16string_view(text), nullptr); }

// The text is read in place: lines are views into it, and only the values
// that the sheet keeps are copied, once per piece. So a text of millions of
// empty pieces or lines costs nothing beyond its sheet.
bool CueSheet::Parse(std::u16string_view text, CueParseStop* stop) {
  if (stop != nullptr) {
    *stop = {};
  }
  const int32_t trackCount = static_cast<int32_t>(CountTrackLines(text));
  // Piece 0 is the album header; piece i from 1 is the i-th track, from its
  // TRACK line (whose rest reads as a line of the piece) to the next one.
  PieceLines piece;
  std::size_t i = 0;
  std::size_t pieceLine = 0;  // 1-based line of the piece's TRACK keyword
  std::size_t lineNumber = 0;
  std::size_t at = 0;
  for (;;) {
    const bool end = at == std::u16string_view::npos;
    std::u16string_view line;
    if (!end) {
      line = LeftTrimmed(NextLine(text, at));
      ++lineNumber;
    }
    if (!end && !line.starts_with(kTrack)) {
      line = Trimmed(line, kLineBlanks);
      if (!line.empty()) {
        ReadLine(line, piece);
      }
      continue;
    }
    // The piece before ends here.
    if (i == 0) {
      albumTitle.assign(piece.title);
      albumPerformer.assign(piece.performer);
      albumDate.assign(piece.date);
      albumGenre.assign(piece.genre);
      albumComposer.assign(piece.Composer());
      discNumber.assign(piece.discNumber);
      totalDiscs.assign(piece.totalDiscs);
    } else if (!piece.hasIndex01) {
      if (stop != nullptr) {
        *stop = {static_cast<int32_t>(i), SaturatedInt32(pieceLine)};
      }
      return false;
    } else {
      CueTrack track;
      track.number = static_cast<int32_t>(i);
      track.trackCount = trackCount;
      track.index01 = piece.index01;
      track.start = StartOf(piece.index01);
      track.title.assign(piece.title);
      track.performer.assign(piece.performer);
      track.composer.assign(piece.Composer());
      track.albumTitle = &albumTitle;
      track.albumPerformer = &albumPerformer;
      const int32_t start = track.start;
      tracks.insert_or_assign(start, std::move(track));
    }
    if (end) {
      break;
    }
    ++i;
    piece = PieceLines{};
    pieceLine = lineNumber;
    const std::u16string_view rest = Trimmed(line.substr(kTrack.size()), kLineBlanks);
    if (!rest.empty()) {
      ReadLine(rest, piece);
    }
  }
  UpdateSinglePerformer();
  return true;
}

void CueSheet::SetTracks(const std::vector<std::optional<int32_t>>& starts) {
  carriesText = false;
  const int32_t trackCount = SaturatedInt32(starts.size());
  for (std::size_t i = 0; i < starts.size(); ++i) {
    if (!starts[i].has_value()) {
      continue;
    }
    CueTrack track;
    track.number = SaturatedInt32(i + 1);
    track.trackCount = trackCount;
    track.start = *starts[i];
    track.index01 = CueTimeOf(track.start);
    track.albumTitle = &albumTitle;
    track.albumPerformer = &albumPerformer;
    tracks.insert_or_assign(track.start, std::move(track));
  }
  UpdateSinglePerformer();
}
