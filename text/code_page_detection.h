// The code page of cue text that is neither UTF-8 nor UTF-16: most cue files
// were written by rippers in the ANSI code page of the system they ran on,
// which need not be the code page of the system that plays them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How an 8-bit code page was chosen.
enum class CodePageReason {
  kDetected,      // the detector's answer reads the text best
  kSystem,        // the system's code page reads it as well as any other
  kMostPlausible, // another code page reads it better than the detector's answer
  kFallback,      // no code page reads it cleanly: the system's, as it comes
};

struct CodePageChoice {
  uint32_t codePage = 0;          // the code page the text was read in
  std::string detected;           // the detector's answer ("" for none)
  uint32_t detectedCodePage = 0;  // the Windows code page of that answer, 0 for none
  CodePageReason reason = CodePageReason::kFallback;
};

struct Utf8Counts {
  uint32_t invalidBytes = 0;    // bytes that are part of no valid UTF-8 character
  uint32_t validMultiByte = 0;  // valid UTF-8 characters of two to four bytes
};

// Strict UTF-8: no overlong forms, surrogates or code points above U+10FFFF.
// An invalid byte is counted alone, so the count resynchronises at the next
// character.
Utf8Counts CountUtf8(std::string_view bytes);

// Text is taken as UTF-8 unless the bytes that are part of no valid UTF-8
// character outnumber its characters of two bytes or more: one stray byte
// must not turn every other letter into mojibake.
inline bool IsUtf8Text(const Utf8Counts& counts) { return counts.invalidBytes <= counts.validMultiByte; }

// What the detector is given of a cue sheet: the values of its lines (titles,
// performers, file names, the values of REM lines), one a line, without the
// keywords, quotes, times, numbers and ripper comments that every sheet holds.
// Lines end at LF, CR or both.
std::string CueSheetValues(std::string_view bytes);

// The detector's answer for `text`: a character set name such as
// "WINDOWS-1251" or "SHIFT_JIS", or "" for none.
std::string DetectCharset(std::string_view text);

// The Windows code page of a detector's answer (ISO and DOS answers read as
// the Windows code page of the same script), 0 for none.
uint32_t WindowsCodePageOf(std::string_view answer);

// Reads 8-bit text in the code page that suits it best on a system whose ANSI
// code page is `systemCodePage`. The detector is asked about the values of
// the sheet, and again in small letters when the letters beyond ASCII are
// all capitals; its answers, the system's code page and the other
// single-byte code pages (the East Asian ones too when no answer of the
// detector reads cleanly) read the values of the lines beyond ASCII, and the
// reading that looks most like words of one script and language, spelled by
// its rules, is chosen. On a tie the system's code page wins over a
// neighbour of the same script (a sheet the user ripped on this system never
// reads worse), and the detector's answer over one of another script. A text
// of more than 64 KiB is judged by a sample spread over it. The chosen code
// page must read the whole text cleanly, else the next best is taken; when
// none does, the text is read in the system's code page as it comes.
std::u16string DecodeLegacyText(std::string_view bytes, uint32_t systemCodePage, CodePageChoice& choice);

// Whether tag text was read in an 8-bit code page, and which.
struct TagCodePage {
  bool used = false;
  CodePageChoice choice;
};

// Tag text (an APEv2 value, a FLAC comment): UTF-8 by the tag formats, unless
// the bytes are no UTF-8 by the rule of IsUtf8Text (some old taggers wrote
// the ANSI code page); then as DecodeLegacyText with the system's code page.
// `codePage` may be null.
std::u16string DecodeTagText(std::string_view bytes, TagCodePage* codePage = nullptr);
