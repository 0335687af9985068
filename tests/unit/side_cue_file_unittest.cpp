// The cue file beside an audio file: its path, and the decoding and reading
// cases that no cue writer produces. Cue files written in real encodings are
// read in tag_files_unittest.cpp.
#include "tags/side_cue_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/unit/test_files.h"

namespace {

TEST(GetSideCuePathTest, ReplacesEverythingAfterLastDot) {
  struct Case {
    const char16_t* audio;
    const char16_t* cue;
  };
  const Case cases[] = {
      {u"C:\\Music\\Album.flac", u"C:\\Music\\Album.cue"},
      {u"C:\\Music\\Album.ape", u"C:\\Music\\Album.cue"},
      {u"C:\\Music\\Album.tar.wv", u"C:\\Music\\Album.tar.cue"},
      {u"C:\\Music\\Live.2009\\track", u"C:\\Music\\Live.cue"},
      {u"C:\\Music\\name.", u"C:\\Music\\name.cue"},
      {u"C:\\Music\\Album.CUE", u"C:\\Music\\Album.cue"},
      {u".flac", u".cue"},
      {u"\\\\server\\share\\\u6771\u4EAC.flac", u"\\\\server\\share\\\u6771\u4EAC.cue"},
  };
  for (const Case& c : cases) {
    std::u16string cue;
    ASSERT_TRUE(GetSideCuePath(c.audio, cue));
    EXPECT_EQ(cue, c.cue);
  }
}

TEST(GetSideCuePathTest, NoDotNoPath) {
  std::u16string cue = u"unchanged";
  EXPECT_FALSE(GetSideCuePath(u"C:\\Music\\track", cue));
  EXPECT_FALSE(GetSideCuePath(u"", cue));
  EXPECT_FALSE(GetSideCuePath(nullptr, cue));
  EXPECT_EQ(cue, u"unchanged");
}

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::u16string text;
};

// All bytes of a literal, NULs included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

class DecodeSideCueTextTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeSideCueTextTest, Decodes) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(DecodeSideCueText(c.bytes.data(), c.bytes.size()), c.text);
}

// Where the bytes are not UTF-8, the native build's ANSI code page is 1252.
INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeSideCueTextTest,
    testing::Values(
        DecodeCase{"Utf8ByteOrderMarkAlone", "\xEF\xBB\xBF", u""},
        // The byte order mark declares UTF-8: no fallback behind it.
        DecodeCase{"MalformedAfterUtf8ByteOrderMark", "\xEF\xBB\xBF" "Caf\xE9", u"Caf\uFFFD"},
        DecodeCase{"OverlongFormIsNoUtf8", "\xC0\xAF", u"\u00C0\u00AF"},
        DecodeCase{"EncodedSurrogateIsNoUtf8", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC"},
        DecodeCase{"AboveLastCodePointIsNoUtf8", "\xF4\x90\x80\x80", u"\u00F4\u0090\u20AC\u20AC"},
        DecodeCase{"TruncatedAtEndIsNoUtf8", "Zo\xC3", u"Zo\u00C3"},
        DecodeCase{"Utf16OddLastByteDropped", Bytes("\xFF\xFE" "T\0x"), u"T"},
        DecodeCase{"Utf16ByteOrderMarkAlone", "\xFF\xFE", u""}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

class ReadSideCueTextTest : public testing::Test {
 protected:
  void SetUp() override { folder_ = test_files::MakeScratchFolder("side_cue_file_unittest"); }
  std::string folder_;
};

TEST_F(ReadSideCueTextTest, UnreadableCueFilesLeaveTextAlone) {
  std::filesystem::create_directory(folder_ + "/folder.cue");
  // Too large to convert in one piece; sparse, so it costs no disk space.
  test_files::WriteBytes(folder_ + "/huge.cue", "");
  std::filesystem::resize_file(folder_ + "/huge.cue", (uint64_t{1} << 31) + 1);
  const std::string audioPaths[] = {
      folder_ + "/missing.flac",
      folder_ + "/folder.flac",
      folder_ + "/huge.flac",
  };
  for (const std::string& audio : audioPaths) {
    std::u16string text = u"unchanged";
    EXPECT_NE(ReadSideCueText(test_files::Widen(audio).c_str(), text), CueTextOutcome::kFound) << audio;
    EXPECT_EQ(text, u"unchanged") << audio;
  }
  std::u16string text = u"unchanged";
  EXPECT_EQ(ReadSideCueText(nullptr, text), CueTextOutcome::kAbsent);
  EXPECT_EQ(ReadSideCueText(u"", text), CueTextOutcome::kAbsent);
  EXPECT_EQ(ReadSideCueText(u"nodot", text), CueTextOutcome::kAbsent);
  EXPECT_EQ(text, u"unchanged");
}

}  // namespace
