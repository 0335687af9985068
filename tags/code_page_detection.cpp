#include "tags/code_page_detection.h"

#include <uchardet.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/code_page.h"
#include "tags/text_conversion.h"

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

bool IsDoubleByte(uint32_t codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

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
// and all-capital Windows-1251 looks to them like lower-case KOI8-R. Capitals
// of the Latin, Greek and Cyrillic Windows code pages lie at C0-DF, their
// small letters 20 above.
bool AllCapitals(std::string_view values) {
  bool capital = false;
  for (const char c : values) {
    if (c >= 'a' && c <= 'z') return false;
    capital = capital || (c >= 'A' && c <= 'Z');
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
  if (c >= 0xE00 && c <= 0xE7F) return Script::kThai;
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
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c >= 0x100 && c <= 0x17F && CaseOf(c) == Case::kUpper) return c + 1;
  if (c == 0x178) return 0xFF;
  return c;
}

// Signs of the Latin-1 block that stand beside letters only in a misread
// text: a Polish ł read in code page 1252 is ³.
bool IsStraySign(char16_t c) {
  return (c >= 0xA1 && c <= 0xBF && c != 0xB7 && c != 0xAB && c != 0xBB && c != 0xAA && c != 0xBA) || c == 0xD7 ||
         c == 0xF7;
}

// Marks of words that no language writes: a small letter before a capital,
// letters of two scripts in one word, a combining mark after no letter, and
// a sign between letters.
int Oddities(std::u16string_view text) {
  int count = 0;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    const char16_t previous = text[i - 1];
    const char16_t c = text[i];
    const Script before = ScriptOf(previous);
    const Script here = ScriptOf(c);
    if (IsCombining(c) && before == Script::kNone) ++count;
    if (before != Script::kNone && here != Script::kNone && before != here && before != Script::kMark &&
        here != Script::kMark) {
      ++count;
    }
    if (CaseOf(previous) == Case::kLower && CaseOf(c) == Case::kUpper && before != Script::kNone) ++count;
    if (c >= 0x80 && here == Script::kNone && !IsCombining(c) && before != Script::kNone &&
        ScriptOf(text[i + 1]) != Script::kNone) {
      ++count;
    }
  }
  return count;
}

// The letters beyond ASCII of the languages written in the Latin Windows code
// pages. A misread Latin text mixes letters of several of them.
constexpr std::u16string_view kAlphabets[] = {
    u"äöüß",                    // German
    u"àâæçéèêëîïôœùûüÿ",        // French
    u"áéíñóúü",                 // Spanish
    u"áâãàçéêíóôõú",            // Portuguese
    u"àèéìíîòóùú",              // Italian
    u"àçèéíïòóúü",              // Catalan
    u"åäöé",                    // Swedish
    u"æøåé",                    // Danish, Norwegian
    u"äöåšž",                   // Finnish
    u"áðéíóúýþæö",              // Icelandic
    u"éëïóöèüá",                // Dutch
    u"ąćęłńóśźż",               // Polish
    u"áčďéěíňóřšťúůýž",         // Czech
    u"áäčďéíĺľňóôŕšťúýž",       // Slovak
    u"áéíóöőúüű",               // Hungarian
    u"čćđšž",                   // Croatian, Bosnian, Serbian, Slovene
    u"ăâîșşțţ",                 // Romanian
    u"ëç",                      // Albanian
    u"çğıöşüâîû",               // Turkish
    u"äöõüšž",                  // Estonian
    u"āčēģīķļņšūž",             // Latvian
    u"ąčęėįšųūž",               // Lithuanian
    u"àáâãèéêìíòóôõùúýăđơư",    // Vietnamese
};

// How many letters beyond ASCII the best-fitting alphabet lacks.
int AlphabetMisfit(std::u16string_view text) {
  std::vector<char16_t> letters;
  for (const char16_t c : text) {
    if (c >= 0x80 && ScriptOf(c) == Script::kLatin) letters.push_back(LowerLatin(c));
  }
  std::sort(letters.begin(), letters.end());
  letters.erase(std::unique(letters.begin(), letters.end()), letters.end());
  int best = static_cast<int>(letters.size());
  for (const std::u16string_view alphabet : kAlphabets) {
    const auto misfit = std::count_if(letters.begin(), letters.end(),
                                      [alphabet](char16_t c) { return alphabet.find(c) == std::u16string_view::npos; });
    best = std::min(best, static_cast<int>(misfit));
  }
  return best;
}

// C1 controls and private use characters: what a code page makes of bytes
// that it does not define.
bool HasUndefined(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char16_t c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xE000 && c <= 0xF8FF); });
}

int Implausibility(std::u16string_view text) {
  int signs = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsStraySign(text[i]) && ((i > 0 && ScriptOf(text[i - 1]) != Script::kNone) ||
                                 (i + 1 < text.size() && ScriptOf(text[i + 1]) != Script::kNone))) {
      ++signs;
    }
  }
  return 2 * (Oddities(text) + signs) + AlphabetMisfit(text);
}

enum class Family { kLatin, kCyrillic, kOther };

Family FamilyOf(uint32_t codePage) {
  switch (codePage) {
    case 1250: case 1252: case 1254: case 1257: case 1258: return Family::kLatin;
    case 1251: case 20866: case 866: return Family::kCyrillic;
    default: return Family::kOther;
  }
}

constexpr uint32_t kSingleByteCodePages[] = {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 874};
constexpr uint32_t kDoubleByteCodePages[] = {932, 936, 949, 950};

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
  while (!bytes.empty()) {
    const size_t end = std::min(bytes.find('\n'), bytes.size());
    const std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(std::min(end + 1, bytes.size()));
    std::string_view rest;
    const std::string_view keyword = FirstWord(line, rest);
    if (rest.empty() || IsOneOf(keyword, {"INDEX", "TRACK", "FLAGS", "PREGAP", "POSTGAP", "ISRC", "CATALOG"})) {
      continue;
    }
    if (EqualsUpper(keyword, "REM")) {
      std::string_view value;
      const std::string_view field = FirstWord(rest, value);
      if (value.empty() || IsOneOf(field, {"DISCID", "DATE", "COMMENT", "REPLAYGAIN_ALBUM_GAIN",
                                           "REPLAYGAIN_ALBUM_PEAK", "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK"})) {
        continue;
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
  const std::string values = CueSheetValues(bytes);
  choice.detected = DetectCharset(values);
  choice.detectedCodePage = WindowsCodePageOf(choice.detected);
  if (!IsDoubleByte(choice.detectedCodePage) && AllCapitals(values)) {
    const std::string lowered = DetectCharset(Lowered(values));
    if (WindowsCodePageOf(lowered) != 0) {
      choice.detected = lowered;
      choice.detectedCodePage = WindowsCodePageOf(lowered);
    }
  }
  const uint32_t detected = choice.detectedCodePage;
  std::u16string detectedText;
  const bool detectedReads = detected != 0 && platform::DecodeCodePage(bytes, detected, detectedText) &&
                             !HasUndefined(detectedText);

  // The order breaks ties: the system's code page before a neighbour of the
  // same script, the detector's answer before one of another script.
  std::vector<uint32_t> candidates;
  const bool neighbours = FamilyOf(detected) == FamilyOf(systemCodePage) && FamilyOf(detected) != Family::kOther;
  if (detected != 0 && !neighbours) candidates.push_back(detected);
  candidates.push_back(systemCodePage);
  if (detected != 0 && neighbours) candidates.push_back(detected);
  candidates.insert(candidates.end(), std::begin(kSingleByteCodePages), std::end(kSingleByteCodePages));
  // The detector tells the East Asian code pages apart well; they are tried
  // without it only when it has no usable answer.
  if (!detectedReads) candidates.insert(candidates.end(), std::begin(kDoubleByteCodePages), std::end(kDoubleByteCodePages));

  std::u16string best;
  int bestScore = 0;
  uint32_t bestCodePage = 0;
  std::vector<uint32_t> tried;
  for (const uint32_t codePage : candidates) {
    if (std::find(tried.begin(), tried.end(), codePage) != tried.end()) continue;
    tried.push_back(codePage);
    std::u16string text;
    if (codePage == detected) {
      if (!detectedReads) continue;
      text = detectedText;
    } else if (!platform::DecodeCodePage(bytes, codePage, text) || HasUndefined(text)) {
      continue;
    }
    const int score = Implausibility(text);
    if (bestCodePage == 0 || score < bestScore) {
      best = std::move(text);
      bestScore = score;
      bestCodePage = codePage;
    }
  }
  if (bestCodePage == 0) {
    choice.codePage = platform::AnsiCodePageNumber();
    choice.reason = CodePageReason::kFallback;
    return ToWideString(bytes, platform::CodePage::kAnsi);
  }
  choice.codePage = bestCodePage;
  choice.reason = bestCodePage == detected         ? CodePageReason::kDetected
                  : bestCodePage == systemCodePage ? CodePageReason::kSystem
                                                   : CodePageReason::kMostPlausible;
  return best;
}

std::u16string DecodeTagText(std::string_view bytes, TagCodePage* codePage) {
  TagCodePage found;
  found.used = !bytes.empty() && bytes[0] != '\0' && !IsUtf8Text(CountUtf8(bytes));
  std::u16string text = found.used ? DecodeLegacyText(bytes, platform::AnsiCodePageNumber(), found.choice)
                                   : ToWideString(bytes, platform::CodePage::kUtf8);
  if (codePage != nullptr) *codePage = std::move(found);
  return text;
}
