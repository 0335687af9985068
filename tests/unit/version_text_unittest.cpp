#include "plugin/version_text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace {

struct VersionCase {
  const char* name;
  std::u16string productVersion;
  std::u16string shown;
};

class ShortenVersionTextTest : public testing::TestWithParam<VersionCase> {};

TEST_P(ShortenVersionTextTest, FollowsBothReplacements) {
  const VersionCase& c = GetParam();
  std::u16string version = c.productVersion;
  EXPECT_EQ(ShortenVersionText(version), c.shown);
  EXPECT_EQ(version, c.shown) << "shortened in place";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShortenVersionTextTest,
    testing::Values(
        VersionCase{"ReleaseResource", u"0, 8, 0, 0", u"0.8"},
        VersionCase{"MajorRelease", u"1, 0, 0, 0", u"1.0"},
        VersionCase{"PatchKeepsItsTrailingZero", u"1, 2, 3, 0", u"1.2.3.0"},
        // The first ".0.0" goes wherever it stands, even between two numbers.
        VersionCase{"ZerosInTheMiddleGo", u"2, 0, 0, 1", u"2.1"},
        VersionCase{"NoBlanksLeftAsWritten", u"1,2,0,0", u"1,2,0,0"},
        VersionCase{"Empty", u"", u""}),
    [](const testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

// A 512-byte description buffer inside a larger block, so that a write past
// its end shows in the guard bytes after it.
class CopyAnsiTextTest : public testing::Test {
 protected:
  static constexpr std::size_t kCapacity = 512;
  static constexpr char kGuard = '\x5A';

  CopyAnsiTextTest() { block_.fill(kGuard); }

  std::string Copy(const std::u16string& text) {
    CopyAnsiText(text, block_.data(), kCapacity);
    for (std::size_t i = kCapacity; i < block_.size(); ++i) {
      EXPECT_EQ(block_[i], kGuard) << "written past the buffer at " << i;
    }
    const void* end = std::memchr(block_.data(), '\0', kCapacity);
    EXPECT_NE(end, nullptr) << "no terminating zero inside the buffer";
    return end == nullptr ? std::string() : std::string(block_.data());
  }

  std::array<char, kCapacity + 16> block_{};
};

TEST_F(CopyAnsiTextTest, ShortTextIsCopiedWhole) {
  EXPECT_EQ(Copy(u"Quillmoor Sheetwalk v0.8"), "Quillmoor Sheetwalk v0.8");
  // The system's ANSI code page of native runs is 1252.
  EXPECT_EQ(Copy(u"Ch\u00e2teau \u20ac"), "Ch\xe2teau \x80");
}

TEST_F(CopyAnsiTextTest, EmptyTextReplacesEarlierText) {
  Copy(u"earlier description");
  EXPECT_EQ(Copy(u""), "");
}

TEST_F(CopyAnsiTextTest, TextThatFillsTheBufferExactlyIsWhole) {
  const std::u16string text(kCapacity - 1, u'a');
  EXPECT_EQ(Copy(text), std::string(kCapacity - 1, 'a'));
}

TEST_F(CopyAnsiTextTest, LongTextIsCutWithTheZeroInside) {
  EXPECT_EQ(Copy(std::u16string(kCapacity, u'a')), std::string(kCapacity - 1, 'a'));
  EXPECT_EQ(Copy(std::u16string(5000, u'\u00e9')), std::string(kCapacity - 1, '\xe9'));
}

// U+1D11E is two UTF-16 units, and the code page has no character for it:
// each unit becomes the default character. Cut between the units, the 511th
// byte would stand for half a character.
TEST_F(CopyAnsiTextTest, CutNeverSplitsASurrogatePair) {
  const std::u16string text = std::u16string(kCapacity - 2, u'a') + u"\U0001D11E";
  EXPECT_EQ(Copy(text), std::string(kCapacity - 2, 'a'));
}

TEST_F(CopyAnsiTextTest, TinyBufferGetsOnlyTheZero) {
  char buffer[1] = {'x'};
  CopyAnsiText(u"abc", buffer, sizeof buffer);
  EXPECT_EQ(buffer[0], '\0');
}

}  // namespace
