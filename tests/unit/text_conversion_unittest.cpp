#include "text/text_conversion.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/data/text_cases.h"

namespace {

std::string CaseName(const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; }

class Utf8DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8DecodeTest, DecodesLikeWindows) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(ToWideString(c.bytes, platform::CodePage::kUtf8), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf8DecodeTest, testing::ValuesIn(kUtf8Cases), CaseName);

// The native build's system ANSI code page is 1252.
class AnsiDecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(AnsiDecodeTest, DecodesCodePage1252) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(ToWideString(c.bytes, platform::CodePage::kAnsi), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, AnsiDecodeTest, testing::ValuesIn(kWindows1252Cases), CaseName);

TEST(TextConversionTest, LengthAndNulRules) {
  using platform::CodePage;
  EXPECT_EQ(ToWideString("abc", CodePage::kAnsi), u"abc");
  EXPECT_EQ(ToWideString(std::string_view("abc", 2), CodePage::kUtf8), u"ab");
  EXPECT_EQ(ToWideString({}, CodePage::kUtf8), u"");
  // A first NUL byte empties the result whatever follows; later NULs are text.
  EXPECT_EQ(ToWideString(std::string_view("\0abc", 4), CodePage::kUtf8), u"");
  EXPECT_EQ(ToWideString(std::string_view("\0abc", 4), CodePage::kAnsi), u"");
  EXPECT_EQ(ToWideString(std::string_view("ab\0c", 4), CodePage::kUtf8), std::u16string(u"ab\0c", 4));
  // One past the end of a buffer, as an empty APEv2 value at the end of the
  // items region is: AddressSanitizer would catch a read here.
  const std::string region = "x";
  EXPECT_EQ(ToWideString(std::string_view(region.data() + 1, 0), CodePage::kUtf8), u"");

  EXPECT_EQ(ToAnsiString(u""), "");
  EXPECT_EQ(ToAnsiString(u"abc"), "abc");
  EXPECT_EQ(ToAnsiString(std::u16string(u"a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(ToAnsiString(std::u16string(u"\0b", 2)), "");
  EXPECT_EQ(ToUtf8String(u"Caf\u00E9 \U0001F3B5"), "Caf\xC3\xA9 \xF0\x9F\x8E\xB5");
  EXPECT_EQ(ToUtf8String(std::u16string(u"\0b", 2)), "");
}

TEST(ToAnsiStringTest, CharactersOutsideTheCodePageBecomeDefaultCharacter) {
  EXPECT_EQ(ToAnsiString(u"Caf\u00E9 \u20AC"), "Caf\xE9 \x80");
  EXPECT_EQ(ToAnsiString(u"\u6771\u4EAC.flac"), "??.flac");
  EXPECT_EQ(ToAnsiString(u"\u0416"), "?");
}

TEST(ToAnsiStringTest, EveryByteOfCodePage1252RoundTrips) {
  for (int byte = 1; byte < 256; ++byte) {
    const std::string bytes(1, static_cast<char>(byte));
    const std::u16string wide = ToWideString(bytes, platform::CodePage::kAnsi);
    ASSERT_EQ(wide.size(), 1u) << byte;
    EXPECT_EQ(ToAnsiString(wide), bytes) << byte;
  }
}

}  // namespace
