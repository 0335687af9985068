// The code page of 8-bit cue sheets, over a corpus of real albums in more
// than 30 languages written by make_code_page_sheets.py: every sheet is
// decoded as the plug-in would on a system whose ANSI code page is 1252, 1251
// or 932, and must read exactly as written.
#include "text/code_page_detection.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "sources/side_cue_file.h"
#include "tests/unit/test_files.h"
#include "text/text_conversion.h"

namespace {

struct Sheet {
  std::string name;
  std::string encoding;  // a code page number, or utf-8, utf-16le-bom, ...
  std::string bytes;
  std::u16string text;   // as it must read
};

class CodePageCorpusTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string folder = test_files::MakeScratchFolder("code_page_sheets");
    ASSERT_TRUE(test_files::RunDataScript("make_code_page_sheets.py", folder));
    std::ifstream index(folder + "/index.txt");
    Sheet sheet;
    while (index >> sheet.name >> sheet.encoding) {
      sheet.bytes = test_files::ReadBytes(folder + "/" + sheet.name + ".cue");
      sheet.text = ToWideString(test_files::ReadBytes(folder + "/" + sheet.name + ".txt"), platform::CodePage::kUtf8);
      sheets_.push_back(sheet);
    }
  }
  static std::vector<Sheet> sheets_;
};

std::vector<Sheet> CodePageCorpusTest::sheets_;

bool IsCodePage(const Sheet& sheet) { return sheet.encoding.find_first_not_of("0123456789") == std::string::npos; }

// Prints, per encoding of the sheets, how many read right: uchardet alone on
// the whole file (its answer read as the Windows code page of the same
// script), and the plug-in's choice on each system; and each sheet read
// wrong, with the code page it was read in.
TEST_F(CodePageCorpusTest, SheetsReadRightOnEverySystem) {
  constexpr uint32_t kSystems[] = {1252, 1251, 932};
  struct Row {
    int sheets = 0;
    int alone = 0;
    int right[3] = {};
  };
  std::map<std::string, Row> rows;
  ASSERT_GE(sheets_.size(), 150u);
  for (const Sheet& sheet : sheets_) {
    Row& row = rows[sheet.encoding];
    ++row.sheets;
    std::u16string text;
    if (IsCodePage(sheet) && platform::DecodeCodePage(sheet.bytes, WindowsCodePageOf(DetectCharset(sheet.bytes)), text)) {
      row.alone += text == sheet.text;
    }
    for (int s = 0; s < 3; ++s) {
      SideCueDecoding decoding;
      const bool right = DecodeSideCueText(sheet.bytes.data(), sheet.bytes.size(), kSystems[s], &decoding) == sheet.text;
      row.right[s] += right;
      if (!right && decoding.encoding == CueTextEncoding::kCodePage) {
        std::printf("%s (%s) on %u: read in %u, uchardet %s\n", sheet.name.c_str(), sheet.encoding.c_str(),
                    kSystems[s], decoding.codePage.codePage, decoding.codePage.detected.c_str());
      }
      // UTF-8 and UTF-16 sheets, and those in the system's own code page,
      // never read wrong.
      if (!IsCodePage(sheet) || sheet.encoding == std::to_string(kSystems[s])) {
        EXPECT_TRUE(right) << sheet.name << " (" << sheet.encoding << ") on a " << kSystems[s] << " system";
      }
    }
  }
  Row total;
  std::printf("%-14s %6s %9s %9s %9s %9s\n", "encoding", "sheets", "uchardet", "on 1252", "on 1251", "on 932");
  for (const auto& [encoding, row] : rows) {
    const std::string alone = encoding.find_first_not_of("0123456789") == std::string::npos
                                  ? std::to_string(row.alone) : "-";
    std::printf("%-14s %6d %9s %9d %9d %9d\n", encoding.c_str(), row.sheets, alone.c_str(), row.right[0],
                row.right[1], row.right[2]);
    total.sheets += row.sheets;
    total.alone += row.alone;
    for (int s = 0; s < 3; ++s) total.right[s] += row.right[s];
  }
  std::printf("%-14s %6d %9d %9d %9d %9d\n", "all", total.sheets, total.alone, total.right[0], total.right[1],
              total.right[2]);
  for (int s = 0; s < 3; ++s) {
    EXPECT_GE(total.right[s] * 100, total.sheets * 99) << "on a " << kSystems[s] << " system";
  }
}

// The detector sees the values of a sheet, not the keywords, times and
// ripper comments that every sheet has.
TEST(CueSheetValuesTest, KeepsOnlyTheValues) {
  EXPECT_EQ(CueSheetValues("REM GENRE Rock\r\nREM DATE 1998\r\nREM DISCID 8C0B4E0A\r\nREM COMMENT \"EAC\"\r\n"
                           "PERFORMER \"Kino\"\r\nTITLE Gruppa krovi\r\nFILE \"Kino - Gruppa krovi.wav\" WAVE\r\n"
                           "  TRACK 01 AUDIO\r\n    TITLE \"Vojna\"\r\n    INDEX 01 00:00:00\r\n    ISRC X\r\n"
                           "CATALOG 0\nTITLE\n"),
            "Rock\nKino\nGruppa krovi\nKino - Gruppa krovi.wav\nVojna\n");
  EXPECT_EQ(CueSheetValues("PERFORMER \"Kino\"\rTITLE \"Vojna\"\r  INDEX 01 00:00:00\r"), "Kino\nVojna\n");
}

// A text of more than 64 KiB is judged by a sample of its lines beyond
// ASCII: a line anywhere in it is seen, and a code page that reads the
// sample but not the whole text gives way to the next best.
TEST(LongTextTest, SampleChoosesAndTheWholeTextReads) {
  const std::string track = "  TRACK 01 AUDIO\r\n    TITLE \"So What\"\r\n    INDEX 01 00:00:00\r\n";
  const auto ascii = [&track](size_t size) {
    std::string text;
    while (text.size() < size) text += track;
    return text;
  };
  // Группа крови in Windows-1251; Über ihr Leben and Źródło in Windows-1250,
  // where Ź is a byte that Windows-1252 leaves undefined.
  const std::string cyrillic = "    TITLE \"\xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8\"\r\n";
  std::string german;
  while (german.size() < 4096) german += "    TITLE \"\xDC" "ber ihr Leben\"\r\n";
  const std::string polish = "    TITLE \"\x8Fr\xF3" "d\xB3o\"\r\n";
  const struct {
    const char* what;
    std::string text;
    uint32_t codePage;
    std::u16string title;
  } cases[] = {
      {"one title beyond ASCII at the end of 4 MiB", ascii(4 << 20) + cyrillic, 1251, u"Группа крови"},
      {"one title beyond ASCII at the start of 1 MiB", cyrillic + ascii(1 << 20), 1251, u"Группа крови"},
      {"a byte past the sample that 1252 leaves undefined", german + polish + ascii(128 << 10), 1250, u"Źródło"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CodePageChoice choice;
    const std::u16string text = DecodeLegacyText(c.text, 1252, choice);
    EXPECT_EQ(choice.codePage, c.codePage);
    EXPECT_NE(text.find(c.title), std::u16string::npos);
  }
}

}  // namespace
