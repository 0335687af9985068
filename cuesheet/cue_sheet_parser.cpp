#include <cstddef>
#include <limits>
#include <vector>

#include "cuesheet/cue_sheet.h"
#include "cuesheet/text_utilities.h"

namespace {

constexpr std::u16string_view kTitle = u"TITLE";
constexpr std::u16string_view kPerformer = u"PERFORMER";
constexpr std::u16string_view kIndex00 = u"INDEX 00";
constexpr std::u16string_view kIndex01 = u"INDEX 01";

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

}  // namespace

void ReadTextValue(std::u16string_view rest, std::u16string& target) {
  target.assign(rest);
  Trim(target, u" \t\"");
}

void ReadCueTime(std::u16string_view rest, CueTime& target) {
  std::size_t first = 0;
  while (first < rest.size() && IsLineBlank(rest[first])) {
    ++first;
  }
  if (first == rest.size()) {
    return;
  }
  const ReadNumber minutes = ReadDecimal(rest, first);
  // Cue times are mm:ss:ff, so the fields sit at fixed offsets. Long
  // recordings write minutes of three or more digits (113:20:40); the fixed
  // offsets would then land inside the minutes, so the seconds and frames
  // are taken after the separator that follows the minutes instead.
  std::size_t secondsAt = first + 3;
  std::size_t framesAt = first + 6;
  if (minutes.end - first > 2) {
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

bool CueSheet::Parse(const std::u16string& text) {
  std::vector<std::u16string> pieces;
  Split(text, pieces, u"TRACK ", false);
  const int32_t trackCount = static_cast<int32_t>(pieces.size() - 1);

  std::vector<std::u16string> lines;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    Split(pieces[i], lines, u"\n", true);
    CueTrack track;
    bool hasIndex01 = false;
    for (const std::u16string& line : lines) {
      const std::u16string_view view(line);
      if (view.empty()) {
        continue;
      }
      if (view.starts_with(kTitle)) {
        ReadTextValue(view.substr(kTitle.size()), track.title);
      } else if (view.starts_with(kPerformer)) {
        ReadTextValue(view.substr(kPerformer.size()), track.performer);
      } else if (view.starts_with(kIndex00)) {
        // The pre-gap does not move the start of a track.
      } else if (view.starts_with(kIndex01)) {
        ReadCueTime(view.substr(kIndex01.size()), track.index01);
        hasIndex01 = true;
      }
    }
    if (i == 0) {
      albumTitle = std::move(track.title);
      albumPerformer = std::move(track.performer);
      continue;
    }
    if (!hasIndex01) {
      return false;
    }
    track.number = static_cast<int32_t>(i);
    track.trackCount = trackCount;
    track.start = StartOf(track.index01);
    track.albumTitle = &albumTitle;
    track.albumPerformer = &albumPerformer;
    tracks.insert_or_assign(track.start, std::move(track));
  }
  UpdateSinglePerformer();
  return true;
}
