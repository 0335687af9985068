#include "tags/text_conversion.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/data/text_cases.h"

namespace {

std::string CaseName(const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; }

class Utf8DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8DecodeTest, DecodesLikeWindows) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(ToWideString(c.bytes.data(), static_cast<int32_t>(c.bytes.size()), true), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf8DecodeTest, testing::ValuesIn(kUtf8Cases), CaseName);

// The native build's system ANSI code page is 1252.
class AnsiDecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(AnsiDecodeTest, DecodesCodePage1252) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(ToWideString(c.bytes.data(), static_cast<int32_t>(c.bytes.size()), false), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, AnsiDecodeTest, testing::ValuesIn(kWindows1252Cases), CaseName);

TEST(ToWideStringTest, CountAndNulRules) {
  const char abc[] = "abc";
  EXPECT_EQ(ToWideString(abc, -1, false), u"abc");
  EXPECT_EQ(ToWideString(abc, -1, true), u"abc");
  EXPECT_EQ(ToWideString(abc, 0, true), u"");
  EXPECT_EQ(ToWideString(abc, 2, true), u"ab");
  EXPECT_EQ(ToWideString(nullptr, 3, true), u"");
  EXPECT_EQ(ToWideString(nullptr, -1, false), u"");
  // A first NUL byte empties the result whatever the count says.
  EXPECT_EQ(ToWideString("\0abc", 4, true), u"");
  EXPECT_EQ(ToWideString("\0abc", 4, false), u"");
  EXPECT_EQ(ToWideString("ab\0c", -1, true), u"ab");
}

TEST(ToWideStringTest, CountZeroReadsNoByte) {
  // One past the end of a buffer, as an empty APEv2 value at the end of the
  // items region is: AddressSanitizer would catch a read here.
  const std::string region = "x";
  EXPECT_EQ(ToWideString(region.data() + 1, 0, true), u"");
}

TEST(ToAnsiStringTest, CountAndNulRules) {
  EXPECT_EQ(ToAnsiString(nullptr, -1), "");
  EXPECT_EQ(ToAnsiString(nullptr, 5), "");
  EXPECT_EQ(ToAnsiString(u"", -1), "");
  EXPECT_EQ(ToAnsiString(std::u16string()), "");
  EXPECT_EQ(ToAnsiString(u"abc", -1), "abc");
  EXPECT_EQ(ToAnsiString(u"abc", 2), "ab");
  EXPECT_EQ(ToAnsiString(u"a\0b", -1), "a");
  EXPECT_EQ(ToAnsiString(std::u16string(u"a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(ToAnsiString(std::u16string(u"\0b", 2)), "");
}

TEST(ToAnsiStringTest, CharactersOutsideTheCodePageBecomeDefaultCharacter) {
  EXPECT_EQ(ToAnsiString(u"Caf\u00E9 \u20AC", -1), "Caf\xE9 \x80");
  EXPECT_EQ(ToAnsiString(u"\u6771\u4EAC.flac", -1), "??.flac");
  EXPECT_EQ(ToAnsiString(u"\u0416", -1), "?");
}

TEST(ToAnsiStringTest, EveryByteOfCodePage1252RoundTrips) {
  for (int byte = 1; byte < 256; ++byte) {
    const std::string bytes(1, static_cast<char>(byte));
    const std::u16string wide = ToWideString(bytes.data(), 1, false);
    ASSERT_EQ(wide.size(), 1u) << byte;
    EXPECT_EQ(ToAnsiString(wide), bytes) << byte;
  }
}

}  // namespace
