#include "text/code_page_detection.h"

#include <uchardet.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/code_page.h"
#include "text/text_conversion.h"

namespace {

// The length of the strict UTF-8 character at bytes[0], or 0 when none
// starts there (also when it is cut off by the end).
size_t Utf8CharacterLength(const unsigned char* bytes, size_t size) {
  const unsigned char lead = bytes[0];
  if (lead < 0x80) {
    return 1;
  }
  size_t trail;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (trail > size - 1) {
    return 0;
  }
  for (size_t k = 1; k <= trail; ++k) {
    if (bytes[k] < low || bytes[k] > high) {
      return 0;
    }
    low = 0x80;
    high = 0xBF;
  }
  return trail + 1;
}

// ---- What the detector is given -------------------------------------------

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

std::string_view TrimSpace(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// The first word of `line`, and in `rest` what follows it.
std::string_view FirstWord(std::string_view line, std::string_view& rest) {
  line = TrimSpace(line);
  size_t end = 0;
  while (end < line.size() && !IsSpace(line[end])) ++end;
  rest = TrimSpace(line.substr(end));
  return line.substr(0, end);
}

bool EqualsUpper(std::string_view word, std::string_view keyword) {
  return word.size() == keyword.size() &&
         std::equal(word.begin(), word.end(), keyword.begin(),
                    [](char a, char b) { return (a >= 'a' && a <= 'z' ? a - 32 : a) == b; });
}

bool IsOneOf(std::string_view word, std::initializer_list<std::string_view> keywords) {
  return std::any_of(keywords.begin(), keywords.end(), [word](std::string_view k) { return EqualsUpper(word, k); });
}

// Appends the value of one line of a sheet and a line end to `values`;
// nothing for a line that holds no value.
void AppendValue(std::string_view line, std::string& values) {
  std::string_view rest;
  const std::string_view keyword = FirstWord(line, rest);
  if (rest.empty() || IsOneOf(keyword, {"INDEX", "TRACK", "FLAGS", "PREGAP", "POSTGAP", "ISRC", "CATALOG"})) {
    return;
  }
  if (EqualsUpper(keyword, "REM")) {
    std::string_view value;
    const std::string_view field = FirstWord(rest, value);
    if (value.empty() || IsOneOf(field, {"DISCID", "DATE", "COMMENT", "REPLAYGAIN_ALBUM_GAIN",
                                         "REPLAYGAIN_ALBUM_PEAK", "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK"})) {
      return;
    }
    rest = value;
  } else if (EqualsUpper(keyword, "FILE")) {
    const size_t type = rest.find_last_of(" \t");
    if (type != std::string_view::npos) rest = TrimSpace(rest.substr(0, type));
  }
  if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') rest = rest.substr(1, rest.size() - 2);
  values.append(rest);
  values.push_back('\n');
}

// ---- What the readings are judged by ---------------------------------------

// Lines of ASCII read the same in every code page: the readings are judged
// by the values of the lines that hold a byte beyond ASCII. A sheet of up to
// 64 KiB (a box set of several hundred tracks) gives all of them, and the
// detector is given all its values. A longer text is sampled, for both: the
// choice needs the values, not every byte. From each of 16 equal parts of the
// text come the values of its lines beyond ASCII, up to 2 KiB of them, so
// the sample is at most 32 KiB plus a line per part, spread over the text,
// and the same for the same text.
constexpr size_t kWholeText = 64 << 10;
constexpr size_t kSampleParts = 16;
constexpr size_t kPartValues = 2 << 10;

// At most `room` bytes of a line, cut after a byte below 0x40: in every code
// page, double-byte ones included, such a byte is a character of its own.
std::string_view Bounded(std::string_view line, size_t room) {
  if (line.size() <= room) return line;
  size_t end = room;
  while (end > 0 && static_cast<unsigned char>(line[end - 1]) >= 0x40) --end;
  return line.substr(0, end);
}

// The values of the lines beyond ASCII, up to `share` bytes of them from
// each of `parts` equal parts of the text.
std::string ValuesBeyondAscii(std::string_view bytes, size_t parts, size_t share) {
  std::string values;
  const size_t partSize = bytes.size() / parts;
  for (size_t part = 0; part < parts; ++part) {
    const size_t end = part + 1 == parts ? bytes.size() : (part + 1) * partSize;
    // The lines that begin in this part.
    size_t position = part * partSize;
    while (position > 0 && position < end && !IsLineEnd(bytes[position - 1])) ++position;
    const size_t start = values.size();
    while (position < end && values.size() - start < share) {
      size_t lineEnd = position;
      unsigned char high = 0;
      while (lineEnd < bytes.size() && !IsLineEnd(bytes[lineEnd])) high |= static_cast<unsigned char>(bytes[lineEnd++]);
      if (high >= 0x80) AppendValue(Bounded(bytes.substr(position, lineEnd - position), share), values);
      position = lineEnd + 1;
    }
  }
  return values;
}

// ---- The detector's answer -------------------------------------------------

struct Answer {
  const char* name;
  uint32_t codePage;
};

constexpr Answer kAnswers[] = {
    {"WINDOWS-1250", 1250}, {"ISO-8859-2", 1250}, {"ISO-8859-16", 1250}, {"IBM852", 1250},
    {"MAC-CENTRALEUROPE", 1250}, {"WINDOWS-1251", 1251}, {"ISO-8859-5", 1251}, {"IBM855", 1251},
    {"MAC-CYRILLIC", 1251}, {"KOI8-R", 20866}, {"IBM866", 866}, {"WINDOWS-1252", 1252},
    {"ISO-8859-1", 1252}, {"ISO-8859-15", 1252}, {"ISO-8859-10", 1252}, {"WINDOWS-1253", 1253},
    {"ISO-8859-7", 1253}, {"ISO-8859-9", 1254}, {"ISO-8859-3", 1254}, {"WINDOWS-1255", 1255},
    {"ISO-8859-8", 1255}, {"WINDOWS-1256", 1256}, {"ISO-8859-6", 1256}, {"WINDOWS-1257", 1257},
    {"ISO-8859-13", 1257}, {"ISO-8859-4", 1257}, {"WINDOWS-1258", 1258}, {"VISCII", 1258},
    {"TIS-620", 874}, {"ISO-8859-11", 874}, {"SHIFT_JIS", 932}, {"GB18030", 936},
    {"EUC-KR", 949}, {"UHC", 949}, {"BIG5", 950}, {"EUC-TW", 950},
};

}  // namespace

std::string DetectCharset(std::string_view text) {
  const std::unique_ptr<uchardet, void (*)(uchardet_t)> detector(uchardet_new(), uchardet_delete);
  if (!detector || uchardet_handle_data(detector.get(), text.data(), text.size()) != 0) {
    return {};
  }
  uchardet_data_end(detector.get());
  const char* answer = uchardet_get_charset(detector.get());
  return answer != nullptr ? answer : "";
}

namespace {

// Sheets typed in capitals: the detector's language models know mixed case,
// and capitals of Windows-1251 look to them like small letters of KOI8-R.
// Capitals of the Latin, Greek and Cyrillic Windows code pages lie at C0-DF,
// their small letters 20 above. Only the letters beyond ASCII count: the
// ASCII words of a sheet (its file name, genre, "CD1") tell nothing of how
// its titles were typed.
bool CapitalsBeyondAscii(std::string_view values) {
  bool capital = false;
  for (const char c : values) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0xE0) return false;
    capital = capital || byte >= 0xC0;
  }
  return capital;
}

std::string Lowered(std::string_view values) {
  std::string lowered(values);
  for (char& c : lowered) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDF)) c = static_cast<char>(byte + 0x20);
  }
  return lowered;
}

// ---- How plausible a reading is --------------------------------------------

enum class Script { kNone, kLatin, kMark, kGreek, kCyrillic, kHebrew, kArabic, kThai, kEastAsian };

Script ScriptOf(char16_t c) {
  if (c < 0x80) return (c | 0x20) >= 'a' && (c | 0x20) <= 'z' ? Script::kLatin : Script::kNone;
  if ((c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x1E00 && c <= 0x1EFF)) return Script::kLatin;
  if (c >= 0x300 && c <= 0x36F) return Script::kMark;
  if (c >= 0x370 && c <= 0x3FF) return Script::kGreek;
  if (c >= 0x400 && c <= 0x4FF) return Script::kCyrillic;
  if (c >= 0x590 && c <= 0x5FF) return Script::kHebrew;
  if (c >= 0x600 && c <= 0x6FF) return Script::kArabic;
  if (c >= 0xE01 && c <= 0xE4E && c != 0xE3F) return Script::kThai;  // not the baht sign or the digits
  if ((c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
      (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) || (c >= 0xFF66 && c <= 0xFF9F)) {
    return Script::kEastAsian;
  }
  return Script::kNone;
}

bool IsCombining(char16_t c) {
  return (c >= 0x300 && c <= 0x36F) || (c >= 0x591 && c <= 0x5C7 && c != 0x5BE && c != 0x5C0 && c != 0x5C3 && c != 0x5C6) ||
         (c >= 0x64B && c <= 0x65F) || c == 0x670 || c == 0xE31 || (c >= 0xE34 && c <= 0xE3A) ||
         (c >= 0xE47 && c <= 0xE4E);
}

enum class Case { kNone, kUpper, kLower };

Case CaseOf(char16_t c) {
  if (c >= 'A' && c <= 'Z') return Case::kUpper;
  if (c >= 'a' && c <= 'z') return Case::kLower;
  if (c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7) return c <= 0xDE ? Case::kUpper : Case::kLower;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs capital and small letter, the capital first,
    // except from U+0139 to U+0148 and from U+0179 to U+017E.
    const bool oddCapital = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return (c % 2 == 1) == oddCapital ? Case::kUpper : Case::kLower;
  }
  if (c >= 0x386 && c <= 0x3AB) return Case::kUpper;
  if (c >= 0x3AC && c <= 0x3CE) return Case::kLower;
  if (c >= 0x400 && c <= 0x42F) return Case::kUpper;
  if (c >= 0x430 && c <= 0x45F) return Case::kLower;
  return Case::kNone;
}

char16_t LowerLatin(char16_t c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c >= 0x100 && c <= 0x17F && CaseOf(c) == Case::kUpper) return c + 1;
  if (c == 0x178) return 0xFF;
  if (c == 0x1A0 || c == 0x1AF) return c + 1;  // Vietnamese Ơ, Ư
  return c;
}

// Signs that stand beside letters only in a misread text: those of the
// Latin-1 block (a Polish ł read in code page 1252 is ³), and the box
// drawings that KOI8-R and the DOS code pages put where others have letters.
bool IsStraySign(char16_t c) {
  return (c >= 0xA1 && c <= 0xBF && c != 0xB7 && c != 0xAB && c != 0xBB && c != 0xAA && c != 0xBA) || c == 0xD7 ||
         c == 0xF7 || (c >= 0x2500 && c <= 0x259F);
}

// A reading, each of its characters with its script.
struct Reading {
  explicit Reading(std::u16string_view read) : text(read), scripts(read.size()) {
    std::transform(read.begin(), read.end(), scripts.begin(), ScriptOf);
  }
  Script At(size_t i) const { return i < scripts.size() ? scripts[i] : Script::kNone; }

  std::u16string_view text;
  std::vector<Script> scripts;
};

// The end of the word that begins at `start`: a run of characters whose
// script `inWord` accepts.
template <typename InWord>
size_t WordEnd(const Reading& reading, size_t start, InWord inWord) {
  while (start < reading.text.size() && inWord(reading.scripts[start])) ++start;
  return start;
}

// Marks of words that no language writes: a small letter before a capital,
// letters of two scripts in one word, a combining mark after no letter, and
// a sign between letters.
int Oddities(const Reading& reading) {
  const std::u16string_view text = reading.text;
  int count = 0;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    const char16_t previous = text[i - 1];
    const char16_t c = text[i];
    const Script before = reading.scripts[i - 1];
    const Script here = reading.scripts[i];
    if (IsCombining(c) && before == Script::kNone) ++count;
    if (before != Script::kNone && here != Script::kNone && before != here && before != Script::kMark &&
        here != Script::kMark) {
      ++count;
    }
    if (CaseOf(previous) == Case::kLower && CaseOf(c) == Case::kUpper && before != Script::kNone) ++count;
    if (c >= 0x80 && here == Script::kNone && !IsCombining(c) && before != Script::kNone &&
        reading.scripts[i + 1] != Script::kNone) {
      ++count;
    }
  }
  return count;
}

// -- Cyrillic

char16_t LowerCyrillic(char16_t c) {
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

bool IsCyrillicVowel(char16_t small) {
  return std::u16string_view(u"аеёиоуыэюяіїє").find(small) != std::u16string_view::npos;
}

// The spelling of the Slavic languages: every word has a vowel; the soft and
// hard signs and ы follow a consonant, so they never begin a word; й follows
// a vowel or begins a word. A word of up to four capitals without a vowel
// may be an abbreviation ("ДДТ"). A code page misread as another Cyrillic
// one (KOI8-R as 1251, or the reverse) turns most vowels into consonants.
int CyrillicOddities(const Reading& reading) {
  const std::u16string_view text = reading.text;
  const auto inWord = [](Script script) { return script == Script::kCyrillic; };
  int count = 0;
  for (size_t start = 0; start < text.size();) {
    if (!inWord(reading.scripts[start])) {
      ++start;
      continue;
    }
    const size_t end = WordEnd(reading, start, inWord);
    bool vowel = false;
    bool capitals = true;
    for (size_t i = start; i < end; ++i) {
      const char16_t c = LowerCyrillic(text[i]);
      vowel = vowel || IsCyrillicVowel(c);
      capitals = capitals && CaseOf(text[i]) == Case::kUpper;
      const bool sign = c == u'ь' || c == u'ъ' || c == u'ы';
      if (i == start) {
        count += sign;
        continue;
      }
      const char16_t before = LowerCyrillic(text[i - 1]);
      if (sign && (IsCyrillicVowel(before) || before == u'ь' || before == u'ъ' || before == u'й')) ++count;
      if (c == u'й' && !IsCyrillicVowel(before)) ++count;
    }
    if (!vowel && end - start >= 2 && !(capitals && end - start <= 4)) ++count;
    start = end;
  }
  return count;
}

// -- Thai

bool IsThaiConsonant(char16_t c) { return c >= 0xE01 && c <= 0xE2E; }
bool IsThaiAboveOrBelow(char16_t c) { return c == 0xE31 || (c >= 0xE34 && c <= 0xE3A) || c == 0xE47; }
bool IsThaiToneOrSign(char16_t c) { return c >= 0xE48 && c <= 0xE4E; }
bool IsThaiLeadingVowel(char16_t c) { return c >= 0xE40 && c <= 0xE44; }
bool IsThaiFollowingVowel(char16_t c) { return c == 0xE30 || c == 0xE32 || c == 0xE33 || c == 0xE45; }

// Thai spelling: a vowel sign above or below and a tone mark sit on a
// consonant (the tone mark may sit on the vowel sign); a vowel written
// before its consonant is followed by one; a vowel written after it neither
// begins a word nor follows a vowel written before; and ฉ, ผ, ฝ, ห and ฮ,
// which never close a syllable, never end a word.
int ThaiOddities(const Reading& reading) {
  const std::u16string_view text = reading.text;
  int count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (reading.scripts[i] != Script::kThai) continue;
    const char16_t before = i > 0 ? text[i - 1] : u'\0';
    const bool last = reading.At(i + 1) != Script::kThai;
    if (last && std::u16string_view(u"ฉผฝหฮ").find(c) != std::u16string_view::npos) ++count;
    if (IsThaiAboveOrBelow(c) && !IsThaiConsonant(before)) ++count;
    if (IsThaiToneOrSign(c) && !IsThaiConsonant(before) && !IsThaiAboveOrBelow(before)) ++count;
    if (IsThaiLeadingVowel(c) && !(i + 1 < text.size() && IsThaiConsonant(text[i + 1]))) ++count;
    if (IsThaiFollowingVowel(c) && (i == 0 || reading.scripts[i - 1] != Script::kThai || IsThaiLeadingVowel(before))) {
      ++count;
    }
  }
  return count;
}

// -- Half-width katakana

bool IsKanaOfRows(char16_t c, std::u16string_view rows) { return rows.find(c) != std::u16string_view::npos; }

// Japanese spelling in half-width katakana: the voiced mark follows a kana
// of the k, s, t or h rows or ｳ, the semi-voiced mark one of the h row; small
// ya, yu and yo follow a kana of the i column, and the small vowels, which
// spell sounds of other languages, one of the i or u column, ﾃ or ﾄ; small
// kana, the long vowel mark and ﾝ never begin a word.
int KanaOddities(const Reading& reading) {
  const std::u16string_view text = reading.text;
  int count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0xFF66 || c > 0xFF9F) continue;
    const char16_t before = i > 0 ? text[i - 1] : u'\0';
    if (c == 0xFF9E && !IsKanaOfRows(before, u"ｳｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾊﾋﾌﾍﾎ")) ++count;
    if (c == 0xFF9F && !IsKanaOfRows(before, u"ﾊﾋﾌﾍﾎ")) ++count;
    if (c >= 0xFF6C && c <= 0xFF6E && !IsKanaOfRows(before, u"ｷｼﾁﾆﾋﾐﾘﾞﾟ")) ++count;
    if (c >= 0xFF67 && c <= 0xFF6B && !IsKanaOfRows(before, u"ｲｷｼﾁﾆﾋﾐﾘｳｸｽﾂﾇﾌﾑﾕﾙﾃﾄﾞﾟ")) ++count;
    if (((c >= 0xFF67 && c <= 0xFF70) || c == 0xFF9D) && (i == 0 || reading.scripts[i - 1] != Script::kEastAsian)) {
      ++count;
    }
  }
  return count;
}

// -- Latin alphabets

bool IsLatinVowel(char16_t small) {
  return std::u16string_view(u"aeiouyàáâãäåæèéêëìíîïòóôõöøùúûüýÿāăąēėęěīįıōőœūůűųơư").find(small) !=
         std::u16string_view::npos;
}

// Where a language writes one of its letters beyond ASCII, each a rule of
// its spelling. A letter breaks a rule when one of its places in the text
// does.
enum Place : uint16_t {
  kWordEnd = 1 << 0,       // the accents of Italian, French à and ù: on a word's last letter
  kNoVowelAfter = 1 << 1,  // French, Catalan and Dutch è: before a consonant, or last
  kAfterVowel = 1 << 2,    // the diaeresis of ë, ï and ÿ: after the vowel it parts from
  kBeforeUIE = 1 << 3,     // French œ: cœur, œil, Œdipe
  kBeforeVowel = 1 << 4,   // Spanish ñ
  kBeforeAOU = 1 << 5,     // French and Portuguese ç: before a, o, u (before e and i a c is soft)
  kNasal = 1 << 6,         // Portuguese ã: before a vowel or s, or last
  kBeforeE = 1 << 7,       // Portuguese õ: -õe, -ões
  kNotFirst = 1 << 8,      // Polish ą, ę and ń, Czech ě and ů, Lithuanian ų, Icelandic ð
  kSyllable = 1 << 9,      // Vietnamese: every syllable a word
  kBeforeNasal = 1 << 10,  // Portuguese â: câmara, Ângela
  kAfterConsonant = 1 << 11,     // æ, ø, œ: never after a vowel
  kBetweenConsonants = 1 << 12,  // Slovak ĺ and ŕ, syllabic consonants: stĺp, vŕba
  kBeforeAOUOrLast = 1 << 13,    // Catalan ç: dolça, feliç
};

// Vietnamese writes every syllable as a word: at most seven letters, one run
// of vowels, and after it nothing or one of the final consonants c, ch, m,
// n, ng, nh, p, t. Tone marks written apart are no letters.
bool IsVietnameseSyllable(std::u16string_view word) {
  std::u16string letters;
  for (const char16_t c : word) {
    if (ScriptOf(c) == Script::kLatin) letters.push_back(LowerLatin(c));
  }
  if (letters.size() > 7) return false;
  const size_t vowels = letters.find_first_of(u"aeiouyàáâãèéêìíòóôõùúýăơư");
  if (vowels == std::u16string::npos) return false;
  const size_t coda = letters.find_first_not_of(u"aeiouyàáâãèéêìíòóôõùúýăơư", vowels);
  if (coda == std::u16string::npos) return true;
  const std::u16string_view final = std::u16string_view(letters).substr(coda);
  for (const std::u16string_view allowed : {u"c", u"ch", u"m", u"n", u"ng", u"nh", u"p", u"t"}) {
    if (final == allowed) return true;
  }
  return false;
}

// The rules that one place of the letter at text[i] breaks, in the word
// text[start, end), which is or is not a Vietnamese `syllable`.
uint16_t BrokenRules(std::u16string_view text, size_t i, size_t start, size_t end, bool syllable) {
  const auto letterAt = [&](size_t k) { return k >= start && k < end ? LowerLatin(text[k]) : u'\0'; };
  const char16_t before = i > start ? letterAt(i - 1) : u'\0';
  const char16_t after = letterAt(i + 1);
  const bool vowelAfter = after != u'\0' && IsLatinVowel(after);
  uint16_t broken = 0;
  if (after != u'\0') broken |= kWordEnd;
  if (vowelAfter) broken |= kNoVowelAfter;
  if (before == u'\0' || !IsLatinVowel(before)) broken |= kAfterVowel;
  if (after != u'u' && after != u'i' && after != u'e') broken |= kBeforeUIE;
  if (!vowelAfter) broken |= kBeforeVowel;
  const bool aou = after != u'\0' && std::u16string_view(u"aouáàâãóòôõúùû").find(after) != std::u16string_view::npos;
  if (!aou) broken |= kBeforeAOU;
  if (!aou && after != u'\0') broken |= kBeforeAOUOrLast;
  const bool vowelBefore = before != u'\0' && IsLatinVowel(before);
  if (vowelBefore) broken |= kAfterConsonant;
  if (before == u'\0' || vowelBefore || after == u'\0' || vowelAfter) broken |= kBetweenConsonants;
  if (after != u'\0' && !vowelAfter && after != u's') broken |= kNasal;
  if (after != u'e') broken |= kBeforeE;
  if (before == u'\0') broken |= kNotFirst;
  if (after != u'm' && after != u'n') broken |= kBeforeNasal;
  if (!syllable) broken |= kSyllable;
  return broken;
}

struct Placement {
  std::u16string_view letters;
  uint16_t rules = 0;
};

struct Alphabet {
  std::u16string_view letters;
  std::array<Placement, 6> placements;
};

// The letters beyond ASCII of the languages written in the Latin Windows code
// pages, and where they place them. A misread Latin text mixes letters of
// several of them, or places them where none would.
constexpr Alphabet kAlphabets[] = {
    {u"äöüß", {}},  // German
    {u"àâæçéèêëîïôœùûüÿ",
     {{{u"àù", kWordEnd},
       {u"è", kNoVowelAfter},
       {u"ëïÿ", kAfterVowel},
       {u"œ", kBeforeUIE | kAfterConsonant},
       {u"æ", kAfterConsonant},
       {u"ç", kBeforeAOU}}}},                        // French
    {u"áéíñóúü", {{{u"ñ", kBeforeVowel}}}},  // Spanish
    {u"áâãàçéêíóôõú",
     {{{u"ã", kNasal}, {u"õ", kBeforeE}, {u"â", kBeforeNasal}, {u"ç", kBeforeAOU}}}},  // Portuguese
    {u"àèéìíîòóùú", {{{u"àèéìíîòóùú", kWordEnd}}}},                                      // Italian
    {u"àçèéíïòóúü", {{{u"àèò", kNoVowelAfter}, {u"ï", kAfterVowel}, {u"ç", kBeforeAOUOrLast}}}},  // Catalan
    {u"åäöé", {}},                                             // Swedish
    {u"æøåé", {{{u"æø", kAfterConsonant}}}},                   // Danish, Norwegian
    {u"äöåšž", {}},                                            // Finnish
    {u"áðéíóúýþæö", {{{u"ð", kNotFirst}, {u"æ", kAfterConsonant}}}},  // Icelandic
    {u"éëïóöèüá", {{{u"ëï", kAfterVowel}, {u"è", kNoVowelAfter}}}},   // Dutch
    {u"ąćęłńóśźż", {{{u"ąęń", kNotFirst}}}},                   // Polish
    {u"áčďéěíňóřšťúůýž", {{{u"ěů", kNotFirst}}}},              // Czech
    {u"áäčďéíĺľňóôŕšťúýž", {{{u"ĺŕ", kBetweenConsonants}}}},   // Slovak
    {u"áéíóöőúüű", {}},                                        // Hungarian
    {u"čćđšž", {}},                                            // Croatian, Bosnian, Serbian, Slovene
    {u"ăâîșşțţ", {}},                                          // Romanian
    {u"ëç", {}},                                               // Albanian
    {u"çğıöşüâîû", {}},                                        // Turkish
    {u"äöõüšž", {}},                                           // Estonian
    {u"āčēģīķļņšūž", {}},                                      // Latvian
    {u"ąčęėįšųūž", {{{u"ų", kNotFirst}}}},                     // Lithuanian
    {u"àáâãèéêìíòóôõùúýăđơư", {{{u"àáâãèéêìíòóôõùúýăđơư", kSyllable}}}},  // Vietnamese
};

uint16_t RulesOf(const Alphabet& alphabet, char16_t letter) {
  uint16_t rules = 0;
  for (const Placement& placement : alphabet.placements) {
    if (placement.letters.find(letter) != std::u16string_view::npos) rules |= placement.rules;
  }
  return rules;
}

// How many letters beyond ASCII the best-fitting alphabet lacks or places
// where its language never writes them.
int AlphabetMisfit(const Reading& reading) {
  const std::u16string_view text = reading.text;
  struct Letter {
    char16_t small;
    uint16_t broken;
  };
  std::vector<Letter> letters;
  const auto inWord = [](Script script) { return script == Script::kLatin || script == Script::kMark; };
  for (size_t start = 0; start < text.size();) {
    if (!inWord(reading.scripts[start])) {
      ++start;
      continue;
    }
    const size_t end = WordEnd(reading, start, inWord);
    const auto beyondAscii = [&reading](size_t i) {
      return reading.text[i] >= 0x80 && reading.scripts[i] == Script::kLatin;
    };
    bool marked = false;
    for (size_t i = start; i < end && !marked; ++i) marked = beyondAscii(i);
    if (!marked) {
      start = end;
      continue;
    }
    const bool syllable = IsVietnameseSyllable(text.substr(start, end - start));
    for (size_t i = start; i < end; ++i) {
      if (!beyondAscii(i)) continue;
      const char16_t small = LowerLatin(text[i]);
      const uint16_t broken = BrokenRules(text, i, start, end, syllable);
      const auto known =
          std::find_if(letters.begin(), letters.end(), [small](const Letter& l) { return l.small == small; });
      if (known == letters.end()) {
        letters.push_back({small, broken});
      } else {
        known->broken |= broken;
      }
    }
    start = end;
  }
  int best = static_cast<int>(letters.size());
  for (const Alphabet& alphabet : kAlphabets) {
    int misfit = 0;
    for (const Letter& letter : letters) {
      misfit += alphabet.letters.find(letter.small) == std::u16string_view::npos ||
                (RulesOf(alphabet, letter.small) & letter.broken) != 0;
    }
    best = std::min(best, misfit);
  }
  return best;
}

// A consonant beyond ASCII alone is no word: the Slavic languages have
// prepositions of one consonant, but in ASCII letters ("v", "z"), and an
// abbreviation ends with a dot ("č. 9"). Italian "c'è" read in a Baltic code
// page is "c'č".
int LoneConsonants(const Reading& reading) {
  const std::u16string_view text = reading.text;
  int count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80 || reading.scripts[i] != Script::kLatin || IsLatinVowel(LowerLatin(c))) continue;
    const bool alone = (i == 0 || reading.scripts[i - 1] == Script::kNone) &&
                       (i + 1 == text.size() || (reading.scripts[i + 1] == Script::kNone && text[i + 1] != u'.'));
    count += alone;
  }
  return count;
}

// C1 controls and private use characters: what a code page makes of bytes
// that it does not define.
bool HasUndefined(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char16_t c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xE000 && c <= 0xF8FF); });
}

// Hebrew and Greek write some letters in a form of their own at the end of
// a word: the final kaf, mem, nun, pe and tsadi, and the final sigma, which
// never stand inside a word; nor does a Greek word end on the other sigma.
int FinalFormOddities(const Reading& reading) {
  const std::u16string_view text = reading.text;
  const auto isFinal = [](char16_t c) {
    return c == 0x5DA || c == 0x5DD || c == 0x5DF || c == 0x5E3 || c == 0x5E5 || c == 0x3C2;
  };
  int count = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    const Script here = reading.scripts[i];
    const bool letterAfter = reading.scripts[i + 1] == here && here != Script::kNone;
    if (isFinal(text[i]) && letterAfter) ++count;
    if (text[i] == 0x3C3 && !letterAfter && i > 0 && reading.scripts[i - 1] == Script::kGreek) ++count;
  }
  return count;
}

int Implausibility(std::u16string_view text) {
  const Reading reading(text);
  int signs = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool letterBefore = i > 0 && reading.scripts[i - 1] != Script::kNone;
    const bool letterAfter = reading.At(i + 1) != Script::kNone;
    // Spanish opens a question or an exclamation with ¿ or ¡, before a word.
    const bool opening = text[i] == 0xBF || text[i] == 0xA1;
    if (IsStraySign(text[i]) && (letterBefore || (letterAfter && !opening))) ++signs;
  }
  const int spelling = CyrillicOddities(reading) + ThaiOddities(reading) + KanaOddities(reading) +
                       FinalFormOddities(reading) + LoneConsonants(reading);
  return 2 * (Oddities(reading) + signs + spelling) + AlphabetMisfit(reading);
}

enum class Family { kLatin, kCyrillic, kOther };

Family FamilyOf(uint32_t codePage) {
  switch (codePage) {
    case 1250: case 1252: case 1254: case 1257: case 1258: return Family::kLatin;
    case 1251: case 20866: case 866: return Family::kCyrillic;
    default: return Family::kOther;
  }
}

constexpr uint32_t kSingleByteCodePages[] = {1252, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258, 874, 20866, 866};
constexpr uint32_t kCyrillicCodePages[] = {1251, 20866, 866};
constexpr uint32_t kDoubleByteCodePages[] = {932, 936, 949, 950};

// The single-byte code pages to read, in the order that breaks ties between
// equally plausible readings: the system's code page before a neighbour of
// the same script (a sheet ripped on this system never reads worse), the
// detector's answers before a code page of another script.
std::vector<uint32_t> Candidates(uint32_t detected, uint32_t other, uint32_t system) {
  std::vector<uint32_t> candidates;
  const auto add = [&candidates](uint32_t codePage) {
    if (codePage != 0 && std::find(candidates.begin(), candidates.end(), codePage) == candidates.end()) {
      candidates.push_back(codePage);
    }
  };
  if (FamilyOf(detected) != FamilyOf(system) || FamilyOf(detected) == Family::kOther) add(detected);
  add(system);
  add(detected);
  add(other);
  // The detector tells the Cyrillic code pages apart by their small letters;
  // when it answers one, all are read next.
  if (FamilyOf(detected) == Family::kCyrillic || FamilyOf(other) == Family::kCyrillic) {
    for (const uint32_t codePage : kCyrillicCodePages) add(codePage);
  }
  for (const uint32_t codePage : kSingleByteCodePages) add(codePage);
  return candidates;
}

// The readings of a sample in the candidate code pages, best first. A code
// page is read only when it could still win: no score is below 0, and on a
// tie the earlier candidate wins, so after a reading without a fault none
// that follows it can. The detector tells the East Asian code pages apart
// well: they are read after the others, and only when no answer of the
// detector reads the sample without a fault.
class Readings {
 public:
  Readings(std::string_view sample, std::vector<uint32_t> candidates, std::array<uint32_t, 2> answers)
      : sample_(sample), candidates_(std::move(candidates)), answers_(answers),
        ascii_(std::none_of(sample.begin(), sample.end(), [](char c) { return (c & 0x80) != 0; })) {}

  // The best code page not yet given, 0 when none is left.
  uint32_t Best() {
    for (;;) {
      const auto best = std::min_element(readings_.begin(), readings_.end(), [](const Scored& a, const Scored& b) {
        return a.given != b.given ? !a.given : a.score < b.score;
      });
      const bool found = best != readings_.end() && !best->given;
      if (found && best->score == 0) return Give(*best);
      if (!ReadNext()) return found ? Give(*best) : 0;
    }
  }

 private:
  struct Scored {
    uint32_t codePage;
    int score;
    bool given;
  };

  static uint32_t Give(Scored& reading) {
    reading.given = true;
    return reading.codePage;
  }

  // Reads the next candidate; false, and the readings unchanged, when none
  // is left.
  bool ReadNext() {
    if (next_ == candidates_.size() && !doubleByte_) {
      doubleByte_ = true;
      const bool answerReads = std::any_of(readings_.begin(), readings_.end(), [this](const Scored& r) {
        return r.score == 0 && (r.codePage == answers_[0] || r.codePage == answers_[1]);
      });
      for (const uint32_t codePage : kDoubleByteCodePages) {
        if (!answerReads && std::find(candidates_.begin(), candidates_.end(), codePage) == candidates_.end()) {
          candidates_.push_back(codePage);
        }
      }
    }
    if (next_ == candidates_.size()) return false;
    const uint32_t codePage = candidates_[next_++];
    std::u16string text;
    if (ascii_) {
      readings_.push_back({codePage, 0, false});
    } else if (platform::DecodeCodePage(sample_, codePage, text) && !HasUndefined(text)) {
      readings_.push_back({codePage, Implausibility(text), false});
    }
    return true;
  }

  std::string_view sample_;
  std::vector<uint32_t> candidates_;
  std::array<uint32_t, 2> answers_;
  bool ascii_;
  size_t next_ = 0;
  bool doubleByte_ = false;
  std::vector<Scored> readings_;
};

}  // namespace

Utf8Counts CountUtf8(std::string_view text) {
  Utf8Counts counts;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = 0;
  while (i < text.size()) {
    const size_t length = Utf8CharacterLength(bytes + i, text.size() - i);
    if (length == 0) {
      ++counts.invalidBytes;
      ++i;
      continue;
    }
    if (length > 1) {
      ++counts.validMultiByte;
    }
    i += length;
  }
  return counts;
}

std::string CueSheetValues(std::string_view bytes) {
  std::string values;
  size_t position = 0;
  while (position < bytes.size()) {
    size_t end = position;
    while (end < bytes.size() && !IsLineEnd(bytes[end])) ++end;
    AppendValue(bytes.substr(position, end - position), values);
    position = end + 1;
  }
  return values;
}

uint32_t WindowsCodePageOf(std::string_view answer) {
  for (const Answer& known : kAnswers) {
    if (answer == known.name) return known.codePage;
  }
  return 0;
}

std::u16string DecodeLegacyText(std::string_view bytes, uint32_t systemCodePage, CodePageChoice& choice) {
  choice = CodePageChoice{};
  const bool whole = bytes.size() <= kWholeText;
  const std::string sample =
      whole ? ValuesBeyondAscii(bytes, 1, bytes.size()) : ValuesBeyondAscii(bytes, kSampleParts, kPartValues);
  const std::string values = whole ? CueSheetValues(bytes) : sample;
  choice.detected = DetectCharset(values);
  choice.detectedCodePage = WindowsCodePageOf(choice.detected);
  // Asked again in small letters, the detector tells capitals of one code
  // page from small letters of another. Both answers are read.
  std::string otherAnswer;
  if (CapitalsBeyondAscii(values)) {
    std::string lowered = DetectCharset(Lowered(values));
    if (WindowsCodePageOf(lowered) != 0 && WindowsCodePageOf(lowered) != choice.detectedCodePage) {
      otherAnswer = std::move(choice.detected);
      choice.detected = std::move(lowered);
      choice.detectedCodePage = WindowsCodePageOf(choice.detected);
    }
  }
  const uint32_t detected = choice.detectedCodePage;
  const uint32_t other = WindowsCodePageOf(otherAnswer);

  const std::vector<uint32_t> candidates = Candidates(detected, other, systemCodePage);
  Readings readings(sample, candidates, {detected, other});
  // The sample chose; the whole text must read too.
  for (uint32_t codePage = readings.Best(); codePage != 0; codePage = readings.Best()) {
    std::u16string text;
    if (!platform::DecodeCodePage(bytes, codePage, text) || HasUndefined(text)) continue;
    choice.codePage = codePage;
    if (codePage == other) {
      std::swap(choice.detected, otherAnswer);
      choice.detectedCodePage = other;
    }
    choice.reason = codePage == choice.detectedCodePage ? CodePageReason::kDetected
                    : codePage == systemCodePage        ? CodePageReason::kSystem
                                                        : CodePageReason::kMostPlausible;
    return text;
  }
  choice.codePage = platform::AnsiCodePageNumber();
  choice.reason = CodePageReason::kFallback;
  return ToWideString(bytes, platform::CodePage::kAnsi);
}

std::u16string DecodeTagText(std::string_view bytes, TagCodePage* codePage) {
  TagCodePage found;
  found.used = !bytes.empty() && bytes[0] != '\0' && !IsUtf8Text(CountUtf8(bytes));
  std::u16string text = found.used ? DecodeLegacyText(bytes, platform::AnsiCodePageNumber(), found.choice)
                                   : ToWideString(bytes, platform::CodePage::kUtf8);
  if (codePage != nullptr) *codePage = std::move(found);
  return text;
}
