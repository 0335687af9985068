// The tag readers, the side cue file loader and the text conversions of the
// Windows build, under the system's real code pages and with the libFLAC.dll
// that scripts/build-libflac-dll.sh builds. The files are the native tests'
// own, written by tests/data/make_tag_files.py; both builds must read the same
// items from them. Run once per ANSI code page (1252, 1251, 932).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "sources/side_cue_file.h"
#include "tags/ape_tag_parser.h"
#include "tags/flac_tag_parser.h"
#include "tests/data/tag_files.h"
#include "tests/data/text_cases.h"
#include "tests/integration/integration_support.h"
#include "text/text_conversion.h"

namespace {

// SHEETWALK_TAG_FILES: the files' folder on the Unix side; Wine's Z: drive is
// the Unix root.
std::u16string TagFolder() {
  const char* folder = std::getenv("SHEETWALK_TAG_FILES");
  std::u16string path = u"Z:";
  for (const char* c = folder != nullptr ? folder : ""; *c != '\0'; ++c) {
    path += *c == '/' ? u'\\' : static_cast<char16_t>(static_cast<unsigned char>(*c));
  }
  return path;
}

std::u16string TagFile(const std::u16string& relative) {
  std::u16string path = TagFolder() + u"\\" + relative;
  for (char16_t& c : path) {
    if (c == u'/') c = u'\\';
  }
  return path;
}

unsigned AnsiCodePage() { return GetACP(); }

const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

class TagFilesEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    ASSERT_NE(std::getenv("SHEETWALK_TAG_FILES"), nullptr)
        << "SHEETWALK_TAG_FILES names the folder that make_tag_files.py wrote";
    ASSERT_NE(GetFileAttributesW(Wide(TagFile(u"complete"))), INVALID_FILE_ATTRIBUTES)
        << "make_tag_files.py has not completed the tag files";
    std::printf("ANSI code page %u\n", GetACP());
  }
};

const testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new TagFilesEnvironment);

#include "tests/data/tag_file_tests.inc"

std::string CaseName(const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; }

class Utf8DecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8DecodeTest, DecodesAsNativeBuildDoes) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(ToWideString(c.bytes, platform::CodePage::kUtf8), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Utf8DecodeTest, testing::ValuesIn(kUtf8Cases), CaseName);

TEST(Windows1252DecodeTest, DecodesAsNativeBuildDoes) {
  if (GetACP() != 1252) {
    GTEST_SKIP() << "the ANSI code page is " << GetACP();
  }
  for (const DecodeCase& c : kWindows1252Cases) {
    EXPECT_EQ(ToWideString(c.bytes, platform::CodePage::kAnsi), c.expected)
        << c.name;
  }
}

std::string ReadBytes(const std::u16string& path) {
  std::ifstream in(Wide(path), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const CodePageCue* ActiveCodePageCue() {
  for (const CodePageCue& cue : kCodePageCues) {
    if (cue.codePage == GetACP()) return &cue;
  }
  return nullptr;
}

// Both directions convert the whole text, also where a character takes two
// bytes (code page 932).
TEST(CodePageTest, CueTextConvertsBothWays) {
  const CodePageCue* cue = ActiveCodePageCue();
  if (cue == nullptr) {
    GTEST_SKIP() << "no cue file written in code page " << GetACP();
  }
  const std::string bytes = ReadBytes(TagFile(std::u16string(u"cue/") + cue->file + u".cue"));
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(ToAnsiString(cue->text), bytes);
  EXPECT_EQ(ToWideString(bytes, platform::CodePage::kAnsi), cue->text);
}

TEST(CodePageTest, CharacterOutsideTheCodePageBecomesDefaultCharacter) {
  // Thai letters are in none of the three code pages.
  EXPECT_EQ(ToAnsiString(u"a\u0E01b"), "a?b");
}

// A libFLAC between 1.3.2 and 1.3.4 takes ANSI names. For the folder with
// Cyrillic and CJK letters, the name handed over is the long one where the code
// page holds every letter, else the short one; either way it opens the file
// through the C runtime's ANSI fopen, as such a libFLAC would.
TEST(FLACAnsiFileNameTest, NameOpensFileInFolderOutsideCodePage) {
  const std::u16string path = TagFile(std::u16string(kWideFolder) + u"/album.flac");
  std::string name;
  ASSERT_TRUE(GetFLACAnsiFileName(path.c_str(), name));
  FILE* file = std::fopen(name.c_str(), "rb");
  ASSERT_NE(file, nullptr) << name;
  char magic[4] = {};
  EXPECT_EQ(std::fread(magic, 1, 4, file), 4u);
  std::fclose(file);
  EXPECT_EQ(std::string(magic, 4), "fLaC");
}

// The checks below run in a copy of this executable in a folder of its own,
// with the search path cut down to the system folders: LoadLibraryW finds no
// libFLAC.dll (the one beside this executable is out of its reach).
constexpr wchar_t kChildFolder[] = L"SHEETWALK_FLAC_TEST_FOLDER";
constexpr wchar_t kLibrary[] = L"SHEETWALK_FLAC_TEST_LIBRARY";

DWORD RunInChild(const std::wstring& folder) {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string(test->test_suite_name()) + "." + test->name();
  const std::wstring exe = folder + L"\\tag_readers_child.exe";
  if (!CopyFileW(integration::ExecutablePath().c_str(), exe.c_str(), FALSE)) {
    return 1000;
  }
  std::wstring command = L"\"" + exe + L"\" --gtest_filter=" + std::wstring(filter.begin(), filter.end());
  SetEnvironmentVariableW(kChildFolder, folder.c_str());
  SetEnvironmentVariableW(kLibrary, integration::BesideExecutable(L"libFLAC.dll").c_str());
  wchar_t systemFolder[MAX_PATH];
  GetSystemDirectoryW(systemFolder, MAX_PATH);
  wchar_t oldPath[32767];
  const DWORD oldPathLength = GetEnvironmentVariableW(L"PATH", oldPath, 32767);
  SetEnvironmentVariableW(L"PATH", systemFolder);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                                      nullptr, folder.c_str(), &startup, &process);
  SetEnvironmentVariableW(kChildFolder, nullptr);
  SetEnvironmentVariableW(kLibrary, nullptr);
  SetEnvironmentVariableW(L"PATH", oldPathLength > 0 ? oldPath : nullptr);
  if (!started) {
    return 1001;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 1002;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

std::wstring MakeChildFolder(const wchar_t* name, bool withLibrary) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  // One folder per process: the runs for the code pages may overlap.
  const std::wstring folder = std::wstring(temp) + name + L"_" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  DeleteFileW((folder + L"\\libFLAC.dll").c_str());
  if (withLibrary) {
    EXPECT_TRUE(CopyFileW(integration::BesideExecutable(L"libFLAC.dll").c_str(),
                          (folder + L"\\libFLAC.dll").c_str(), FALSE));
  }
  return folder;
}

void RemoveChildFolder(const std::wstring& folder) {
  DeleteFileW((folder + L"\\tag_readers_child.exe").c_str());
  DeleteFileW((folder + L"\\libFLAC.dll").c_str());
  RemoveDirectoryW(folder.c_str());
}

bool InChild() { return GetEnvironmentVariableW(kChildFolder, nullptr, 0) > 0; }

TEST(FLACLibrarySearchTest, WithoutLibraryEveryParseFailsAndNoSecondSearch) {
  if (InChild()) {
    ASSERT_EQ(GetModuleHandleW(L"libFLAC.dll"), nullptr);
    const std::u16string path = TagFile(u"flac/album.flac");
    for (int i = 0; i < 3; ++i) {
      CFLACTagParser parser;
      EXPECT_FALSE(parser.Parse(path.c_str()));
      EXPECT_TRUE(parser.Items().empty());
    }
    // The library is beside this executable now; only a new search would find it.
    wchar_t library[MAX_PATH];
    ASSERT_GT(GetEnvironmentVariableW(kLibrary, library, MAX_PATH), 0u);
    ASSERT_TRUE(CopyFileW(library, integration::BesideExecutable(L"libFLAC.dll").c_str(), FALSE));
    CFLACTagParser parser;
    EXPECT_FALSE(parser.Parse(path.c_str()));
    EXPECT_EQ(GetModuleHandleW(L"libFLAC.dll"), nullptr);
    return;
  }
  const std::wstring folder = MakeChildFolder(L"sheetwalk_flac_missing", false);
  EXPECT_EQ(RunInChild(folder), 0u);
  RemoveChildFolder(folder);
}

// The control for the test above: the same child with the library beside it
// from the start reads the file.
TEST(FLACLibrarySearchTest, LibraryBesideExecutableIsUsed) {
  if (InChild()) {
    CFLACTagParser parser;
    EXPECT_TRUE(parser.Parse(TagFile(u"flac/album.flac").c_str()));
    EXPECT_NE(GetModuleHandleW(L"libFLAC.dll"), nullptr);
    return;
  }
  const std::wstring folder = MakeChildFolder(L"sheetwalk_flac_present", true);
  EXPECT_EQ(RunInChild(folder), 0u);
  RemoveChildFolder(folder);
}

}  // namespace
