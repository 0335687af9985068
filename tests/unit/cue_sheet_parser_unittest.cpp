#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "cuesheet/cue_sheet.h"
#include "cuesheet/text_utilities.h"

// The bytes that this test program holds on the heap, and the most it held
// since the last reset: each block carries its size in front of it (16 bytes,
// which keeps malloc's alignment). Out of line: inlined, g++ takes the free
// for a mismatch with the new.
namespace {
std::size_t liveBytes = 0;
std::size_t peakBytes = 0;
constexpr std::size_t kSizeHeader = 16;
}  // namespace

[[gnu::noinline]] void* operator new(std::size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kSizeHeader));
  if (block == nullptr) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block) = size;
  liveBytes += size;
  peakBytes = liveBytes > peakBytes ? liveBytes : peakBytes;
  return block + kSizeHeader;
}
[[gnu::noinline]] void* operator new[](std::size_t size) { return ::operator new(size); }
[[gnu::noinline]] void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - kSizeHeader;
  liveBytes -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept { ::operator delete(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept { ::operator delete(p); }

namespace {

// What a test expects of one stored track, in the order of `tracks`.
struct Track {
  int32_t start;
  int32_t number;
  std::u16string title;
  std::u16string performer;

  friend bool operator==(const Track&, const Track&) = default;
  friend void PrintTo(const Track& t, std::ostream* os) {
    *os << "{start " << t.start << ", number " << t.number << ", title "
        << testing::PrintToString(t.title) << ", performer " << testing::PrintToString(t.performer)
        << "}";
  }
};

std::vector<Track> TracksOf(const CueSheet& sheet) {
  std::vector<Track> result;
  for (const auto& [start, track] : sheet.tracks) {
    result.push_back({start, track.number, track.title, track.performer});
  }
  return result;
}

// Every stored track carries the count of tracks in the text, its key as its
// start, and refers to this sheet's album strings.
void ExpectConsistent(const CueSheet& sheet, int32_t trackCount) {
  for (const auto& [start, track] : sheet.tracks) {
    EXPECT_EQ(track.start, start);
    EXPECT_EQ(track.trackCount, trackCount);
    EXPECT_EQ(track.albumTitle, &sheet.albumTitle);
    EXPECT_EQ(track.albumPerformer, &sheet.albumPerformer);
  }
}

std::u16string Widen(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

const std::u16string kAlbum =
    u"REM GENRE Jazz\r\n"
    u"REM DATE 1959\r\n"
    u"REM COMMENT \"ExactAudioCopy v1.6\"\r\n"
    u"PERFORMER \"Miles Davis\"\r\n"
    u"TITLE \"Kind of Blue\"\r\n"
    u"FILE \"Kind of Blue.ape\" WAVE\r\n"
    u"  TRACK 01 AUDIO\r\n"
    u"    TITLE \"So What\"\r\n"
    u"    PERFORMER \"Miles Davis\"\r\n"
    u"    INDEX 01 00:00:00\r\n"
    u"  TRACK 02 AUDIO\r\n"
    u"    TITLE \"Freddie Freeloader\"\r\n"
    u"    PERFORMER \"Miles Davis\"\r\n"
    u"    INDEX 00 03:58:50\r\n"
    u"    INDEX 01 04:00:00\r\n"
    u"  TRACK 03 AUDIO\r\n"
    u"    TITLE \"Blue in Green\"\r\n"
    u"    PERFORMER \"Bill Evans\"\r\n"
    u"    INDEX 01 08:12:37\r\n";

const std::vector<Track> kAlbumTracks = {
    {0, 1, u"So What", u"Miles Davis"},
    {240000, 2, u"Freddie Freeloader", u"Miles Davis"},
    {492493, 3, u"Blue in Green", u"Bill Evans"},
};

struct LayoutCase {
  const char* name;
  std::u16string text;
};

class AlbumLayoutTest : public testing::TestWithParam<LayoutCase> {};

// Line ends and indentation do not change the sheet.
TEST_P(AlbumLayoutTest, ReadsAlbum) {
  CueSheet sheet;
  ASSERT_TRUE(sheet.Parse(GetParam().text));
  EXPECT_EQ(sheet.albumTitle, u"Kind of Blue");
  EXPECT_EQ(sheet.albumPerformer, u"Miles Davis");
  EXPECT_EQ(TracksOf(sheet), kAlbumTracks);
  EXPECT_EQ(sheet.singlePerformer, 0);
  EXPECT_EQ(sheet.tracks.at(492493).index01.minutes, 8);
  EXPECT_EQ(sheet.tracks.at(492493).index01.seconds, 12);
  EXPECT_EQ(sheet.tracks.at(492493).index01.milliseconds, 493);
  ExpectConsistent(sheet, 3);
}

std::u16string Replaced(std::u16string text, const char16_t* from, const char16_t* to) {
  return ReplaceAll(text, from, to);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, AlbumLayoutTest,
    testing::Values(LayoutCase{"CrLf", kAlbum}, LayoutCase{"Lf", Replaced(kAlbum, u"\r\n", u"\n")},
                    LayoutCase{"Tabs", Replaced(Replaced(kAlbum, u"    ", u"\t\t"), u"  ", u"\t")},
                    LayoutCase{"TrailingBlanksAndEmptyLines",
                               Replaced(kAlbum, u"\r\n", u" \t\r\n\r\n  \r\n")},
                    LayoutCase{"CrOnly", Replaced(kAlbum, u"\r\n", u"\r")},
                    LayoutCase{"NoFinalLineEnd", kAlbum.substr(0, kAlbum.size() - 2)}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

struct StopCase {
  const char* name;
  std::u16string text;
  std::vector<Track> tracks;
  int32_t trackCount;
  CueParseStop stop;  // the track without INDEX 01 and the line of its TRACK
};

class StoppedParseTest : public testing::TestWithParam<StopCase> {};

// A track piece without "INDEX 01" stops the parse: what came before stays,
// and the single-performer flag is left as a new sheet has it.
TEST_P(StoppedParseTest, KeepsTracksBefore) {
  CueSheet sheet;
  EXPECT_FALSE(sheet.Parse(GetParam().text));
  EXPECT_EQ(TracksOf(sheet), GetParam().tracks);
  EXPECT_EQ(sheet.singlePerformer, 0);
  ExpectConsistent(sheet, GetParam().trackCount);
  CueSheet again;
  CueParseStop stop;
  EXPECT_FALSE(again.Parse(GetParam().text, &stop));
  EXPECT_EQ(stop.track, GetParam().stop.track);
  EXPECT_EQ(stop.line, GetParam().stop.line);
}

INSTANTIATE_TEST_SUITE_P(
    Stops, StoppedParseTest,
    testing::Values(
        StopCase{"SecondOfThreeWithoutIndex01",
                 u"PERFORMER X\nTRACK 01 AUDIO\n TITLE A\n INDEX 01 00:00:00\n"
                 u"TRACK 02 AUDIO\n TITLE B\n INDEX 00 03:00:00\n"
                 u"TRACK 03 AUDIO\n TITLE C\n INDEX 01 06:00:00\n",
                 {{0, 1, u"A", u""}},
                 3,
                 {2, 5}},
        StopCase{"FirstWithoutIndex01",
                 u"TRACK 01 AUDIO\n TITLE A\nTRACK 02 AUDIO\n INDEX 01 03:00:00\n", {}, 2, {1, 1}},
        StopCase{"IndexOneWithOneDigitIsNoIndex01",
                 u"TRACK 01 AUDIO\n INDEX 1 00:00:00\n", {}, 1, {1, 1}},
        StopCase{"IndexWithTwoSpacesIsNoIndex01",
                 u"TRACK 01 AUDIO\n INDEX  01 00:00:00\n", {}, 1, {1, 1}},
        StopCase{"LowerCaseIndexIsNoIndex01",
                 u"TRACK 01 AUDIO\n index 01 00:00:00\n", {}, 1, {1, 1}},
        StopCase{"StopLineCountsCarriageReturns",
                 u"TITLE A\rTRACK 01 AUDIO\r INDEX 01 00:00:00\r\rTRACK 02 AUDIO\r\n TITLE B\n",
                 {{0, 1, u"", u""}}, 2, {2, 5}},
        // Lines count at line feeds over the whole text, blank ones too.
        StopCase{"StopLineCountsEveryLine",
                 u"REM DATE 1999\r\n\r\nTRACK 01 AUDIO\r\n  INDEX 01 00:00:00\r\n\r\n"
                 u"  TRACK 02 AUDIO\r\n  TRACK 03 AUDIO\r\n  INDEX 01 01:00:00\r\n",
                 {{0, 1, u"", u""}}, 3, {2, 6}}),
    [](const testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

struct SheetCase {
  const char* name;
  std::u16string text;
  std::u16string albumTitle;
  std::u16string albumPerformer;
  std::vector<Track> tracks;
  int32_t trackCount;
  int32_t singlePerformer;
};

class CompleteParseTest : public testing::TestWithParam<SheetCase> {};

TEST_P(CompleteParseTest, GivesSheet) {
  const SheetCase& c = GetParam();
  CueSheet sheet;
  CueParseStop stop{7, 7};
  ASSERT_TRUE(sheet.Parse(c.text, &stop));
  EXPECT_EQ(stop.track, 0);
  EXPECT_EQ(stop.line, 0);
  EXPECT_EQ(sheet.albumTitle, c.albumTitle);
  EXPECT_EQ(sheet.albumPerformer, c.albumPerformer);
  EXPECT_EQ(TracksOf(sheet), c.tracks);
  EXPECT_EQ(sheet.singlePerformer, c.singlePerformer);
  ExpectConsistent(sheet, c.trackCount);
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, CompleteParseTest,
    testing::Values(
        SheetCase{"EmptyText", u"", u"", u"", {}, 0, 1},
        SheetCase{"HeaderOnly", u"PERFORMER \"Nina Simone\"\nTITLE Pastel Blues\n", u"Pastel Blues",
                  u"Nina Simone", {}, 0, 1},
        SheetCase{"NumberIsOrdinalNotWritten",
                  u"TRACK 05 AUDIO\n INDEX 01 00:00:00\nTRACK 09 AUDIO\n INDEX 01 01:00:00\n", u"",
                  u"", {{0, 1, u"", u""}, {60000, 2, u"", u""}}, 2, 1},
        SheetCase{"SameStartKeepsLaterTrack",
                  u"PERFORMER P\nTRACK 01 AUDIO\n TITLE A\n PERFORMER P\n INDEX 01 02:00:00\n"
                  u"TRACK 02 AUDIO\n TITLE B\n PERFORMER Q\n INDEX 01 02:00:00\n",
                  u"", u"P", {{120000, 2, u"B", u"Q"}}, 2, 0},
        SheetCase{"LastLineOfAKindWins",
                  u"TITLE First\nTITLE Album\nTRACK 01 AUDIO\n TITLE a\n PERFORMER p\n"
                  u" INDEX 01 01:00:00\n TITLE b\n PERFORMER q\n INDEX 01 02:00:00\n",
                  u"Album", u"", {{120000, 1, u"b", u"q"}}, 1, 0},
        SheetCase{"OtherLetterCaseIsNoKeywordNorTrack",
                  u"title x\nTRACK 01 AUDIO\n TITLE A\n INDEX 01 00:00:00\n"
                  u"Track 02 AUDIO\n title b\nTRACK\t03 AUDIO\n INDEX 01 05:00:00\n",
                  u"", u"", {{300000, 1, u"A", u""}}, 1, 1},
        SheetCase{"KeywordNeedsNothingAfterIt",
                  u"TITLES of Love\nPERFORMER\nTRACK 01 AUDIO\n TITLE\n INDEX 01 00:00:00\n",
                  u"S of Love", u"", {{0, 1, u"", u""}}, 1, 1},
        SheetCase{"ByteOrderMarkHidesKeyword",
                  u"\uFEFFTITLE Hidden\nPERFORMER Shown\nTRACK 01 AUDIO\n INDEX 01 00:00:00\n", u"",
                  u"Shown", {{0, 1, u"", u""}}, 1, 0},
        SheetCase{"QuotesAndBlanks",
                  u"PERFORMER \"\"\nTITLE   \"A \"quoted\" word\"  \nTRACK 01 AUDIO\n"
                  u" TITLE 'single'\n PERFORMER \"\" \"\n INDEX 01 00:00:00\n",
                  u"A \"quoted\" word", u"", {{0, 1, u"'single'", u""}}, 1, 1},
        SheetCase{"NoPerformerInheritance",
                  u"PERFORMER Various\nTRACK 01 AUDIO\n INDEX 01 00:00:00\n", u"", u"Various",
                  {{0, 1, u"", u""}}, 1, 0},
        SheetCase{"NonAsciiKeptAsCodeUnits",
                  u"PERFORMER \"Sigur Rós\"\nTITLE \"Ágætis byrjun\"\nTRACK 01 AUDIO\n"
                  u" TITLE \"Svefn-g-englar 🎧\"\n PERFORMER \"Sigur Rós\"\n INDEX 01 00:00:00\n",
                  u"Ágætis byrjun", u"Sigur Rós", {{0, 1, u"Svefn-g-englar 🎧", u"Sigur Rós"}}, 1,
                  1},
        SheetCase{"EmptyIndex01StartsAtZero",
                  u"TRACK 01 AUDIO\n INDEX 01\nTRACK 02 AUDIO\n INDEX 01   \t\n", u"", u"",
                  {{0, 2, u"", u""}}, 2, 1},
        SheetCase{"LargestTimeWrapsToNegativeStart",
                  u"TRACK 01 AUDIO\n INDEX 01 00:00:00\nTRACK 02 AUDIO\n INDEX 01 65535:59:74\n",
                  u"", u"", {{-362807310, 2, u"", u""}, {0, 1, u"", u""}}, 2, 1},
        // Concert recordings run past 99 minutes; every track keeps its own
        // seconds, also two in the same minute.
        SheetCase{"ThreeDigitMinutes",
                  u"TRACK 01 AUDIO\n INDEX 01 99:59:74\nTRACK 02 AUDIO\n INDEX 01 100:30:40\n"
                  u"TRACK 03 AUDIO\n INDEX 01 100:45:00\nTRACK 04 AUDIO\n INDEX 01 113:20:40\n",
                  u"", u"",
                  {{5999986, 1, u"", u""},
                   {6030533, 2, u"", u""},
                   {6045000, 3, u"", u""},
                   {6800533, 4, u"", u""}},
                  4, 1},
        // "TRACK " begins a track only at the start of a line: soundtrack
        // albums in capitals carry it in their titles.
        SheetCase{"TrackInsideALineIsText",
                  u"TITLE \"THE ORIGINAL SOUNDTRACK EDITION\"\nTRACK 01 AUDIO\n TITLE SOUNDTRACK FINALE\n"
                  u" INDEX 01 00:00:00\n\t TRACK 02 AUDIO TRACK 9\n TITLE Bonus TRACK 5\n INDEX 01 01:00:00\n",
                  u"THE ORIGINAL SOUNDTRACK EDITION", u"",
                  {{0, 1, u"SOUNDTRACK FINALE", u""}, {60000, 2, u"Bonus TRACK 5", u""}}, 2, 1},
        SheetCase{"CarriageReturnLineEnds",
                  u"TITLE A\rTRACK 01 AUDIO\r  INDEX 01 00:00:00\rTRACK 02 AUDIO\r  INDEX 01 01:00:00\r",
                  u"A", u"", {{0, 1, u"", u""}, {60000, 2, u"", u""}}, 2, 1},
        SheetCase{"OneDigitMinutes",
                  u"TRACK 01 AUDIO\n INDEX 01 0:00:00\nTRACK 02 AUDIO\n INDEX 01 0:15:00\n"
                  u"TRACK 03 AUDIO\n INDEX 01 0:42:45\n",
                  u"", u"", {{0, 1, u"", u""}, {15000, 2, u"", u""}, {42600, 3, u"", u""}}, 3, 1}),
    [](const testing::TestParamInfo<SheetCase>& info) { return std::string(info.param.name); });

struct FieldsCase {
  const char* name;
  std::u16string text;
  // date, genre, composer, disc, total discs of the album
  std::vector<std::u16string> album;
  std::vector<std::u16string> composers;  // of the tracks in start order
};

class AlbumFieldsTest : public testing::TestWithParam<FieldsCase> {};

// The fields beyond title and performer read as TITLE does, the last line of
// a kind winning; an empty value carries nothing, so a composer falls back.
TEST_P(AlbumFieldsTest, ReadsFields) {
  const FieldsCase& c = GetParam();
  CueSheet sheet;
  ASSERT_TRUE(sheet.Parse(c.text));
  EXPECT_EQ((std::vector<std::u16string>{sheet.albumDate, sheet.albumGenre, sheet.albumComposer,
                                         sheet.discNumber, sheet.totalDiscs}),
            c.album);
  std::vector<std::u16string> composers;
  for (const auto& [start, track] : sheet.tracks) composers.push_back(track.composer);
  EXPECT_EQ(composers, c.composers);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, AlbumFieldsTest,
    testing::Values(
        FieldsCase{"ExactAudioCopyStyle",
                   u"REM GENRE \"Art Rock\"\r\nREM DATE 1998\r\nREM DISCNUMBER 1\r\nREM TOTALDISCS 2\r\n"
                   u"REM COMPOSER \"Album Composer\"\r\nSONGWRITER \"Album Writer\"\r\nTITLE \"T\"\r\n"
                   u"  TRACK 01 AUDIO\r\n    SONGWRITER \"Own Writer\"\r\n    REM COMPOSER X\r\n"
                   u"    INDEX 01 00:00:00\r\n"
                   u"  TRACK 02 AUDIO\r\n    REM COMPOSER \"Own Composer\"\r\n    INDEX 01 01:00:00\r\n"
                   u"  TRACK 03 AUDIO\r\n    REM DATE 2001\r\n    INDEX 01 02:00:00\r\n",
                   {u"1998", u"Art Rock", u"Album Writer", u"1", u"2"},
                   {u"Own Writer", u"Own Composer", u""}},
        FieldsCase{"AlbumComposerWithoutSongwriter",
                   u"REM COMPOSER \"Album Composer\"\nTRACK 01 AUDIO\n INDEX 01 00:00:00\n",
                   {u"", u"", u"Album Composer", u"", u""}, {u""}},
        FieldsCase{"LastLineWinsAndEmptyCarriesNothing",
                   u"REM DATE 1998\nREM DATE \"\"\nREM GENRE Pop\nREM GENRE Jazz\n"
                   u"SONGWRITER \"\"\nREM COMPOSER C\nTRACK 01 AUDIO\n SONGWRITER W\n SONGWRITER \n"
                   u" REM COMPOSER \"\" \n INDEX 01 00:00:00\n",
                   {u"", u"Jazz", u"C", u"", u""}, {u""}},
        FieldsCase{"NameMatchedExactlyAndWhole",
                   u"REM DATE\t1999\nREM DATED 2000\nREM date 2001\nREM  GENRE Pop\nrem GENRE Rock\n"
                   u"SONGWRITERS X\nREM DISCNUMBER\nREM TOTALDISCS \"3\"\n",
                   {u"1999", u"", u"", u"", u"3"}, {}},
        FieldsCase{"TitleAndPerformerUnchanged",
                   u"SONGWRITER TITLE X\nREM COMPOSER PERFORMER Y\nTITLE Album\nTRACK 01 AUDIO\n"
                   u" TITLE SONGWRITER Z\n INDEX 01 00:00:00\n",
                   {u"", u"", u"TITLE X", u"", u""}, {u""}}),
    [](const testing::TestParamInfo<FieldsCase>& info) { return std::string(info.param.name); });

// Millions of empty pieces or lines cost nothing beyond the sheet: the text
// is read in place, never split into copies.
TEST(CueSheetParserTest, PeakMemoryStaysWithinThreeTimesTheText) {
  // A memory checker puts its own operator new in place of the counting one.
  const std::size_t probe = peakBytes = liveBytes;
  delete new std::u16string(100, u'x');
  if (peakBytes == probe) GTEST_SKIP() << "operator new is not the counting one here";

  std::u16string pieces;
  while (pieces.size() < (1u << 20)) pieces += u"TRACK ";
  const std::u16string lines(1u << 20, u'\n');
  pieces.shrink_to_fit();
  for (const std::u16string* text : {&std::as_const(pieces), &lines}) {
    CueSheet sheet;
    const std::size_t before = liveBytes;
    peakBytes = before;
    sheet.Parse(*text);
    EXPECT_LE(peakBytes - before, 3 * text->size() * sizeof(char16_t) + (liveBytes - before));
  }
}

// A sheet of as many tracks as the 4 MiB limit for cue text holds, each a
// TRACK line and an INDEX 01 line, keeps less than three times its text.
TEST(CueSheetParserTest, SheetOfManyTracksStaysWithinThreeTimesTheText) {
  const std::size_t probe = peakBytes = liveBytes;
  delete new std::u16string(100, u'x');
  if (peakBytes == probe) GTEST_SKIP() << "operator new is not the counting one here";

  std::string bytes;
  for (int n = 0; bytes.size() < 4u * 1024 * 1024 - 64; ++n) {
    char line[64];
    std::snprintf(line, sizeof line, "TRACK %02d AUDIO\n  INDEX 01 %d:%02d:%02d\n", n % 100, n / 4500, n / 75 % 60,
                  n % 75);
    bytes += line;
  }
  const std::u16string text(bytes.begin(), bytes.end());
  CueSheet sheet;
  const std::size_t before = liveBytes;
  ASSERT_TRUE(sheet.Parse(text));
  const std::size_t kept = liveBytes - before;
  std::printf("  %zu tracks from %zu bytes of text: %zu bytes kept\n", sheet.tracks.size(), bytes.size(), kept);
  EXPECT_GT(sheet.tracks.size(), 100000u);
  EXPECT_LE(kept, 3 * text.size() * sizeof(char16_t));
}

struct TimeCase {
  const char* name;
  std::u16string rest;
  CueTime expected;
};

class ReadCueTimeTest : public testing::TestWithParam<TimeCase> {};

TEST_P(ReadCueTimeTest, ReadsFields) {
  CueTime time{11, 22, 33};
  ReadCueTime(GetParam().rest, time);
  EXPECT_EQ(time.minutes, GetParam().expected.minutes);
  EXPECT_EQ(time.seconds, GetParam().expected.seconds);
  EXPECT_EQ(time.milliseconds, GetParam().expected.milliseconds);
}

INSTANTIATE_TEST_SUITE_P(
    Times, ReadCueTimeTest,
    testing::Values(
        TimeCase{"TwoDigitFields", u" 03:25:40", {3, 25, 533}},
        TimeCase{"LastFrame", u" 00:00:74", {0, 0, 986}},
        TimeCase{"OneDigitMinutes", u" 1:02:03", {1, 2, 40}},
        TimeCase{"OneDigitMinutesTensOfSeconds", u" 0:15:00", {0, 15, 0}},
        TimeCase{"AnyDigitsBetweenColons", u" 0:42:045 x:y:z", {0, 42, 600}},
        TimeCase{"OneDigitFields", u" 1:2:3", {1, 2, 40}},
        TimeCase{"LeadingTabAndTrailingText", u"\t03:25:40 ; cut", {3, 25, 533}},
        TimeCase{"ThreeDigitMinutes", u" 100:30:40", {100, 30, 533}},
        TimeCase{"ThreeDigitMinutesOtherSeparator", u" 113.20.40", {113, 20, 533}},
        TimeCase{"LeadingZeroMinutes", u" 007:08:09", {7, 8, 120}},
        TimeCase{"SignedTwoDigitMinutesMoveFields", u" +10:20:30", {10, 20, 400}},
        TimeCase{"SignsAtFixedOffsets", u" +3:+5:+7", {3, 5, 93}},
        TimeCase{"NegativeMinutesCutTo16Bits", u" -1:00:00", {65535, 0, 0}},
        TimeCase{"LargestMinutes", u" 65535:59:74", {65535, 59, 986}},
        TimeCase{"MinutesCutTo16Bits", u" 70000:00:00", {4464, 0, 0}},
        TimeCase{"HugeFramesWrap", u" 00:00:99999999", {0, 0, 22623}},
        TimeCase{"NumberPast32BitsSaturates", u" 99999999999:00:00", {65535, 0, 0}},
        TimeCase{"NoDigits", u" aa:bb:cc", {0, 0, 0}},
        TimeCase{"MinutesOnly", u" 5", {5, 0, 0}},
        TimeCase{"NoFrames", u" 12:34", {12, 34, 0}},
        TimeCase{"BlanksBeforeSeconds", u" 03: 5:40", {3, 5, 533}},
        TimeCase{"BlanksOnlyLeaveTarget", u" \t\r\n", {11, 22, 33}},
        TimeCase{"NothingLeavesTarget", u"", {11, 22, 33}}),
    [](const testing::TestParamInfo<TimeCase>& info) { return std::string(info.param.name); });

// The line ends where the caller's view ends, even when more text follows in
// memory.
TEST(ReadCueTimeTest, ReadsNothingPastTheLine) {
  const std::u16string buffer = u"03:25:40";
  CueTime time;
  ReadCueTime(std::u16string_view(buffer).substr(0, 5), time);
  EXPECT_EQ(time.minutes, 3);
  EXPECT_EQ(time.seconds, 25);
  EXPECT_EQ(time.milliseconds, 0);
  ReadCueTime(std::u16string_view(buffer).substr(0, 4), time);
  EXPECT_EQ(time.seconds, 2);
  ReadCueTime(std::u16string_view(buffer).substr(0, 1), time);
  EXPECT_EQ(time.minutes, 0);
  EXPECT_EQ(time.seconds, 0);
}

struct ValueCase {
  std::u16string rest;
  std::u16string expected;
};

TEST(ReadTextValueTest, TrimsBlanksAndQuotes) {
  const ValueCase cases[] = {
      {u" \"Kind of Blue\"", u"Kind of Blue"},
      {u" Kind of Blue", u"Kind of Blue"},
      {u"\t\"So What\" \t", u"So What"},
      {u" \"\"", u""},
      {u" \" \t \"", u""},
      {u" \"12\"\" Single\"", u"12\"\" Single"},
      {u" \"C:\\\\path\\n\"", u"C:\\\\path\\n"},
      {u"", u""},
  };
  for (const ValueCase& c : cases) {
    std::u16string target = u"old value";
    ReadTextValue(c.rest, target);
    EXPECT_EQ(target, c.expected) << testing::PrintToString(c.rest);
  }
}

// metaflac writes the cue sheet of a FLAC file back as text; its form of the
// times (three-digit minutes past 99 minutes included) must read as the
// offsets it stored.
TEST(CueSheetParserTest, ReadsCueSheetWrittenByMetaflac) {
  if (std::system("command -v flac >/dev/null && command -v metaflac >/dev/null") != 0) {
    GTEST_SKIP() << "flac and metaflac are not installed";
  }
  const std::filesystem::path dir =
      std::filesystem::path(SHEETWALK_TEST_SCRATCH) / "cue_sheet_parser_metaflac";
  std::filesystem::create_directories(dir);
  const std::string flac = (dir / "concert.flac").string();
  const std::string in = (dir / "import.cue").string();
  const std::string out = (dir / "export.cue").string();
  {
    std::ofstream cue(in, std::ios::binary);
    cue << "FILE \"concert.wav\" WAVE\n"
           "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
           "  TRACK 02 AUDIO\n    INDEX 00 03:58:50\n    INDEX 01 04:00:00\n"
           "  TRACK 03 AUDIO\n    INDEX 01 08:12:37\n"
           "  TRACK 04 AUDIO\n    INDEX 01 100:30:40\n"
           "  TRACK 05 AUDIO\n    INDEX 01 100:45:00\n";
  }
  // 101 minutes of CD audio silence: metaflac only writes mm:ss:ff for CD audio.
  const std::string commands =
      "head -c " + std::to_string(101LL * 60 * 44100 * 4) +
      " /dev/zero | flac -s -f -0 --no-md5-sum --force-raw-format --endian=little"
      " --sign=signed --channels=2 --bps=16 --sample-rate=44100 -o '" + flac + "' - 2>/dev/null"
      " && metaflac --import-cuesheet-from='" + in + "' '" + flac + "'"
      " && metaflac --export-cuesheet-to='" + out + "' '" + flac + "'";
  ASSERT_EQ(std::system(commands.c_str()), 0) << commands;

  std::ifstream exported(out, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(exported), {}};
  ASSERT_NE(text.find("100:30:40"), std::string::npos) << text;

  CueSheet sheet;
  ASSERT_TRUE(sheet.Parse(Widen(text))) << text;
  EXPECT_EQ(TracksOf(sheet), (std::vector<Track>{{0, 1, u"", u""},
                                                 {240000, 2, u"", u""},
                                                 {492493, 3, u"", u""},
                                                 {6030533, 4, u"", u""},
                                                 {6045000, 5, u"", u""}}));
  ExpectConsistent(sheet, 5);
  std::filesystem::remove_all(dir);
}

}  // namespace
