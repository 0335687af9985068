// The cue file beside an audio file: the same path up to the last dot of its
// file name, then "cue".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sources/cue_text_source.h"
#include "text/code_page_detection.h"

// The cue path for an audio path: the path up to the last dot of its file
// name, then "cue"; for a file name without a dot, the whole path and ".cue"
// (a dot in a folder name never counts). False for a null or empty path.
bool GetSideCuePath(const char16_t* audioPath, std::u16string& cuePath);

// The cue file named after the whole file name: "album.flac.cue" beside
// "album.flac". False for a null or empty path, and for a file name without
// a dot, whose one cue file GetSideCuePath names.
bool GetWholeNameCuePath(const char16_t* audioPath, std::u16string& cuePath);

enum class CueTextEncoding {
  kUtf8,
  kUtf8WithBOM,
  kUtf16LE,
  kUtf16BE,
  kUtf16LEWithoutBOM,
  kUtf16BEWithoutBOM,
  kCodePage,  // an 8-bit code page, chosen as `codePage` tells
};

// How a cue file's bytes were decoded, and the counts that chose between
// UTF-8 and an 8-bit code page (both 0 for UTF-16).
struct SideCueDecoding {
  CueTextEncoding encoding = CueTextEncoding::kUtf8;
  uint32_t invalidBytes = 0;    // bytes that are part of no valid UTF-8 character
  uint32_t validMultiByte = 0;  // valid UTF-8 characters of two to four bytes
  CodePageChoice codePage;      // kCodePage
};

// Decodes the bytes of a cue file: UTF-16 after a byte order mark FF FE or
// FE FF; UTF-8 after a UTF-8 byte order mark, which is dropped; UTF-16 where
// zero bytes show it without a mark; otherwise UTF-8, unless the bytes that
// are part of no valid UTF-8 character outnumber the valid characters of two
// bytes or more: then the 8-bit code page that DecodeLegacyText chooses on a
// system whose ANSI code page is `systemCodePage`. So a UTF-8 file with a
// stray byte stays UTF-8 (the byte becomes U+FFFD), and a file written in a
// code page, where almost every letter above ASCII is invalid UTF-8, is read
// in that code page. `decoding` may be null.
std::u16string DecodeSideCueText(const char* bytes, size_t size, uint32_t systemCodePage,
                                 SideCueDecoding* decoding = nullptr);

// The same on this system.
std::u16string DecodeSideCueText(const char* bytes, size_t size, SideCueDecoding* decoding = nullptr);

// Reads the cue file at `cuePath` whole and decodes it. Absent when there is
// no such file (a folder of that name is none), or it is larger than
// kCueTextLimit (then only its size is taken) or too large for the memory
// left; unreadable when it cannot be opened or its size taken, or it is read
// short.
// `decoding` (may be null) learns how the text was decoded, and is written
// only when the outcome is kFound.
CueTextOutcome ReadCueFile(const char16_t* cuePath, std::u16string& text, SideCueDecoding* decoding = nullptr);

// The cue file beside `audioPath`: the one named like the audio file without
// its extension, or where that is absent, the one named after the whole name.
CueTextOutcome ReadSideCueText(const char16_t* audioPath, std::u16string& text,
                               SideCueDecoding* decoding = nullptr);
