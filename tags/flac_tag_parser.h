// The FLAC reader: Vorbis comments of a FLAC file, read through libFLAC,
// which is loaded on first use and kept for the life of the process.
#pragma once

#include <cstdint>
#include <string>

#include "tags/cue_text_source.h"
#include "tags/tag_parser.h"

class CFLACTagParser final : public CTagParser {
 public:
  // False when libFLAC is not available (on this and every later call of the
  // process) or cannot read the file's comment block. The item map is not
  // emptied first: a reader object reads one file.
  bool Parse(const char16_t* path) override;
};

// The CUESHEET comment of a FLAC file.
CueTextOutcome ReadFLACCueText(const char16_t* path, std::u16string& text);

// Stores one comment, `length` bytes of UTF-8 of the form KEY=value, as
// libFLAC hands it over: the key before the first '=' upper-cased, the value
// after it up to a NUL character. Empty comments and comments without '='
// are skipped. True when an item was stored.
bool AddFLACComment(const unsigned char* bytes, uint32_t length, TagItems& items);

// How libFLAC's Windows build takes 8-bit file names, by the version text it
// exports: 1.3.0 and 1.3.1 and from 1.4.0 on UTF-8, 1.3.2 to 1.3.4 and up to
// 1.2 the ANSI code page. Text that names no known release (null, builds from
// source control) gives kUtf8ThenAnsi.
// The 8-bit name in the system's ANSI code page that libFLAC releases taking
// ANSI names are given: the path's own, or where that loses characters the
// code page lacks, its short (8.3) form. False when neither names the file.
bool GetFLACAnsiFileName(const char16_t* path, std::string& name);

enum class FLACFileNameEncoding { kUtf8, kAnsi, kUtf8ThenAnsi };
FLACFileNameEncoding GetFLACFileNameEncoding(const char* versionText);
