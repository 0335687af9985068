#include "cuesheet/cue_sheet.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

using counting_allocator::allocations;

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// The sheet keeps the album strings that its tracks refer to, so tracks are
// put straight into a sheet that lives as long as the test.
void AddTrack(CueSheet& sheet, int32_t start, std::u16string performer = u"") {
  CueTrack track;
  track.number = static_cast<int32_t>(sheet.tracks.size()) + 1;
  track.start = start;
  const std::string digits = std::to_string(start);
  track.title = u"Track at " + std::u16string(digits.begin(), digits.end());
  track.performer = std::move(performer);
  track.albumTitle = &sheet.albumTitle;
  track.albumPerformer = &sheet.albumPerformer;
  sheet.tracks.emplace(start, std::move(track));
}

void Fill(CueSheet& sheet, const std::vector<int32_t>& starts) {
  for (int32_t start : starts) {
    AddTrack(sheet, start);
  }
  for (auto& [start, track] : sheet.tracks) {
    track.trackCount = static_cast<int32_t>(sheet.tracks.size());
  }
}

using Query = bool (CueSheet::*)(int32_t, int32_t&, const CueTrack*&) const;

struct QueryCase {
  const char* name;
  Query query;
  int32_t position;
  bool found;
  int32_t start;  // when found
};

void PrintTo(const QueryCase& c, std::ostream* os) { *os << c.name << " at " << c.position; }

std::string CaseName(const testing::TestParamInfo<QueryCase>& info) { return info.param.name; }

void ExpectQuery(const CueSheet& sheet, const QueryCase& c) {
  const CueTrack untouched;
  int32_t start = -7;
  const CueTrack* track = &untouched;
  const bool found = (sheet.*c.query)(c.position, start, track);
  ASSERT_EQ(found, c.found);
  if (found) {
    EXPECT_EQ(start, c.start);
    ASSERT_EQ(track, &sheet.tracks.at(c.start));
  } else {
    EXPECT_EQ(start, -7);
    EXPECT_EQ(track, &untouched);
  }
}

constexpr Query kNext = &CueSheet::FindNextTrack;
constexpr Query kPrevious = &CueSheet::FindPreviousTrack;
constexpr Query kCurrent = &CueSheet::FindCurrentTrack;

// Tracks at 0, 3:00 and 6:40: the margins of next (more than 1 s ahead),
// previous (more than 4 s into the track) and current (strictly before the
// position).
class ThreeTrackQueryTest : public testing::TestWithParam<QueryCase> {};

TEST_P(ThreeTrackQueryTest, FindsTrack) {
  CueSheet sheet;
  Fill(sheet, {0, 180000, 400000});
  ExpectQuery(sheet, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Margins, ThreeTrackQueryTest,
    testing::Values(QueryCase{"NextFromStart", kNext, 0, true, 180000},
                    QueryCase{"NextJustOverOneSecondAhead", kNext, 178999, true, 180000},
                    QueryCase{"NextSkipsTrackOneSecondAhead", kNext, 179000, true, 400000},
                    QueryCase{"NextInLastTrack", kNext, 399500, false, 0},
                    QueryCase{"NextFromBeforeTheSheet", kNext, -50000, true, 0},
                    QueryCase{"PreviousExactlyFourSecondsIn", kPrevious, 184000, true, 0},
                    QueryCase{"PreviousJustOverFourSecondsIn", kPrevious, 184001, true, 180000},
                    QueryCase{"PreviousInFirstFourSeconds", kPrevious, 3000, false, 0},
                    QueryCase{"CurrentAtTrackStart", kCurrent, 180000, true, 0},
                    QueryCase{"CurrentJustAfterTrackStart", kCurrent, 180001, true, 180000},
                    QueryCase{"CurrentAtZero", kCurrent, 0, false, 0},
                    QueryCase{"CurrentAfterLastStart", kCurrent, 900000, true, 400000}),
    CaseName);

// Audio before the first track: nothing is current or previous there yet.
class LateFirstTrackQueryTest : public testing::TestWithParam<QueryCase> {};

TEST_P(LateFirstTrackQueryTest, FindsTrack) {
  CueSheet sheet;
  Fill(sheet, {30000, 200000});
  ExpectQuery(sheet, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Lead, LateFirstTrackQueryTest,
                         testing::Values(QueryCase{"Next", kNext, 10000, true, 30000},
                                         QueryCase{"Previous", kPrevious, 10000, false, 0},
                                         QueryCase{"Current", kCurrent, 10000, false, 0}),
                         CaseName);

// Starts can be anywhere in the 32-bit range (a cue time past 35 791 minutes
// wraps to a negative start). The bounds must not wrap with them: a position
// near the top must not make "next" jump to the first track, nor a position
// near the bottom make "previous" jump to the last.
class ExtremeQueryTest : public testing::TestWithParam<QueryCase> {};

TEST_P(ExtremeQueryTest, BoundsDoNotWrap) {
  CueSheet sheet;
  Fill(sheet, {kMin, 0, kMax - 200, kMax});
  ExpectQuery(sheet, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Range, ExtremeQueryTest,
    testing::Values(QueryCase{"NextNearTopIsNone", kNext, kMax - 500, false, 0},
                    QueryCase{"NextAtTopIsNone", kNext, kMax, false, 0},
                    QueryCase{"NextBelowTopFindsLast", kNext, kMax - 1001, true, kMax},
                    QueryCase{"NextAtBottomSkipsBottomTrack", kNext, kMin, true, 0},
                    QueryCase{"PreviousNearBottomIsNone", kPrevious, kMin + 1000, false, 0},
                    QueryCase{"PreviousAtBottomIsNone", kPrevious, kMin, false, 0},
                    QueryCase{"PreviousAtTopGoesToTheTrackBefore", kPrevious, kMax, true, kMax - 200},
                    QueryCase{"PreviousFarAboveBottomTrack", kPrevious, kMin + 5000, true, kMin},
                    QueryCase{"CurrentAtBottomIsNone", kCurrent, kMin, false, 0},
                    QueryCase{"CurrentJustAboveBottom", kCurrent, kMin + 1, true, kMin},
                    QueryCase{"CurrentAtTop", kCurrent, kMax, true, kMax - 200}),
    CaseName);

TEST(CueSheetQueryTest, TrackBeforeTakesAnyMarginWithoutWrapping) {
  CueSheet sheet;
  Fill(sheet, {kMin, 0, kMax});
  int32_t start = 0;
  const CueTrack* track = nullptr;
  ASSERT_TRUE(sheet.FindTrackBefore(kMax, kMax, start, track));
  EXPECT_EQ(start, kMax);
  EXPECT_FALSE(sheet.FindTrackBefore(kMin, kMin, start, track));
  ASSERT_TRUE(sheet.FindTrackBefore(kMax, 1, start, track));
  EXPECT_EQ(start, kMax);
  ASSERT_TRUE(sheet.FindTrackBefore(0, 1, start, track));
  EXPECT_EQ(start, 0);
}

TEST(CueSheetQueryTest, EmptySheetFindsNothingAndHasSinglePerformer) {
  CueSheet sheet;
  for (Query query : {kNext, kPrevious, kCurrent}) {
    for (int32_t position : {kMin, -1, 0, 1, 500000, kMax}) {
      ExpectQuery(sheet, QueryCase{"", query, position, false, 0});
    }
  }
  EXPECT_EQ(sheet.singlePerformer, 0);
  sheet.UpdateSinglePerformer();
  EXPECT_EQ(sheet.singlePerformer, 1);
}

// The queries run on every timer tick and every title request.
TEST(CueSheetQueryTest, QueriesAllocateNothing) {
  // A memory checker puts its own operator new in place of the counting one.
  const long probe = allocations.load();
  delete new std::u16string(100, u'x');
  if (allocations.load() == probe) GTEST_SKIP() << "operator new is not the counting one here";

  CueSheet sheet;
  sheet.albumPerformer = u"An album performer long enough to live on the heap";
  std::vector<int32_t> starts;
  for (int32_t i = 0; i < 99; ++i) {
    starts.push_back(i * 217000);
  }
  Fill(sheet, starts);

  const long before = allocations.load();
  int32_t start = 0;
  const CueTrack* track = nullptr;
  int found = 0;
  for (int32_t position = -5000; position < 99 * 217000; position += 997) {
    found += sheet.FindNextTrack(position, start, track);
    found += sheet.FindPreviousTrack(position, start, track);
    found += sheet.FindCurrentTrack(position, start, track);
    found += sheet.FindTrackBefore(position, 1000, start, track);
  }
  sheet.UpdateSinglePerformer();
  EXPECT_EQ(allocations.load(), before);
  EXPECT_GT(found, 0);

  // The counter itself works: this allocation must show.
  delete new std::u16string(100, u'x');
  EXPECT_GT(allocations.load(), before);
}

struct PerformerCase {
  const char* name;
  std::u16string album;
  std::vector<std::u16string> tracks;
  int32_t expected;
};

class SinglePerformerTest : public testing::TestWithParam<PerformerCase> {};

TEST_P(SinglePerformerTest, ComparesEveryTrackExactly) {
  CueSheet sheet;
  sheet.albumPerformer = GetParam().album;
  int32_t start = 0;
  for (const std::u16string& performer : GetParam().tracks) {
    AddTrack(sheet, start += 1000, performer);
  }
  sheet.singlePerformer = 1 - GetParam().expected;
  sheet.UpdateSinglePerformer();
  EXPECT_EQ(sheet.singlePerformer, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SinglePerformerTest,
    testing::Values(
        PerformerCase{"AllEqual", u"Miles Davis", {u"Miles Davis", u"Miles Davis"}, 1},
        PerformerCase{"OneTrackWithout", u"Miles Davis", {u"Miles Davis", u""}, 0},
        PerformerCase{"NoneAnywhere", u"", {u"", u"", u""}, 1},
        PerformerCase{"LetterCaseDiffers", u"Miles Davis", {u"Miles Davis", u"MILES DAVIS"}, 0},
        PerformerCase{"TracksWithoutAlbum", u"", {u"Nina Simone"}, 0},
        PerformerCase{"LastTrackDiffers", u"Björk", {u"Björk", u"Björk", u"Bjork"}, 0}),
    [](const testing::TestParamInfo<PerformerCase>& info) { return std::string(info.param.name); });

TEST(CueTrackTest, DefaultTrackRefersToEmptyAlbumText) {
  const CueTrack track;
  ASSERT_NE(track.albumTitle, nullptr);
  ASSERT_NE(track.albumPerformer, nullptr);
  EXPECT_TRUE(track.albumTitle->empty());
  EXPECT_TRUE(track.albumPerformer->empty());
  EXPECT_TRUE(track.title.empty());
  EXPECT_TRUE(track.performer.empty());
  EXPECT_EQ(track, CueTrack());
}

TEST(CueTrackTest, EqualityComparesValuesNotIndexTimeOrReferences) {
  const std::u16string albumTitle = u"Blue Train";
  const std::u16string albumPerformer = u"John Coltrane";
  const std::u16string sameTitleElsewhere = albumTitle;
  const std::u16string otherTitle = u"Blue Train (Remaster)";
  const std::u16string otherPerformer = u"john coltrane";

  CueTrack base;
  base.number = 2;
  base.trackCount = 5;
  base.start = 643000;
  base.index01 = {10, 43, 0};
  base.title = u"Moment's Notice";
  base.performer = u"John Coltrane";
  base.albumTitle = &albumTitle;
  base.albumPerformer = &albumPerformer;

  const auto with = [&base](auto change) {
    CueTrack track = base;
    change(track);
    return track;
  };
  const struct {
    const char* name;
    CueTrack track;
    bool equal;
  } cases[] = {
      {"index01", with([](CueTrack& t) { t.index01 = {0, 0, 13}; }), true},
      {"album title elsewhere, same text",
       with([&](CueTrack& t) { t.albumTitle = &sameTitleElsewhere; }), true},
      {"number", with([](CueTrack& t) { t.number = 3; }), false},
      {"trackCount", with([](CueTrack& t) { t.trackCount = 6; }), false},
      {"start", with([](CueTrack& t) { t.start = 643001; }), false},
      {"title", with([](CueTrack& t) { t.title = u"Moment's notice"; }), false},
      {"performer", with([](CueTrack& t) { t.performer.clear(); }), false},
      {"composer", with([](CueTrack& t) { t.composer = u"John Coltrane"; }), false},
      {"album title text", with([&](CueTrack& t) { t.albumTitle = &otherTitle; }), false},
      {"album performer text", with([&](CueTrack& t) { t.albumPerformer = &otherPerformer; }),
       false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.track == base, c.equal) << c.name;
    EXPECT_EQ(base == c.track, c.equal) << c.name;
  }
}

// A FLAC CUESHEET block gives track starts and nothing else.
TEST(CueSheetSetTracksTest, FillsTracksWithoutText) {
  struct Expected {
    int32_t start;
    int32_t number;
    CueTime index01;
  };
  const struct {
    const char* name;
    std::vector<std::optional<int32_t>> starts;
    std::vector<Expected> tracks;
  } cases[] = {
      {"TrackWithoutIndex1LeftOut",
       {0, std::nullopt, 180000, 492493},
       {{0, 1, {0, 0, 0}}, {180000, 3, {3, 0, 0}}, {492493, 4, {8, 12, 493}}}},
      {"LaterTrackAtSameStartReplaces", {1000, 1000}, {{1000, 2, {0, 1, 0}}}},
      {"LargestStart", {kMax}, {{kMax, 1, {35791, 23, 647}}}},
      {"NoTracks", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CueSheet sheet;
    sheet.SetTracks(c.starts);
    EXPECT_FALSE(sheet.carriesText);
    EXPECT_EQ(sheet.singlePerformer, 1);
    EXPECT_TRUE(sheet.albumTitle.empty() && sheet.albumPerformer.empty());
    ASSERT_EQ(sheet.tracks.size(), c.tracks.size());
    auto expected = c.tracks.begin();
    for (const auto& [start, track] : sheet.tracks) {
      EXPECT_EQ(start, expected->start);
      EXPECT_EQ(track.start, expected->start);
      EXPECT_EQ(track.number, expected->number);
      EXPECT_EQ(track.trackCount, static_cast<int32_t>(c.starts.size()));
      EXPECT_EQ(track.index01.minutes, expected->index01.minutes);
      EXPECT_EQ(track.index01.seconds, expected->index01.seconds);
      EXPECT_EQ(track.index01.milliseconds, expected->index01.milliseconds);
      EXPECT_EQ(track.albumTitle, &sheet.albumTitle);
      EXPECT_EQ(track.albumPerformer, &sheet.albumPerformer);
      ++expected;
    }
  }
}

// Tracks point back into their sheet and the plug-in hands out pointers into
// it, so a sheet can be neither copied nor moved.
static_assert(!std::is_copy_constructible_v<CueSheet>);
static_assert(!std::is_copy_assignable_v<CueSheet>);
static_assert(!std::is_move_constructible_v<CueSheet>);
static_assert(!std::is_move_assignable_v<CueSheet>);
static_assert(std::is_copy_constructible_v<CueTrack> && std::is_copy_assignable_v<CueTrack>);

}  // namespace
