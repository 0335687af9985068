// Conversion cases that hold on Windows and in the native build alike: the
// native build stands in for Windows' UTF-8 decoder and for code page 1252.
#pragma once

#include <string>

struct DecodeCase {
  const char* name;
  std::string bytes;  // converted with their exact count
  std::u16string expected;
};

// UTF-8 as MultiByteToWideChar decodes it with no flags: each malformed
// sequence becomes one U+FFFD, and the rest is still converted. A malformed
// sequence takes its bytes up to the one that shows it malformed, and one cut
// off by the end of the text takes the rest of the text.
inline const DecodeCase kUtf8Cases[] = {
    {"Ascii", "CUESHEET", u"CUESHEET"},
    {"TwoBytes", "\xC3\xA9", u"\u00E9"},
    {"ThreeBytes", "\xE6\x9D\xB1\xE4\xBA\xAC", u"\u6771\u4EAC"},
    {"FourBytesGiveSurrogatePair", "\xF0\x9F\x8E\xB5", u"\U0001F3B5"},
    {"EmbeddedNulsConverted", std::string("a\0b\0", 4), std::u16string(u"a\0b\0", 4)},
    {"ByteOrderMarkKept", "\xEF\xBB\xBF" "a", u"\uFEFFa"},
    {"LoneContinuationByte", "a\x80" "b", u"a\uFFFDb"},
    {"TruncatedAtEnd", "ab\xE6\x9D", u"ab\uFFFD"},
    {"TruncatedBeforeAscii", "\xE6\x9D" "a", u"\uFFFDa"},
    {"Windows1252Letters", "Caf\xE9 M\xFCller", u"Caf\uFFFD M\uFFFDller"},
    {"OverlongTwoBytes", "\xC0\xAF", u"\uFFFD\uFFFD"},
    {"CutOffSequenceTakesTheRest", "a\xF0" "bc", u"a\uFFFD"},
    {"NoContinuationByteLeftForNext", "\xE6" "ab", u"\uFFFDab"},
    {"OverlongThreeBytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD"},
    {"OverlongFourBytes", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD"},
    {"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD"},
    {"AboveLastCodePoint", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
    {"NeverALeadByte", "\xF5\xFF" "a", u"\uFFFD\uFFFDa"},
};

// Code page 1252, including the five bytes it leaves undefined, which map to
// the C1 controls of the same value.
inline const DecodeCase kWindows1252Cases[] = {
    {"Ascii", "CUESHEET", u"CUESHEET"},
    {"Utf8BytesReadAsTwoLetters", "\xC3\xA9", u"\u00C3\u00A9"},
    {"EuroSign", "\x80", u"\u20AC"},
    {"QuotesAndDashes", "\x93\x94\x96\x97", u"\u201C\u201D\u2013\u2014"},
    {"LastOfTheHighTable", "\x9F", u"\u0178"},
    {"UndefinedBytes", "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
    {"Latin1Half", "\xA0\xE9\xFF", u"\u00A0\u00E9\u00FF"},
    {"EmbeddedNul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
};
