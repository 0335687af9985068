#include "platform/file_name_posix.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct FileNameCase {
  const char* name;
  std::string bytes;
  std::u16string path;
};

class FileNameTest : public testing::TestWithParam<FileNameCase> {};

// Every name comes back as the same bytes, whatever they are.
TEST_P(FileNameTest, KeepsEveryByte) {
  const FileNameCase& c = GetParam();
  EXPECT_EQ(platform::PathFromFileName(c.bytes), c.path);
  EXPECT_EQ(platform::FileNameFromPath(c.path), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileNameTest,
    testing::Values(FileNameCase{"Utf8", "Caf\xC3\xA9 \xF0\x9F\x8E\xB5.flac", u"Caf\u00E9 \U0001F3B5.flac"},
                    FileNameCase{"Latin1Byte", "caf\xE9.wav", u"caf\xDCE9.wav"},
                    FileNameCase{"Overlong", "\xC0\xAF", u"\xDCC0\xDCAF"},
                    FileNameCase{"EncodedSurrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
                    FileNameCase{"CutShort", "a\xE2\x82", u"a\xDCE2\xDC82"},
                    FileNameCase{"BeyondUnicode", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"}),
    [](const testing::TestParamInfo<FileNameCase>& info) { return std::string(info.param.name); });

}  // namespace
