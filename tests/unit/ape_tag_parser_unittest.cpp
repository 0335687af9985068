// The APEv2 reader on tags that no tagging tool writes: malformed items and
// footers built byte by byte, and files of gigabytes that hold only a few
// bytes. Tags written by real tools are read in tag_files_unittest.cpp and
// at the end of this file.
#include "tags/ape_tag_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>

#include "tests/data/tag_files.h"
#include "tests/unit/test_files.h"

namespace {

std::string Le32(uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) {
    bytes.push_back(static_cast<char>(value >> (8 * i)));
  }
  return bytes;
}

std::string Item(const std::string& key, const std::string& value) {
  return Le32(static_cast<uint32_t>(value.size())) + Le32(0) + key + '\0' + value;
}

std::string ItemWithSize(uint32_t valueSize, const std::string& key, const std::string& value) {
  return Le32(valueSize) + Le32(0) + key + '\0' + value;
}

std::string Footer(uint32_t tagSize, uint32_t version = 2000, const char* signature = "APETAGEX") {
  return std::string(signature, 8) + Le32(version) + Le32(tagSize) + Le32(1) + Le32(0) +
         std::string(8, '\0');
}

struct ItemsCase {
  const char* name;
  std::string region;
  bool result;
  TagItems items;
};

class ParseAPEItemsTest : public testing::TestWithParam<ItemsCase> {};

// The cue lookup's walk gives what ParseAPEItems and the stored CUESHEET
// give, without storing or decoding anything else.
TEST_P(ParseAPEItemsTest, StoresItemsAndReportsWholeWalk) {
  const ItemsCase& c = GetParam();
  TagItems items;
  EXPECT_EQ(ParseAPEItems(c.region, items), c.result);
  EXPECT_EQ(items, c.items);

  MemoryByteSource source(c.region);
  std::u16string text = u"unchanged";
  const APECueResult cue = ReadAPECueItem(source, 0, static_cast<uint32_t>(c.region.size()), UINT32_MAX, text);
  const auto item = c.items.find(u"CUESHEET");
  if (c.result && item != c.items.end()) {
    EXPECT_EQ(cue.status, APECueStatus::kFound);
    EXPECT_EQ(text, item->second);
  } else {
    EXPECT_EQ(cue.status, APECueStatus::kNoItem);
    EXPECT_EQ(text, u"unchanged");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseAPEItemsTest,
    testing::Values(
        ItemsCase{"OneItemFillingTheRegion", Item("CUESHEET", "TITLE x"), true,
                  {{u"CUESHEET", u"TITLE x"}}},
        ItemsCase{"KeyUpperCased", Item("CueSheet", "x"), true, {{u"CUESHEET", u"x"}}},
        ItemsCase{"OnlyAsciiLettersUpperCased", Item("stra\xDF" "e\xE9-1", "x"), true,
                  {{u"STRA\u00DFE\u00E9-1", u"x"}}},
        ItemsCase{"LastOfEqualKeysWins", Item("Title", "a") + Item("TITLE", "b"), true,
                  {{u"TITLE", u"b"}}},
        ItemsCase{"EmptyValueStored", Item("CUESHEET", ""), true, {{u"CUESHEET", u""}}},
        ItemsCase{"EmptyKeyStored", Item("", "x"), true, {{u"", u"x"}}},
        ItemsCase{"ValueDecodedAsUtf8", Item("T", "Zo\xC3\xAB \xE6\x9D\xB1 Caf\xE9"), true,
                  {{u"T", u"Zo\u00EB \u6771 Caf\uFFFD"}}},
        ItemsCase{"ValueNulsKept", Item("COVER", std::string("a\0b", 3)), true,
                  {{u"COVER", std::u16string(u"a\0b", 3)}}},
        ItemsCase{"ValueWithFirstByteNulIsEmpty", Item("COVER", std::string("\0ab", 3)), true,
                  {{u"COVER", u""}}},
        ItemsCase{"RegionBelowEightBytes", std::string(7, 'x'), false, {}},
        ItemsCase{"EmptyRegion", "", false, {}},
        ItemsCase{"TrailingByteAfterLastItem", Item("A", "1") + Item("B", "2") + "x", false,
                  {{u"A", u"1"}, {u"B", u"2"}}},
        ItemsCase{"ValueRunsPastTheEnd", ItemWithSize(100, "CUESHEET", "short"), false, {}},
        ItemsCase{"ValueSizeThatWouldWrap", ItemWithSize(0xFFFFFFFF, "CUESHEET", "x"), false, {}},
        ItemsCase{"KeyWithoutNulRunsToTheEnd", Le32(0) + Le32(0) + "CUESHEET", false, {}},
        // After an item that runs past the end the walk goes on right after
        // its key, here into an item that ends the region exactly.
        ItemsCase{"WalkResumesAfterOverlongItem", ItemWithSize(1000, "BAD", Item("CUESHEET", "x")),
                  true, {{u"CUESHEET", u"x"}}},
        ItemsCase{"ResumedWalkNotEndingExactly",
                  ItemWithSize(1000, "BAD", Item("CUESHEET", "x") + "zz"), false,
                  {{u"CUESHEET", u"x"}}},
        ItemsCase{"LastOfTwoCueSheetsWins", Item("CUESHEET", "a") + Item("cuesheet", "b"), true,
                  {{u"CUESHEET", u"b"}}},
        ItemsCase{"KeyLongerThanCueSheet", Item("CUESHEETS", "x") + Item("CUE", "y"), true,
                  {{u"CUESHEETS", u"x"}, {u"CUE", u"y"}}},
        // Keys, values and a cue sheet larger than one read of the region.
        ItemsCase{"KeyLongerThanAReadBeforeCueSheet",
                  Item(std::string(20000, 'k'), "v") + Item("CUESHEET", "x"), true,
                  {{std::u16string(20000, u'K'), u"v"}, {u"CUESHEET", u"x"}}},
        ItemsCase{"ValueLongerThanAReadBeforeCueSheet",
                  Item("COVER", std::string(20000, '\x01')) + Item("CUESHEET", "x"), true,
                  {{u"COVER", std::u16string(20000, u'\x01')}, {u"CUESHEET", u"x"}}},
        ItemsCase{"CueSheetLongerThanARead", Item("CUESHEET", std::string(20000, 'c')), true,
                  {{u"CUESHEET", std::u16string(20000, u'c')}}}),
    [](const testing::TestParamInfo<ItemsCase>& info) { return std::string(info.param.name); });

TEST(ParseAPEItemsTest, TrailingBytesOneToSevenAllFail) {
  for (size_t extra = 1; extra <= 7; ++extra) {
    TagItems items;
    EXPECT_FALSE(ParseAPEItems(Item("CUESHEET", "x") + std::string(extra, 'y'), items)) << extra;
    EXPECT_EQ(items.size(), 1u) << extra;
  }
}

// Whole files: a body, then the tag, with the footer's fields as given.
class APEFooterTest : public testing::Test {
 protected:
  void SetUp() override { folder_ = test_files::MakeScratchFolder("ape_tag_parser_unittest"); }

  std::u16string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = folder_ + "/" + name;
    test_files::WriteBytes(path, bytes);
    return test_files::Widen(path);
  }

  std::string folder_;
};

TEST_F(APEFooterTest, TagOfExactSizeIsRead) {
  // One item with the 8-byte key CUESHEET and v bytes of value: an items
  // region of 17 + v bytes and a tag size of 49 + v.
  const std::string value = "TITLE \"Zo\xC3\xAB\"\n";
  const uint32_t tagSize = 49 + static_cast<uint32_t>(value.size());
  const std::u16string path = WriteFile("exact.ape", std::string(100, 'a') + Item("CUESHEET", value) +
                                                         Footer(tagSize));
  CAPETagParser parser;
  ASSERT_TRUE(parser.Parse(path.c_str()));
  std::u16string text;
  ASSERT_TRUE(parser.GetItem(u"CUESHEET", text));
  EXPECT_EQ(text, u"TITLE \"Zo\u00EB\"\n");
  // Keys compare exactly, and a missing one leaves the output alone.
  std::u16string other = u"unchanged";
  EXPECT_FALSE(parser.GetItem(u"cuesheet", other));
  EXPECT_FALSE(parser.GetItem(u"TITLE", other));
  EXPECT_EQ(other, u"unchanged");
}

TEST_F(APEFooterTest, FooterVersionIsIgnored) {
  const std::string items = Item("CUESHEET", "x");
  const uint32_t tagSize = static_cast<uint32_t>(items.size()) + 32;
  for (const uint32_t version : {1000u, 2000u, 0u, 0xFFFFFFFFu}) {
    const std::u16string path = WriteFile("version.ape", "body" + items + Footer(tagSize, version));
    CAPETagParser parser;
    EXPECT_TRUE(parser.Parse(path.c_str())) << version;
  }
}

TEST_F(APEFooterTest, TagSizeAsWholeFileIsRead) {
  const std::string items = Item("CUESHEET", "x");
  const std::u16string path = WriteFile("whole.ape", items + Footer(static_cast<uint32_t>(items.size()) + 32));
  CAPETagParser parser;
  EXPECT_TRUE(parser.Parse(path.c_str()));
}

TEST_F(APEFooterTest, UnreadableFootersFail) {
  const std::string items = Item("CUESHEET", "x");
  const uint32_t tagSize = static_cast<uint32_t>(items.size()) + 32;
  const std::string body(64, 'a');
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"SignatureDiffersInOneByte", body + items + Footer(tagSize, 2000, "APETAGEx")},
      {"TagSizeZero", body + items + Footer(0)},
      {"TagSizeBelowFooter", body + items + Footer(31)},
      {"TagSizeOfFooterOnly", body + items + Footer(32)},
      {"RegionBelowEightBytes", body + items + Footer(39)},
      {"TagSizeOneAboveFileSize", items + Footer(tagSize + 1)},
      {"TagSizeFarAboveFileSize", body + items + Footer(0xFFFFFFFF)},
      {"BareFooterOfExactly32Bytes", Footer(32)},
      {"FileBelow32Bytes", std::string("APETAGEX") + std::string(23, '\0')},
      {"EmptyFile", ""},
      {"ID3v1AfterTheTag", body + items + Footer(tagSize) + "TAG" + std::string(125, ' ')},
  };
  for (const Case& c : cases) {
    const std::u16string path = WriteFile("bad.ape", c.bytes);
    CAPETagParser parser;
    EXPECT_FALSE(parser.Parse(path.c_str())) << c.name;
  }
}

TEST_F(APEFooterTest, MissingFileAndFolderFail) {
  CAPETagParser parser;
  EXPECT_FALSE(parser.Parse(nullptr));
  EXPECT_FALSE(parser.Parse(u""));
  EXPECT_FALSE(parser.Parse(test_files::Widen(folder_ + "/missing.ape").c_str()));
  EXPECT_FALSE(parser.Parse(test_files::Widen(folder_).c_str()));
}

TEST_F(APEFooterTest, ParseEmptiesItemsOfEarlierFile) {
  const std::string first = Item("CUESHEET", "first");
  const std::string second = Item("TITLE", "second");
  const std::u16string a = WriteFile("a.ape", first + Footer(static_cast<uint32_t>(first.size()) + 32));
  const std::u16string b = WriteFile("b.ape", second + Footer(static_cast<uint32_t>(second.size()) + 32));
  CAPETagParser parser;
  ASSERT_TRUE(parser.Parse(a.c_str()));
  ASSERT_TRUE(parser.Parse(b.c_str()));
  const TagItems expected{{u"TITLE", u"second"}};
  EXPECT_EQ(parser.Items(), expected);
}

// A tag of `items` with its footer.
std::string Tag(const std::string& items) {
  return items + Footer(static_cast<uint32_t>(items.size()) + 32);
}

const std::string kID3v1 = "TAG" + std::string(125, ' ');

struct PlacementCase {
  const char* name;
  std::string file;
  APECueStatus status;
  bool beforeID3v1;
  std::u16string text;
};

TEST(ReadAPEv2CueTest, WhereTheTagIsLookedFor) {
  const std::string body(200, 'a');
  const std::string cue = Item("CUESHEET", "TITLE x");
  const PlacementCase cases[] = {
      {"AtTheEnd", body + Tag(cue), APECueStatus::kFound, false, u"TITLE x"},
      {"BeforeID3v1", body + Tag(cue) + kID3v1, APECueStatus::kFound, true, u"TITLE x"},
      {"AtTheEndBeforeOneBeforeID3v1", body + Tag(Item("CUESHEET", "first")) + kID3v1 + Tag(Item("CUESHEET", "end")),
       APECueStatus::kFound, false, u"end"},
      {"WithoutCueSheet", body + Tag(Item("TITLE", "x")) + kID3v1, APECueStatus::kNoItem, true, u""},
      {"TrailingByteInRegion", body + Tag(cue + "y"), APECueStatus::kNoItem, false, u""},
      {"TagSizeOfFooterOnly", body + cue + Footer(32), APECueStatus::kNoItem, false, u""},
      {"TagSizeBelowFooter", body + cue + Footer(31), APECueStatus::kNoTag, false, u""},
      {"TagSizeReachingIntoID3v1", cue + Footer(static_cast<uint32_t>(cue.size()) + 33) + kID3v1,
       APECueStatus::kNoTag, false, u""},
      {"ID3v1Alone", body + kID3v1, APECueStatus::kNoTag, false, u""},
      {"OneByteBetweenTagAndID3v1", body + Tag(cue) + "x" + kID3v1, APECueStatus::kNoTag, false, u""},
      {"LastBytesNotID3v1", body + Tag(cue) + "TAg" + std::string(125, ' '), APECueStatus::kNoTag, false, u""},
      {"BareFooterBeforeID3v1", Footer(32) + kID3v1, APECueStatus::kNoTag, false, u""},
      {"EmptyFile", "", APECueStatus::kNoTag, false, u""},
      {"ValueAtTheLimit", Tag(Item("CUESHEET", std::string(kCueTextLimit, 'x'))), APECueStatus::kFound, false,
       std::u16string(kCueTextLimit, u'x')},
      {"ValueOverTheLimit", Tag(Item("CUESHEET", std::string(kCueTextLimit + 1, 'x'))), APECueStatus::kTooLarge,
       false, u""},
      // Some old taggers wrote the value in their system's ANSI code page.
      {"ValueInACodePage",
       body + Tag(Item("CUESHEET", "PERFORMER \"\xCA\xE8\xED\xEE\"\r\nTITLE \"\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8\"")),
       APECueStatus::kFound, false, u"PERFORMER \"\u041A\u0438\u043D\u043E\"\r\nTITLE \"\u0413\u0440\u0443\u043F\u043F\u0430 \u043A\u0440\u043E\u0432\u0438\""},
  };
  for (const PlacementCase& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryByteSource source(c.file);
    std::u16string text = u"unchanged";
    const APECueResult result = ReadAPEv2Cue(source, text);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.beforeID3v1, c.beforeID3v1);
    EXPECT_EQ(text, c.status == APECueStatus::kFound ? c.text : u"unchanged");
  }
}

// A file of any size that is zero but for the pieces put into it; it counts
// the bytes read, and can fail or throw.
class SparseSource final : public ByteSource {
 public:
  explicit SparseSource(uint64_t size) : size_(size) {}

  void Put(uint64_t offset, const std::string& bytes) { pieces_[offset] = bytes; }

  bool GetSize(uint64_t& size) override {
    size = size_;
    return !failSize;
  }

  bool Read(uint64_t offset, void* buffer, uint32_t count, uint32_t& bytesRead) override {
    bytesRead = 0;
    if (offset >= failFrom) return false;
    if (throwOnRead) throw std::length_error("forged size");
    if (offset >= size_) return true;
    bytesRead = static_cast<uint32_t>(std::min<uint64_t>(count, size_ - offset));
    auto* out = static_cast<char*>(buffer);
    std::memset(out, 0, bytesRead);
    for (const auto& [at, bytes] : pieces_) {
      const uint64_t from = std::max(at, offset);
      const uint64_t to = std::min(at + bytes.size(), offset + bytesRead);
      if (from < to) std::memcpy(out + (from - offset), bytes.data() + (from - at), to - from);
    }
    read += bytesRead;
    return true;
  }

  uint64_t read = 0;
  uint64_t failFrom = UINT64_MAX;
  bool failSize = false;
  bool throwOnRead = false;

 private:
  uint64_t size_;
  std::map<uint64_t, std::string> pieces_;
};

constexpr uint32_t k30MB = 30 * 1000 * 1000;
constexpr uint64_t kAudioBytes = 4000;
const std::string kCue = "TITLE \"After the cover\"\n";

// Audio, then a tag holding a 30 MB cover item and, when `withCue`, a
// CUESHEET item after it.
SparseSource CoverFile(bool withCue) {
  const uint64_t body = kAudioBytes;
  const std::string cover = ItemWithSize(k30MB, "Cover Art (Front)", "");
  const std::string after = withCue ? Item("CUESHEET", kCue) : Item("Title", "x");
  const auto tagSize = static_cast<uint32_t>(cover.size() + k30MB + after.size() + 32);
  SparseSource file(body + tagSize);
  file.Put(body, cover);
  file.Put(body + cover.size() + k30MB, after + Footer(tagSize));
  return file;
}

// The footer of a file of `size` bytes that declares `tagSize`.
SparseSource ForgedFile(uint64_t size, uint32_t tagSize) {
  SparseSource file(size);
  file.Put(size - 32, Footer(tagSize));
  return file;
}

// `count` one-letter items, then a CUESHEET: headers to walk.
SparseSource ManyItemsFile(int count) {
  std::string items;
  for (int i = 0; i < count; ++i) items += Item("K", "");
  const std::string tag = Tag(items + Item("CUESHEET", kCue));
  SparseSource file(tag.size());
  file.Put(0, tag);
  return file;
}

struct LimitCase {
  const char* name;
  SparseSource file;
  APECueStatus status;
};

SparseSource Failing(SparseSource file, uint64_t failFrom, bool failSize = false, bool throwOnRead = false) {
  file.failFrom = failFrom;
  file.failSize = failSize;
  file.throwOnRead = throwOnRead;
  return file;
}

// However large the tag or the sizes it declares, a lookup reads at most
// 64 KiB besides the CUESHEET value and gives a plain answer.
TEST(ReadAPEv2CueTest, ReadsLittleOfLargeAndForgedTags) {
  const uint64_t k2_25GiB = 0x90000000;
  LimitCase cases[] = {
      {"CoverOf30MBThenCueSheet", CoverFile(true), APECueStatus::kFound},
      {"CoverOf30MBWithoutCueSheet", CoverFile(false), APECueStatus::kNoItem},
      {"TagSizeOfTheWhole2_25GiBFile", ForgedFile(k2_25GiB, 0x90000000), APECueStatus::kNoItem},
      {"TagSizeMaximumIn5GiBFile", ForgedFile(5ull << 30, 0xFFFFFFFF), APECueStatus::kNoItem},
      {"TagSizeAbove2_25GiBFile", ForgedFile(k2_25GiB, 0x90000001), APECueStatus::kNoTag},
      // 10-byte items: 5,000 fit in the read limit, 7,000 do not.
      {"HeadersWithinTheReadLimit", ManyItemsFile(5000), APECueStatus::kFound},
      {"HeadersBeyondTheReadLimit", ManyItemsFile(7000), APECueStatus::kNoItem},
      {"SizeFails", Failing(CoverFile(true), UINT64_MAX, true), APECueStatus::kUnreadable},
      {"FooterReadFails", Failing(CoverFile(true), 0), APECueStatus::kUnreadable},
      {"ReadAfterTheCoverFails", Failing(CoverFile(true), kAudioBytes + k30MB), APECueStatus::kUnreadable},
      {"ReadThrows", Failing(ForgedFile(k2_25GiB, 0x90000000), UINT64_MAX, false, true),
       APECueStatus::kUnreadable},
  };
  for (LimitCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string text = u"unchanged";
    const APECueResult result = ReadAPEv2Cue(c.file, text);
    EXPECT_EQ(result.status, c.status);
    if (result.status == APECueStatus::kFound) {
      EXPECT_EQ(text, std::u16string(kCue.begin(), kCue.end()));
      EXPECT_EQ(result.itemBytes, kCue.size());
    } else {
      EXPECT_EQ(text, u"unchanged");
    }
    EXPECT_LE(c.file.read, kAPECueReadLimit + result.itemBytes);
  }
}

// Files written by wavpack and mutagen (tests/data/make_tag_files.py); the
// ID3v1 tag after an APEv2 tag is mutagen's ID3 writer's.
TEST(ReadAPEv2CueTest, FilesOfRealWriters) {
  const std::string root = test_files::MakeScratchFolder("ape_tag_parser_unittest_files");
  ASSERT_TRUE(test_files::MakeTagFiles(root, false)) << "make_tag_files.py failed";
  const std::u16string album = kAlbumCue;
  const struct {
    const char* file;
    APECueStatus status;
    bool beforeID3v1;
    std::u16string text;
  } cases[] = {
      {"wavpack/album.wv", APECueStatus::kFound, false, album},
      {"mutagen/id3v1.ape", APECueStatus::kFound, true, album},
      {"mutagen/tagged.tak", APECueStatus::kFound, false, album},  // beside a binary item
      {"mutagen/missing.ape", APECueStatus::kUnreadable, false, u""},
      {"mutagen", APECueStatus::kUnreadable, false, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::u16string path = test_files::Widen(root + "/" + c.file);
    std::u16string text = u"unchanged";
    const APECueResult result = ReadAPEv2Cue(path.c_str(), text);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.beforeID3v1, c.beforeID3v1);
    EXPECT_EQ(text, c.status == APECueStatus::kFound ? c.text : u"unchanged");
  }
  std::u16string text;
  EXPECT_EQ(ReadAPEv2Cue(test_files::Widen(root + "/mutagen/missing.ape").c_str(), text).status,
            APECueStatus::kUnreadable);
}

}  // namespace
