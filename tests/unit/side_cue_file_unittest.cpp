// The cue file beside an audio file: its path, and the decoding and reading
// cases that no cue writer produces. Cue files written in real encodings are
// read in tag_files_unittest.cpp.
#include "sources/side_cue_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
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
      {u"C:\\Music\\Mr.Bungle\\track", u"C:\\Music\\Mr.Bungle\\track.cue"},
      {u"/music/Mr.Bungle/track", u"/music/Mr.Bungle/track.cue"},
      {u"C:\\Music\\track", u"C:\\Music\\track.cue"},
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

// A file name without a dot has one cue file, <name>.cue.
TEST(GetSideCuePathTest, NoPathWithoutName) {
  std::u16string cue = u"unchanged";
  EXPECT_FALSE(GetSideCuePath(u"", cue));
  EXPECT_FALSE(GetSideCuePath(nullptr, cue));
  EXPECT_FALSE(GetWholeNameCuePath(u"C:\\Music\\Mr.Bungle\\track", cue));
  EXPECT_EQ(cue, u"unchanged");
  EXPECT_TRUE(GetWholeNameCuePath(u"C:\\Music\\track.flac", cue));
  EXPECT_EQ(cue, u"C:\\Music\\track.flac.cue");
}

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::optional<std::u16string> text;  // none: not checked
  CueTextEncoding encoding;
  uint32_t invalidBytes;
  uint32_t validMultiByte;
};

// All bytes of a literal, NULs included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

class DecodeSideCueTextTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeSideCueTextTest, Decodes) {
  const DecodeCase& c = GetParam();
  SideCueDecoding decoding{CueTextEncoding::kUtf16BE, 99, 99, {}};
  const std::u16string text = DecodeSideCueText(c.bytes.data(), c.bytes.size(), &decoding);
  if (c.text.has_value()) {
    EXPECT_EQ(text, *c.text);
  }
  EXPECT_EQ(decoding.encoding, c.encoding);
  EXPECT_EQ(decoding.invalidBytes, c.invalidBytes);
  EXPECT_EQ(decoding.validMultiByte, c.validMultiByte);
}

constexpr auto kUtf8 = CueTextEncoding::kUtf8;
constexpr auto kCodePage = CueTextEncoding::kCodePage;

// Without a byte order mark: UTF-8 unless the bytes outside every valid
// UTF-8 character outnumber the valid characters of two bytes or more; then
// in the code page chosen for them, on the native build's system code page
// 1252 (a few bytes alone may read best in another).
INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeSideCueTextTest,
    testing::Values(
        DecodeCase{"Utf8ByteOrderMarkAlone", "\xEF\xBB\xBF", u"", CueTextEncoding::kUtf8WithBOM, 0, 0},
        // The byte order mark declares UTF-8: no fallback behind it.
        DecodeCase{"MalformedAfterUtf8ByteOrderMark", "\xEF\xBB\xBF" "Caf\xE9", u"Caf\uFFFD",
                   CueTextEncoding::kUtf8WithBOM, 1, 0},
        DecodeCase{"OverlongFormIsNoUtf8", "\xC0\xAF", std::nullopt, kCodePage, 2, 0},
        DecodeCase{"EncodedSurrogateIsNoUtf8", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC", kCodePage, 3, 0},
        DecodeCase{"AboveLastCodePointIsNoUtf8", "\xF4\x90\x80\x80", std::nullopt, kCodePage, 4, 0},
        DecodeCase{"TruncatedAtEndIsNoUtf8", "Zo\xC3", u"Zo\u00C3", kCodePage, 1, 0},
        DecodeCase{"Utf16OddLastByteDropped", Bytes("\xFF\xFE" "T\0x"), u"T", CueTextEncoding::kUtf16LE, 0, 0},
        DecodeCase{"Utf16ByteOrderMarkAlone", "\xFF\xFE", u"", CueTextEncoding::kUtf16LE, 0, 0},
        DecodeCase{"Utf16BigEndian", Bytes("\xFE\xFF\0T\x04\x1A"), u"T\u041A", CueTextEncoding::kUtf16BE, 0, 0},
        // Without a byte order mark, the zero bytes of ASCII tell UTF-16 and
        // its byte order; too short a text is not taken for UTF-16.
        DecodeCase{"Utf16WithoutByteOrderMark", Bytes("T\0I\0T\0L\0E\0 \0\"\0\x1A\x04\x38\x04\"\0"),
                   u"TITLE \"\u041A\u0438\"", CueTextEncoding::kUtf16LEWithoutBOM, 0, 0},
        DecodeCase{"Utf16BigEndianWithoutByteOrderMark", Bytes("\0T\0I\0T\0L\0E\0 \0\"\x04\x1A\x04\x38\0\""),
                   u"TITLE \"\u041A\u0438\"", CueTextEncoding::kUtf16BEWithoutBOM, 0, 0},
        DecodeCase{"ShortTextWithZeroBytesIsNoUtf16", Bytes("\0abc"), u"", kUtf8, 0, 0},
        DecodeCase{"Utf8", "Bj\xC3\xB6rk \xE6\x9D\xB1\xF0\x9F\x8E\xB5", u"Bj\u00F6rk \u6771\U0001F3B5", kUtf8, 0, 3},
        // One cp1252 byte in a UTF-8 file spoils that letter only.
        DecodeCase{"StrayByteInUtf8",
                   "PERFORMER \"Bj\xC3\xB6rk\"\nTITLE \"Caf\xE9\"\nTRACK 01 AUDIO\n  PERFORMER \"Bj\xC3\xB6rk\"\n",
                   u"PERFORMER \"Bj\u00F6rk\"\nTITLE \"Caf\uFFFD\"\nTRACK 01 AUDIO\n  PERFORMER \"Bj\u00F6rk\"\n",
                   kUtf8, 1, 2},
        DecodeCase{"AsManyInvalidAsValidStaysUtf8", "Bj\xC3\xB6rk Caf\xE9", u"Bj\u00F6rk Caf\uFFFD", kUtf8, 1, 1},
        DecodeCase{"OneCodePageByteAlone", "TITLE \"Caf\xE9\"", u"TITLE \"Caf\u00E9\"", kCodePage, 1, 0},
        DecodeCase{"Windows1252Sheet",
                   "PERFORMER \"Caf\xE9 M\xFCller\"\nTITLE \"Stra\xDF" "e \x96 Se\xF1or\"\nTRACK 01 AUDIO\n"
                   "  TITLE \"\xC6on \xD8rsted\"\n  INDEX 01 00:00:00\n",
                   u"PERFORMER \"Caf\u00E9 M\u00FCller\"\nTITLE \"Stra\u00DFe \u2013 Se\u00F1or\"\nTRACK 01 AUDIO\n"
                   u"  TITLE \"\u00C6on \u00D8rsted\"\n  INDEX 01 00:00:00\n",
                   kCodePage, 7, 0},
        DecodeCase{"Windows1251Sheet",
                   "PERFORMER \"\xCA\xE8\xED\xEE\"\nTITLE \"\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8\"\n"
                   "TRACK 01 AUDIO\n  TITLE \"\xC7\xE2\xE5\xE7\xE4\xE0 \xEF\xEE \xE8\xEC\xE5\xED\xE8 "
                   "\xD1\xEE\xEB\xED\xF6\xE5\"\n  INDEX 01 00:00:00\n",
                   std::nullopt, kCodePage, 34, 0},
        // Shift-JIS pairs now and then form valid UTF-8 by chance.
        DecodeCase{"ShiftJISSheet",
                   "PERFORMER \"\x92\xC5\x96\xBC\x97\xD1\x8C\xE7\"\nTITLE \"\x96\xB3\x8D\xDF\x83\x82\x83\x89\x83g"
                   "\x83\x8A\x83" "A\x83\x80\"\nTRACK 01 AUDIO\n  TITLE \"\x89\xCC\x95\x91\x8A\xEA\x92\xAC\x82\xCC"
                   "\x8F\x97\x89\xA4\"\n  INDEX 01 00:00:00\n",
                   std::nullopt, kCodePage, 23, 6}),
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
    SideCueDecoding decoding{CueTextEncoding::kUtf16BE, 7, 7, {}};
    EXPECT_NE(ReadSideCueText(test_files::Widen(audio).c_str(), text, &decoding), CueTextOutcome::kFound) << audio;
    EXPECT_EQ(text, u"unchanged") << audio;
    EXPECT_EQ(decoding.encoding, CueTextEncoding::kUtf16BE) << audio;
  }
  std::u16string text = u"unchanged";
  EXPECT_EQ(ReadSideCueText(nullptr, text), CueTextOutcome::kAbsent);
  EXPECT_EQ(ReadSideCueText(u"", text), CueTextOutcome::kAbsent);
  EXPECT_EQ(ReadSideCueText(u"no such folder/nodot", text), CueTextOutcome::kAbsent);
  EXPECT_EQ(text, u"unchanged");
}

TEST_F(ReadSideCueTextTest, ReportsHowTheFileWasDecoded) {
  test_files::WriteBytes(folder_ + "/album.cue", "TITLE \"Caf\xE9\"\n");
  test_files::WriteBytes(folder_ + "/empty.cue", "");
  const struct {
    const char* audio;
    CueTextEncoding encoding;
  } cases[] = {{"/album.flac", CueTextEncoding::kCodePage}, {"/empty.flac", CueTextEncoding::kUtf8}};
  for (const auto& c : cases) {
    std::u16string text;
    SideCueDecoding decoding{CueTextEncoding::kUtf16BE, 7, 7, {}};
    ASSERT_EQ(ReadSideCueText(test_files::Widen(folder_ + c.audio).c_str(), text, &decoding), CueTextOutcome::kFound);
    EXPECT_EQ(decoding.encoding, c.encoding) << c.audio;
  }
}

}  // namespace
