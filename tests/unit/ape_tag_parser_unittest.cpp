// The APEv2 reader on tags that no tagging tool writes: malformed items and
// footers, built byte by byte. Tags written by real tools are read in
// tag_files_unittest.cpp.
#include "tags/ape_tag_parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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

TEST_P(ParseAPEItemsTest, StoresItemsAndReportsWholeWalk) {
  const ItemsCase& c = GetParam();
  TagItems items;
  EXPECT_EQ(ParseAPEItems(c.region, items), c.result);
  EXPECT_EQ(items, c.items);
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
                  {{u"CUESHEET", u"x"}}}),
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

}  // namespace
