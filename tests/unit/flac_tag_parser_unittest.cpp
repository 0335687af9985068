// The FLAC reader: the comment splitting, the choice of file name encoding,
// the layout of libFLAC's objects, the CUESHEET block's track starts, the
// files of make_flac_files.py with what a read of them costs, and a process
// that finds no loadable libFLAC. The comments of the files that
// make_tag_files.py writes are read in tag_files_unittest.cpp.
#include "tags/flac_tag_parser.h"

#include <FLAC/format.h>
#include <FLAC/metadata.h>
#include <dlfcn.h>
#include <link.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tags/flac_metadata.h"
#include "tests/support/bytes_read.h"
#include "tests/unit/test_files.h"

extern char** environ;

namespace {

// The reader reads libFLAC's objects through its own declarations.
static_assert(sizeof(flac::VorbisCommentEntry) == sizeof(FLAC__StreamMetadata_VorbisComment_Entry));
static_assert(offsetof(flac::VorbisCommentEntry, length) ==
              offsetof(FLAC__StreamMetadata_VorbisComment_Entry, length));
static_assert(offsetof(flac::VorbisCommentEntry, entry) ==
              offsetof(FLAC__StreamMetadata_VorbisComment_Entry, entry));
static_assert(offsetof(flac::VorbisComment, commentCount) ==
              offsetof(FLAC__StreamMetadata_VorbisComment, num_comments));
static_assert(offsetof(flac::VorbisComment, comments) ==
              offsetof(FLAC__StreamMetadata_VorbisComment, comments));
static_assert(offsetof(flac::StreamMetadata, type) == offsetof(FLAC__StreamMetadata, type));
static_assert(offsetof(flac::StreamMetadata, data) == offsetof(FLAC__StreamMetadata, data));
static_assert(sizeof(FLAC__MetadataType) == sizeof(uint32_t));
static_assert(flac::kStreamInfoType == FLAC__METADATA_TYPE_STREAMINFO);
static_assert(flac::kVorbisCommentType == FLAC__METADATA_TYPE_VORBIS_COMMENT);
static_assert(flac::kCueSheetType == FLAC__METADATA_TYPE_CUESHEET);
static_assert(sizeof(flac::StreamInfo) == sizeof(FLAC__StreamMetadata_StreamInfo));
static_assert(offsetof(flac::StreamInfo, sampleRate) == offsetof(FLAC__StreamMetadata_StreamInfo, sample_rate));
static_assert(sizeof(flac::CueSheetIndex) == sizeof(FLAC__StreamMetadata_CueSheet_Index));
static_assert(offsetof(flac::CueSheetIndex, number) == offsetof(FLAC__StreamMetadata_CueSheet_Index, number));
static_assert(sizeof(flac::CueSheetTrack) == sizeof(FLAC__StreamMetadata_CueSheet_Track));
static_assert(offsetof(flac::CueSheetTrack, indexCount) ==
              offsetof(FLAC__StreamMetadata_CueSheet_Track, num_indices));
static_assert(offsetof(flac::CueSheetTrack, indices) == offsetof(FLAC__StreamMetadata_CueSheet_Track, indices));
static_assert(sizeof(flac::CueSheet) == sizeof(FLAC__StreamMetadata_CueSheet));
static_assert(offsetof(flac::CueSheet, trackCount) == offsetof(FLAC__StreamMetadata_CueSheet, num_tracks));
static_assert(offsetof(flac::CueSheet, tracks) == offsetof(FLAC__StreamMetadata_CueSheet, tracks));
static_assert(static_cast<int>(flac::IteratorStatus::kErrorOpeningFile) ==
              FLAC__METADATA_SIMPLE_ITERATOR_STATUS_ERROR_OPENING_FILE);
static_assert(static_cast<int>(flac::IteratorStatus::kNotAFLACFile) ==
              FLAC__METADATA_SIMPLE_ITERATOR_STATUS_NOT_A_FLAC_FILE);
static_assert(static_cast<int>(flac::IteratorStatus::kBadMetadata) ==
              FLAC__METADATA_SIMPLE_ITERATOR_STATUS_BAD_METADATA);
static_assert(static_cast<int>(flac::IteratorStatus::kReadError) == FLAC__METADATA_SIMPLE_ITERATOR_STATUS_READ_ERROR);
static_assert(static_cast<int>(flac::IteratorStatus::kSeekError) == FLAC__METADATA_SIMPLE_ITERATOR_STATUS_SEEK_ERROR);
static_assert(static_cast<int>(flac::IteratorStatus::kMemoryAllocationError) ==
              FLAC__METADATA_SIMPLE_ITERATOR_STATUS_MEMORY_ALLOCATION_ERROR);

struct CommentCase {
  const char* name;
  std::string comment;
  bool stored;
  TagItems items;
};

class AddFLACCommentTest : public testing::TestWithParam<CommentCase> {};

TEST_P(AddFLACCommentTest, SplitsAtFirstEquals) {
  const CommentCase& c = GetParam();
  TagItems items;
  const auto* bytes = reinterpret_cast<const unsigned char*>(c.comment.data());
  EXPECT_EQ(AddFLACComment(bytes, static_cast<uint32_t>(c.comment.size()), items), c.stored);
  EXPECT_EQ(items, c.items);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddFLACCommentTest,
    testing::Values(
        CommentCase{"KeyUpperCased", "cuesheet=TITLE x", true, {{u"CUESHEET", u"TITLE x"}}},
        CommentCase{"LaterEqualsBelongToValue", "TITLE=a=b", true, {{u"TITLE", u"a=b"}}},
        CommentCase{"EmptyKey", "=x", true, {{u"", u"x"}}},
        CommentCase{"EmptyValue", "CUESHEET=", true, {{u"CUESHEET", u""}}},
        CommentCase{"NoEquals", "CUESHEET", false, {}},
        CommentCase{"Empty", "", false, {}},
        CommentCase{"FirstByteNul", std::string("\0A=b", 4), false, {}},
        CommentCase{"EqualsOnlyAfterNul", std::string("AB\0=c", 5), false, {}},
        CommentCase{"ValueEndsAtNul", std::string("A=b\0c", 5), true, {{u"A", u"b"}}},
        CommentCase{"Utf8Decoded", "Artist=Zo\xC3\xAB \xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE", true,
                    {{u"ARTIST", u"Zo\u00EB \u041A\u0438\u043D\u043E"}}},
        CommentCase{"OnlyAsciiLettersUpperCased", "stra\xC3\x9F" "e_\xC3\xA9=1", true,
                    {{u"STRA\u00DFE_\u00E9", u"1"}}},
        CommentCase{"AnsiCommentInItsCodePage", "T=Caf\xE9", true, {{u"T", u"Caf\u00E9"}}}),
    [](const testing::TestParamInfo<CommentCase>& info) { return std::string(info.param.name); });

TEST(AddFLACCommentTest, LaterCommentOfSameKeyWins) {
  TagItems items;
  const std::string first = "CUESHEET=first";
  const std::string second = "CueSheet=second";
  AddFLACComment(reinterpret_cast<const unsigned char*>(first.data()), first.size(), items);
  AddFLACComment(reinterpret_cast<const unsigned char*>(second.data()), second.size(), items);
  const TagItems expected{{u"CUESHEET", u"second"}};
  EXPECT_EQ(items, expected);
}

TEST(FLACFileNameEncodingTest, ByReleaseOfLibFLAC) {
  struct Case {
    const char* version;
    FLACFileNameEncoding expected;
  };
  const Case cases[] = {
      {"1.1.4", FLACFileNameEncoding::kAnsi},
      {"1.2.1", FLACFileNameEncoding::kAnsi},
      {"1.3.0", FLACFileNameEncoding::kUtf8},
      {"1.3.1", FLACFileNameEncoding::kUtf8},
      {"1.3.2", FLACFileNameEncoding::kAnsi},
      {"1.3.4", FLACFileNameEncoding::kAnsi},
      {"1.4.0", FLACFileNameEncoding::kUtf8},
      {"1.4.2", FLACFileNameEncoding::kUtf8},
      {"1.4", FLACFileNameEncoding::kUtf8},
      {"1.5.0-rc1", FLACFileNameEncoding::kUtf8},
      {"2.0.0", FLACFileNameEncoding::kUtf8},
      {"1.3.5", FLACFileNameEncoding::kUtf8ThenAnsi},
      {"git-8a5c5b1 20230609", FLACFileNameEncoding::kUtf8ThenAnsi},
      {"", FLACFileNameEncoding::kUtf8ThenAnsi},
      {"1", FLACFileNameEncoding::kUtf8ThenAnsi},
      {"1.", FLACFileNameEncoding::kUtf8ThenAnsi},
      {"1.3.", FLACFileNameEncoding::kUtf8ThenAnsi},
      {"0.9", FLACFileNameEncoding::kUtf8ThenAnsi},
      {"99999999999.1", FLACFileNameEncoding::kUtf8ThenAnsi},
      {nullptr, FLACFileNameEncoding::kUtf8ThenAnsi},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetFLACFileNameEncoding(c.version), c.expected) << (c.version ? c.version : "null");
  }
}

// One track and the lead-out a case.
TEST(GetFLACBlockTracksTest, StartOfIndex1InWholeMilliseconds) {
  struct Case {
    const char* name;
    uint32_t sampleRate;
    uint64_t trackOffset;
    std::vector<flac::CueSheetIndex> indices;  // {offset, number}
    FLACCueTrack expected;
  };
  const Case cases[] = {
      {"OffsetsAdded", 44100, 44100, {{0, 0}, {88200, 1}}, {true, 3000}},
      {"RoundedDown", 44100, 0, {{440, 1}}, {true, 9}},
      {"FirstIndex1Counts", 1000, 0, {{5, 1}, {7, 1}}, {true, 5}},
      {"NoIndex1", 44100, 0, {{0, 0}, {10, 2}}, {false, 0}},
      {"NoIndices", 44100, 0, {}, {false, 0}},
      {"SampleRate0", 0, 0, {{0, 1}}, {false, 0}},
      {"LastMillisecondThatFits", 1000, 2147483000, {{647, 1}}, {true, INT32_MAX}},
      {"PastInt32Milliseconds", 1000, 2147483000, {{648, 1}}, {false, 0}},
      {"PastInt32MillisecondsAtHighRate", 655350, UINT64_MAX / 2, {{0, 1}}, {false, 0}},
      {"SumPast64Bits", 44100, UINT64_MAX, {{1, 1}}, {false, 0}},
  };
  for (const Case& c : cases) {
    std::vector<flac::CueSheetIndex> indices = c.indices;
    flac::CueSheetTrack tracks[2] = {};
    tracks[0].offset = c.trackOffset;
    tracks[0].indexCount = static_cast<unsigned char>(indices.size());
    tracks[0].indices = indices.empty() ? nullptr : indices.data();
    tracks[1].offset = 1000000;
    flac::CueSheet block = {};
    block.trackCount = 2;
    block.tracks = tracks;
    EXPECT_EQ(GetFLACBlockTracks(block, c.sampleRate), std::vector<FLACCueTrack>{c.expected}) << c.name;
  }
}

// The files of make_flac_files.py, written once per process into the scratch
// folder.
std::string& FLACFolder() {
  static std::string folder;
  return folder;
}

bool FLACFilesReady() {
  if (FLACFolder().empty()) {
    const std::string folder = test_files::MakeScratchFolder("flac_files");
    const std::string command = std::string("/usr/bin/python3 '") + SHEETWALK_SOURCE_DIR +
                                "/tests/data/make_flac_files.py' '" + folder + "'";
    if (std::system(command.c_str()) != 0) {
      return false;
    }
    FLACFolder() = folder;
  }
  return true;
}

std::u16string FLACFile(const std::u16string& name) { return test_files::Widen(FLACFolder() + "/") + name; }

}  // namespace

#include "tests/data/flac_cue_tests.inc"

namespace {

// Bytes read by this process so far, from every file.
uint64_t BytesRead() {
  const uint64_t bytes = bytes_read::ProcessBytesRead();
  if (bytes == 0) ADD_FAILURE() << "no rchar in /proc/self/io";
  return bytes;
}

class FLACReadCostTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(FLACFilesReady()); }
};

// The blocks that a lookup needs (stream info, comments, CUESHEET) hold
// under 1 KiB in these files.
TEST_F(FLACReadCostTest, PicturesArePassedUnread) {
  for (const char16_t* name : {u"picture1m.flac", u"picture10m.flac"}) {
    const std::u16string path = FLACFile(name);
    FLACCueData data;
    ReadFLACCueData(path.c_str(), data);  // binds libFLAC first
    const uint64_t before = BytesRead();
    ReadFLACCueData(path.c_str(), data);
    const uint64_t read = BytesRead() - before;
    ASSERT_EQ(data.status, FLACReadStatus::kRead);
    EXPECT_LE(read, 64u * 1024);
    std::printf("%s: %llu bytes read\n", std::string(path.begin(), path.end()).c_str(),
                static_cast<unsigned long long>(read));
  }
}

// Each test below runs its checks in a child process of this executable whose
// LD_LIBRARY_PATH starts with a folder of its own: the system's search for
// libFLAC.so.12 looks there first, and the process-wide binding is new.
constexpr char kChildFolder[] = "SHEETWALK_FLAC_TEST_FOLDER";

std::string SystemLibFLAC() {
  void* library = dlopen("libFLAC.so.12", RTLD_NOW | RTLD_LOCAL);
  link_map* map = nullptr;
  if (library == nullptr || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
    return {};
  }
  return map->l_name;
}

// Runs the current test again in a child process; its exit status.
int RunInChild(const std::filesystem::path& folder) {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter =
      std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  std::vector<std::string> variables = {std::string(kChildFolder) + "=" + folder.string(),
                                        "LD_LIBRARY_PATH=" + (folder / "lib").string()};
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string entry = *variable;
    if (entry.rfind("LD_LIBRARY_PATH=", 0) != 0 && entry.rfind(kChildFolder, 0) != 0) {
      variables.push_back(entry);
    }
  }
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  // The program's own path, not /proc/self/exe: under a memory checker that
  // link names the checker's loader.
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::vector<char*> argv = {self.data(), const_cast<char*>(filter.c_str()), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
    return -1;
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

// A scratch folder with the tag files, the system's libFLAC beside them, and
// the child's library folder holding `library` as libFLAC.so.12.
std::filesystem::path PrepareChildFolder(const char* name, bool workingLibrary) {
  const std::filesystem::path folder = test_files::MakeScratchFolder(name);
  EXPECT_TRUE(test_files::MakeTagFiles((folder / "files").string(), false));
  const std::string systemLibrary = SystemLibFLAC();
  EXPECT_FALSE(systemLibrary.empty()) << "the system's libFLAC.so.12 does not load";
  std::filesystem::create_symlink(systemLibrary, folder / "system-libFLAC.so.12");
  std::filesystem::create_directory(folder / "lib");
  if (workingLibrary) {
    std::filesystem::create_symlink(systemLibrary, folder / "lib" / "libFLAC.so.12");
  } else {
    // Found first, but no library: the load fails.
    test_files::WriteBytes((folder / "lib" / "libFLAC.so.12").string(), "");
  }
  return folder;
}

std::u16string AlbumFLAC(const std::filesystem::path& folder) {
  return test_files::Widen((folder / "files" / "flac" / "album.flac").string());
}

TEST(FLACLibrarySearchTest, WithoutLoadableLibraryEveryParseFailsAndNoSecondSearch) {
  if (const char* childFolder = std::getenv(kChildFolder)) {
    const std::filesystem::path folder = childFolder;
    const std::u16string path = AlbumFLAC(folder);
    for (int i = 0; i < 3; ++i) {
      CFLACTagParser parser;
      EXPECT_FALSE(parser.Parse(path.c_str()));
      EXPECT_TRUE(parser.Items().empty());
      FLACCueData data;
      ReadFLACCueData(path.c_str(), data);
      EXPECT_EQ(data.status, FLACReadStatus::kLibraryMissing);
    }
    // The library is loadable now; only a new search would find it.
    const std::filesystem::path library = folder / "lib" / "libFLAC.so.12";
    std::filesystem::remove(library);
    std::filesystem::create_symlink(folder / "system-libFLAC.so.12", library);
    CFLACTagParser parser;
    EXPECT_FALSE(parser.Parse(path.c_str()));
    EXPECT_TRUE(parser.Items().empty());
    std::u16string libraryPath;
    EXPECT_FALSE(GetFLACLibraryPath(libraryPath));
    return;
  }
  EXPECT_EQ(RunInChild(PrepareChildFolder("flac_library_missing", false)), 0);
}

// The control for the test above: the same child set-up with a working
// library from the start reads the file.
TEST(FLACLibrarySearchTest, WorkingLibraryInSearchedFolderIsUsed) {
  if (const char* childFolder = std::getenv(kChildFolder)) {
    CFLACTagParser parser;
    EXPECT_TRUE(parser.Parse(AlbumFLAC(childFolder).c_str()));
    std::u16string text;
    EXPECT_TRUE(parser.GetItem(u"CUESHEET", text));
    std::u16string libraryPath;
    EXPECT_TRUE(GetFLACLibraryPath(libraryPath));
    EXPECT_EQ(libraryPath, test_files::Widen(std::string(childFolder) + "/lib/libFLAC.so.12"));
    return;
  }
  EXPECT_EQ(RunInChild(PrepareChildFolder("flac_library_present", true)), 0);
}

}  // namespace
