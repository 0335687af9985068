// The FLAC reader of the Windows build with the libFLAC.dll that
// scripts/build-libflac-dll.sh builds: the same files and the same results as
// the native build (tests/data/flac_cue_tests.inc), which also checks that the
// reader's declarations of libFLAC's objects match the DLL's layout (the cue
// sheet track's bit-fields are laid out differently on Windows). The files
// are written by tests/data/make_flac_files.py.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tags/flac_tag_parser.h"
#include "tests/integration/integration_support.h"

namespace {

std::u16string FLACFile(const std::u16string& name) {
  const std::wstring path = integration::FolderFile("SHEETWALK_FLAC_FILES", L"");
  return std::u16string(path.begin(), path.end()) + name;
}

bool FLACFilesReady() {
  const std::u16string complete = FLACFile(u"complete");
  return std::getenv("SHEETWALK_FLAC_FILES") != nullptr &&
         GetFileAttributesW(reinterpret_cast<const wchar_t*>(complete.c_str())) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

#include "tests/data/flac_cue_tests.inc"

namespace {

TEST(FLACLibraryPathTest, TheDLLBesideTheExecutable) {
  FLACCueData data;
  ReadFLACCueData(FLACFile(u"block.flac").c_str(), data);
  ASSERT_EQ(data.status, FLACReadStatus::kRead);
  std::u16string path;
  ASSERT_TRUE(GetFLACLibraryPath(path));
  const std::wstring expected = integration::BesideExecutable(L"libFLAC.dll");
  EXPECT_EQ(CompareStringOrdinal(reinterpret_cast<const wchar_t*>(path.c_str()), -1, expected.c_str(), -1, TRUE),
            CSTR_EQUAL);
}

}  // namespace
