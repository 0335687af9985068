// The album and composer tags, and how a cue file beside the audio file is
// decoded, seen from the player's side with the real plug-in loaded. The
// files come from make_cue_text_files.py; the code page cases run once per
// ANSI code page (1252, 1251, 932), which Wine takes from the locale.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/integration/integration_support.h"

namespace {

std::wstring TestFile(const std::wstring& name) {
  return integration::FolderFile("SHEETWALK_TEST_FILES", name);
}

class CueTextTest : public integration::PluginTest {
 protected:
  CueTextTest() : PluginTest("SHEETWALK_TEST_FILES", "the cue text files' folder") {}

  std::wstring TitleAt(const wchar_t* file, int position, const std::wstring& format) {
    host.SetPlaylist({TestFile(file)});
    host.SetPosition(position);
    return host.FormatTitle(host.EntryPath(0), format);
  }
};

TEST_F(CueTextTest, FiveTagsAnswerWhereTheSheetCarriesThem) {
  const std::wstring kFive = L"%subdate%|%subgenre%|%subcomposer%|%subdisc%|%subdisctotal%";
  const std::wstring kDiscFormat = L"[%subdisc%/%subdisctotal% ]%subnum%. %subtitle%";
  const struct {
    const wchar_t* file;
    int position;
    const std::wstring* format;
    const wchar_t* expected;
  } cases[] = {
      {L"eac.wv", 190000, &kFive, L"1998|Art Rock|Track Composer|1|2"},
      {L"eac.wv", 370000, &kDiscFormat, L"1/2 3. Coda"},
      // Tags that the sheet does not carry are the player's, as for a file
      // without a cue sheet.
      {L"plain.flac", 190000, &kFive, L"(date)|(genre)|(composer)|(disc)|(discs)"},
      {L"plain.flac", 190000, &kDiscFormat, L"(disc)/(discs) 2. Two"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.file << " at " << c.position);
    host.SetFileTags(TestFile(c.file), {{L"subdate", L"(date)"},
                                        {L"subgenre", L"(genre)"},
                                        {L"subcomposer", L"(composer)"},
                                        {L"subdisc", L"(disc)"},
                                        {L"subdisctotal", L"(discs)"}});
    EXPECT_EQ(TitleAt(c.file, c.position, *c.format), c.expected) << host.Log();
  }
  // A player without values for them: the optional section goes.
  host.SetFileTags(TestFile(L"plain.flac"), {});
  EXPECT_EQ(TitleAt(L"plain.flac", 190000, kDiscFormat), L"2. Two");
}

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One sheet of each code page of the corpus, two in Windows-1251 capitals
// (one with its file name and genre in small letters, as a Russian ripper
// writes them), the first of each family of easily confused code pages and
// UTF-16 without a byte order mark read right whatever the system's code
// page.
TEST_F(CueTextTest, CorpusSheetsReadInTheirCodePage) {
  std::ifstream samples(std::filesystem::path(TestFile(L"samples.txt")));
  std::string name;
  int count = 0;
  while (samples >> name) {
    const std::wstring wide(name.begin(), name.end());
    const std::string expected = ReadFile(TestFile(wide + L".expected"));
    ASSERT_FALSE(expected.empty()) << name;
    const std::wstring text(reinterpret_cast<const wchar_t*>(expected.data()), expected.size() / sizeof(wchar_t));
    EXPECT_EQ(TitleAt((wide + L".wav").c_str(), 10000, L"%submainartist%|%submaintitle%|%subtitle%"), text)
        << name << " in code page " << GetACP();
    ++count;
  }
  EXPECT_GE(count, 23);
}

// Whatever the code page: a UTF-8 file with one stray byte stays UTF-8, and
// the sheet written in the system's code page reads in it.
TEST_F(CueTextTest, CodePageSideFilesDecode) {
  const std::wstring kFormat = L"%submainartist%|%submaintitle%|%subtitle%";
  EXPECT_EQ(TitleAt(L"stray.wav", 10000, kFormat), L"Björk|Björk Live|Caf\uFFFD");
  EXPECT_EQ(TitleAt(L"stray.wav", 190000, kFormat), L"Björk|Björk Live|Jóga");

  const struct {
    UINT codePage;
    const wchar_t* file;
    const wchar_t* first;
    const wchar_t* second;
  } sheets[] = {
      {1252, L"cp1252.wav", L"Café Müller – Señor|Straße|Æon Ørsted", L"Café Müller – Señor|Straße|Ça va “bien”"},
      {1251, L"cp1251.wav", L"Кино – Цой|Группа крови|Звезда по имени Солнце", L"Кино – Цой|Группа крови|Пачка сигарет"},
      {932, L"cp932.wav", L"椎名林檎|無罪モラトリアム|歌舞伎町の女王", L"椎名林檎|無罪モラトリアム|ｶﾀｶﾅ ここでキスして。"},
  };
  for (const auto& sheet : sheets) {
    if (sheet.codePage != GetACP()) continue;
    EXPECT_EQ(TitleAt(sheet.file, 10000, kFormat), sheet.first);
    EXPECT_EQ(TitleAt(sheet.file, 190000, kFormat), sheet.second);
    return;
  }
  GTEST_SKIP() << "no sheet written in code page " << GetACP();
}

}  // namespace
