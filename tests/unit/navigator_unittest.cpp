// The navigator's rules on sheets parsed from cue text, with the examples the
// plug-in's behaviour is defined by: tracks at 0:00, 3:00 and 6:00.
#include "navigation/navigator.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

constexpr char16_t kThreeTracks[] =
    u"PERFORMER \"Album Artist\"\nTITLE \"Album\"\n"
    u"TRACK 01 AUDIO\n TITLE \"One\"\n PERFORMER \"Album Artist\"\n INDEX 01 00:00:00\n"
    u"TRACK 02 AUDIO\n TITLE \"\"\n PERFORMER \"Guest\"\n INDEX 01 03:00:00\n"
    u"TRACK 03 AUDIO\n TITLE \"Three\"\n INDEX 01 06:00:00\n";

constexpr int32_t At(int32_t minutes, int32_t seconds, int32_t milliseconds = 0) {
  return minutes * 60000 + seconds * 1000 + milliseconds;
}

class NavigatorTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sheet.Parse(kThreeTracks)); }
  CueSheet sheet;
};

TEST_F(NavigatorTest, PreviousAndNextSeekOrLeaveTheCommandToThePlayer) {
  const struct {
    CueCommand command;
    int32_t position;
    std::optional<int32_t> target;  // none: left to the player
  } kCases[] = {
      {CueCommand::kPrevious, At(3, 1), At(0, 0)},
      {CueCommand::kPrevious, At(3, 10), At(3, 0)},
      {CueCommand::kPrevious, At(3, 4), At(0, 0)},
      {CueCommand::kPrevious, At(0, 2), std::nullopt},
      {CueCommand::kNext, At(2, 58, 500), At(3, 0)},
      {CueCommand::kNext, At(2, 59, 500), At(6, 0)},
      {CueCommand::kNext, At(2, 59), At(6, 0)},
      {CueCommand::kNext, At(6, 30), std::nullopt},
      {CueCommand::kNext, -1, std::nullopt},
      {CueCommand::kPrevious, -1, std::nullopt},
  };
  for (const auto& c : kCases) {
    int32_t target = -7;
    const bool jumps = FindJumpTarget(sheet, c.command, c.position, target);
    EXPECT_EQ(jumps, c.target.has_value()) << c.position;
    EXPECT_EQ(target, c.target.value_or(-7)) << c.position;
  }
}

// A 2 s track at 3:00, and a 2 s hidden track before the first: Previous
// counts its four seconds from the start of the track that plays (the last
// that starts at or before the position), so a short track is never passed
// over.
TEST(NavigatorShortTrackTest, PreviousGoesToEveryTrackBeforeTheOnePlaying) {
  CueSheet sheet;
  ASSERT_TRUE(sheet.Parse(u"TRACK 01 AUDIO\n INDEX 01 00:00:00\nTRACK 02 AUDIO\n INDEX 01 00:02:00\n"
                          u"TRACK 03 AUDIO\n INDEX 01 03:00:00\nTRACK 04 AUDIO\n INDEX 01 03:02:00\n"
                          u"TRACK 05 AUDIO\n INDEX 01 06:00:00\n"));
  const struct {
    int32_t position;
    std::optional<int32_t> target;  // none: left to the player
  } kCases[] = {
      {At(3, 3, 500), At(3, 0)},   // 1.5 s into the track after the short one
      {At(3, 6), At(3, 0)},        // exactly 4 s into it
      {At(3, 6, 1), At(3, 2)},     // just over 4 s
      {At(3, 1), At(0, 2)},        // in the short track, a second before 3:02
      {At(3, 1, 500), At(0, 2)},   // half a second before 3:02, which has not begun
      {At(0, 3), At(0, 0)},        // in the track after the hidden one
      {At(0, 1, 500), std::nullopt},  // half a second before it
      {At(0, 1), std::nullopt},    // in the hidden track
  };
  for (const auto& c : kCases) {
    int32_t target = -7;
    const bool jumps = FindJumpTarget(sheet, CueCommand::kPrevious, c.position, target);
    EXPECT_EQ(jumps, c.target.has_value()) << c.position;
    EXPECT_EQ(target, c.target.value_or(-7)) << c.position;
  }
}

TEST_F(NavigatorTest, TrackPlaysFromOneSecondBeforeItsStart) {
  const struct {
    int32_t position;
    int32_t number;  // 0: none
  } kCases[] = {{At(0, 0), 1}, {At(2, 59), 1}, {At(2, 59, 1), 2}, {At(2, 59, 500), 2},
                {At(5, 59, 500), 3}, {At(99, 0), 3}, {-1, 0}};
  for (const auto& c : kCases) {
    const CueTrack* track = FindPlayingTrack(sheet, c.position);
    EXPECT_EQ(track != nullptr ? track->number : 0, c.number) << c.position;
  }
}

TEST_F(NavigatorTest, ChangeIsByValue) {
  const CueTrack& first = sheet.tracks.at(At(0, 0));
  const CueTrack& second = sheet.tracks.at(At(3, 0));
  CueSheet copy;
  ASSERT_TRUE(copy.Parse(kThreeTracks));
  EXPECT_TRUE(IsTrackChange(nullptr, first));
  EXPECT_FALSE(IsTrackChange(&first, first));
  EXPECT_TRUE(IsTrackChange(&first, second));
  // The same track of another file with equal fields is no change.
  EXPECT_FALSE(IsTrackChange(&copy.tracks.at(At(0, 0)), first));
}

TEST_F(NavigatorTest, TitleTagsAnswerFromThePlayingTrack) {
  using Kind = TitleTagAnswer::Kind;
  const struct {
    const char16_t* name;
    int32_t position;
    Kind kind;
    int32_t number;
    const char16_t* text;
  } kCases[] = {
      {u"subnum", At(3, 30), Kind::kNumber, 2, nullptr},
      {u"subnumtotal", At(3, 30), Kind::kNumber, 3, nullptr},
      {u"subtitle", At(0, 30), Kind::kText, 0, u"One"},
      {u"subtitle", At(3, 30), Kind::kText, 0, u""},  // an empty title is answered
      {u"subartist", At(3, 30), Kind::kText, 0, u"Guest"},
      {u"subartist", At(6, 30), Kind::kText, 0, u""},  // a track without PERFORMER
      {u"submaintitle", At(6, 30), Kind::kText, 0, u"Album"},
      {u"submainartist", At(0, 30), Kind::kText, 0, u"Album Artist"},
      {u"SubNum", At(0, 30), Kind::kPlayer, 0, nullptr},
      {u"title", At(0, 30), Kind::kPlayer, 0, nullptr},
  };
  for (const auto& c : kCases) {
    const TitleTagAnswer answer =
        AnswerTitleTag(FindTitleTag(c.name), sheet, *FindPlayingTrack(sheet, c.position));
    ASSERT_EQ(answer.kind, c.kind) << testing::PrintToString(std::u16string(c.name));
    if (c.kind == Kind::kNumber) {
      EXPECT_EQ(answer.number, c.number);
    } else if (c.kind == Kind::kText) {
      EXPECT_EQ(*answer.text, c.text);
    }
  }
}

TEST(NavigatorSinglePerformerTest, ArtistOfASinglePerformerSheetIsLeftToThePlayer) {
  for (const char16_t* text : {u"PERFORMER \"A\"\nTRACK 01 AUDIO\n PERFORMER \"A\"\n INDEX 01 00:00:00\n",
                               u"TRACK 01 AUDIO\n INDEX 01 00:00:00\n"}) {
    CueSheet sheet;
    ASSERT_TRUE(sheet.Parse(text));
    const CueTrack& track = sheet.tracks.begin()->second;
    EXPECT_EQ(AnswerTitleTag(TitleTag::kArtist, sheet, track).kind, TitleTagAnswer::Kind::kPlayer);
    EXPECT_EQ(AnswerTitleTag(TitleTag::kMainArtist, sheet, track).kind, TitleTagAnswer::Kind::kText);
  }
}

// The five album and composer tags, on a sheet as a secure ripper writes it
// and on one without those lines.
TEST(NavigatorExtraTagsTest, AnswerWhatTheSheetCarriesAndLeaveTheRestToThePlayer) {
  CueSheet ripped;
  ASSERT_TRUE(ripped.Parse(
      u"REM GENRE \"Hard Bop\"\r\nREM DATE 1957\r\nREM DISCNUMBER 1\r\nREM TOTALDISCS 2\r\n"
      u"SONGWRITER \"John Coltrane\"\r\nTITLE \"Blue Train\"\r\n"
      u"  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
      u"  TRACK 02 AUDIO\r\n    SONGWRITER \"Jerome Kern\"\r\n    INDEX 01 03:00:00\r\n"
      u"  TRACK 03 AUDIO\r\n    REM COMPOSER \"Lee Morgan\"\r\n    INDEX 01 06:00:00\r\n"));
  CueSheet plain;
  ASSERT_TRUE(plain.Parse(kThreeTracks));
  const struct {
    const CueSheet* sheet;
    const char16_t* name;
    int32_t position;
    const char16_t* text;  // null: left to the player
  } kCases[] = {
      {&ripped, u"subdate", At(0, 30), u"1957"},
      {&ripped, u"subgenre", At(0, 30), u"Hard Bop"},
      {&ripped, u"subdisc", At(0, 30), u"1"},
      {&ripped, u"subdisctotal", At(0, 30), u"2"},
      {&ripped, u"subcomposer", At(0, 30), u"John Coltrane"},
      {&ripped, u"subcomposer", At(3, 30), u"Jerome Kern"},
      {&ripped, u"subcomposer", At(6, 30), u"Lee Morgan"},
      {&ripped, u"SubDate", At(0, 30), nullptr},
      {&plain, u"subdate", At(0, 30), nullptr},
      {&plain, u"subgenre", At(0, 30), nullptr},
      {&plain, u"subcomposer", At(0, 30), nullptr},
      {&plain, u"subdisc", At(0, 30), nullptr},
      {&plain, u"subdisctotal", At(0, 30), nullptr},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(c.name)) + " at " + std::to_string(c.position));
    const TitleTagAnswer answer =
        AnswerTitleTag(FindTitleTag(c.name), *c.sheet, *FindPlayingTrack(*c.sheet, c.position));
    if (c.text == nullptr) {
      EXPECT_EQ(answer.kind, TitleTagAnswer::Kind::kPlayer);
    } else {
      ASSERT_EQ(answer.kind, TitleTagAnswer::Kind::kText);
      EXPECT_EQ(*answer.text, c.text);
    }
  }
}

// A FLAC CUESHEET block has track starts and no text: the numbers answer,
// every text tag is the player's, and Previous and Next work as for any sheet.
TEST(NavigatorSheetWithoutTextTest, AnswersNumbersAndJumps) {
  CueSheet sheet;
  sheet.SetTracks({At(0, 0), std::nullopt, At(3, 0), At(6, 0)});
  const TitleTag kTextTags[] = {TitleTag::kTitle,    TitleTag::kArtist, TitleTag::kMainTitle,
                                TitleTag::kMainArtist, TitleTag::kDate, TitleTag::kGenre,
                                TitleTag::kComposer, TitleTag::kDisc,   TitleTag::kDiscTotal};
  const CueTrack& track = *FindPlayingTrack(sheet, At(3, 30));
  EXPECT_EQ(AnswerTitleTag(TitleTag::kNumber, sheet, track).number, 3);
  EXPECT_EQ(AnswerTitleTag(TitleTag::kNumberTotal, sheet, track).number, 4);
  for (const TitleTag tag : kTextTags) {
    EXPECT_EQ(AnswerTitleTag(tag, sheet, track).kind, TitleTagAnswer::Kind::kPlayer) << static_cast<int>(tag);
  }
  int32_t target = 0;
  ASSERT_TRUE(FindJumpTarget(sheet, CueCommand::kNext, At(3, 30), target));
  EXPECT_EQ(target, At(6, 0));
  ASSERT_TRUE(FindJumpTarget(sheet, CueCommand::kPrevious, At(3, 2), target));
  EXPECT_EQ(target, At(0, 0));
}

}  // namespace
