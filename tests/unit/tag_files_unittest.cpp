// The tag readers and the side cue file loader on files written by flac,
// metaflac, wavpack, mutagen and Python's codecs, with Debian's libFLAC.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sources/side_cue_file.h"
#include "tags/ape_tag_parser.h"
#include "tags/flac_tag_parser.h"
#include "tests/data/tag_files.h"
#include "tests/unit/test_files.h"

namespace {

std::string& Root() {
  static std::string root;
  return root;
}

class TagFilesEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    Root() = test_files::MakeScratchFolder("tag_files_unittest");
    ASSERT_TRUE(test_files::MakeTagFiles(Root(), true)) << "make_tag_files.py failed";
  }
};

const testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new TagFilesEnvironment);

std::u16string TagFile(const std::u16string& relative) {
  return test_files::Widen(Root()) + u"/" + relative;
}

// The native build's stand-in for the system's ANSI code page.
unsigned AnsiCodePage() { return 1252; }

#include "tests/data/tag_file_tests.inc"

// The text that the tests expect is the text that the tools were given.
TEST(AlbumCueTest, ExpectedTextIsTheFileInTheSourceTree) {
  std::ifstream in(std::string(SHEETWALK_SOURCE_DIR) + "/tests/data/album.cue", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, reinterpret_cast<const char*>(kAlbumCueUtf8));
}

}  // namespace
