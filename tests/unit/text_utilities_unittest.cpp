#include "cuesheet/text_utilities.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Pieces = std::vector<std::u16string>;

struct SplitCase {
  const char* name;
  std::u16string text;
  const char16_t* separator;
  bool trimPieces;
  Pieces expected;
};

class SplitTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, GivesPieces) {
  const SplitCase& c = GetParam();
  Pieces pieces{u"left over from an earlier call"};
  Split(c.text, pieces, c.separator, c.trimPieces);
  EXPECT_EQ(pieces, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitTest,
    testing::Values(
        SplitCase{"EmptyTextIsOneEmptyPiece", u"", u"\n", false, {u""}},
        SplitCase{"NoSeparatorIsWholeText", u"REM GENRE Jazz", u"\n", false, {u"REM GENRE Jazz"}},
        SplitCase{"TrailingSeparatorGivesEmptyLastPiece", u"a\nb\n", u"\n", false, {u"a", u"b", u""}},
        SplitCase{"LeadingSeparatorGivesEmptyFirstPiece", u"\na", u"\n", false, {u"", u"a"}},
        SplitCase{"SeparatorsInARowGiveEmptyPieces", u"a\n\n\nb", u"\n", false,
                  {u"a", u"", u"", u"b"}},
        SplitCase{"TextStartingWithTrackGivesEmptyHeader", u"TRACK 01 AUDIO\n", u"TRACK ", false,
                  {u"", u"01 AUDIO\n"}},
        SplitCase{"MultiCharacterSeparatorMatchesExactly",
                  u"TRACK 01\nTRACK\t02\ntrack 03\nTRACK 04", u"TRACK ", false,
                  {u"", u"01\nTRACK\t02\ntrack 03\n", u"04"}},
        SplitCase{"UntrimmedKeepsBlanks", u" a \r\n\tb\r\n", u"\n", false, {u" a \r", u"\tb\r", u""}},
        SplitCase{"TrimmedCrLfLinesLoseCarriageReturns", u"  TITLE x\r\n\t\r\n  INDEX 01\r\n", u"\n",
                  true, {u"TITLE x", u"", u"INDEX 01", u""}},
        SplitCase{"OverlapTakenFromTheLeft", u"aaaaa", u"aa", false, {u"", u"", u"a"}},
        SplitCase{"EmbeddedNulSurvives", std::u16string(u"a\0b\nc", 5), u"\n", false,
                  {std::u16string(u"a\0b", 3), u"c"}},
        SplitCase{"EmptySeparatorGivesWholeText", u"abc", u"", false, {u"abc"}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

struct TrimCase {
  const char* name;
  std::u16string text;
  const char16_t* characters;
  std::u16string expected;
};

class TrimTest : public testing::TestWithParam<TrimCase> {};

TEST_P(TrimTest, GivesText) {
  std::u16string text = GetParam().text;
  Trim(text, GetParam().characters);
  EXPECT_EQ(text, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimTest,
    testing::Values(
        TrimCase{"EmptyStaysEmpty", u"", u" \t\r\n", u""},
        TrimCase{"SetCharactersOnlyBecomeEmpty", u" \t\r\n \n", u" \t\r\n", u""},
        TrimCase{"BothEnds", u"\t Live at the Roundhouse \r\n", u" \t\r\n", u"Live at the Roundhouse"},
        TrimCase{"InsideUntouched", u"a \t b", u" \t", u"a \t b"},
        TrimCase{"QuotedValueWithBlanksAround", u"  \"Kind of Blue\"  ", u" \t\"", u"Kind of Blue"},
        TrimCase{"TwoClosingQuotesBothGo", u"\"12\"\" Mix\"\"", u" \t\"", u"12\"\" Mix"},
        TrimCase{"QuotesOnlyBecomeEmpty", u"\"\"", u" \t\"", u""},
        TrimCase{"NothingToTrim", u"x", u" \t\"", u"x"}),
    [](const testing::TestParamInfo<TrimCase>& info) { return std::string(info.param.name); });

struct ReplaceCase {
  const char* name;
  std::u16string text;
  const char16_t* from;
  const char16_t* to;
  std::u16string expected;
};

class ReplaceAllTest : public testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAllTest, GivesText) {
  const ReplaceCase& c = GetParam();
  std::u16string text = c.text;
  std::u16string& result = ReplaceAll(text, c.from, c.to);
  EXPECT_EQ(&result, &text);
  EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceAllTest,
    testing::Values(
        ReplaceCase{"NoOccurrenceUnchanged", u"0.8.0.0", u", ", u".", u"0.8.0.0"},
        ReplaceCase{"EveryOccurrence", u"0, 8, 1, 0", u", ", u".", u"0.8.1.0"},
        ReplaceCase{"SearchGoesOnAfterReplacement", u"aaa", u"aa", u"b", u"ba"},
        ReplaceCase{"ReplacementContainingFromEnds", u"aaa", u"a", u"aa", u"aaaaaa"},
        ReplaceCase{"EmptyToRemoves", u"1 .2 .3", u" ", u"", u"1.2.3"},
        ReplaceCase{"EmptyFromLeavesText", u"abc", u"", u"x", u"abc"}),
    [](const testing::TestParamInfo<ReplaceCase>& info) { return std::string(info.param.name); });

}  // namespace
