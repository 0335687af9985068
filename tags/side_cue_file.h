// The cue file beside an audio file: the same path up to its last dot, then
// "cue".
#pragma once

#include <cstddef>
#include <string>

#include "tags/cue_text_source.h"

// The cue path for an audio path; false for a null or empty path or a path
// with no dot anywhere (a dot in a folder name counts).
bool GetSideCuePath(const char16_t* audioPath, std::u16string& cuePath);

// The cue file named after the whole file name: "album.flac.cue" beside
// "album.flac". False for a null or empty path.
bool GetWholeNameCuePath(const char16_t* audioPath, std::u16string& cuePath);

// Decodes the bytes of a cue file: UTF-16 after a byte order mark FF FE or
// FE FF; UTF-8 after a UTF-8 byte order mark, which is dropped; otherwise
// UTF-8 when the bytes are valid UTF-8 and the ANSI code page when not.
std::u16string DecodeSideCueText(const char* bytes, size_t size);

// Reads the cue file at `cuePath` whole and decodes it. Absent when there is
// no such file (a folder of that name is none); unreadable when it cannot be
// opened or its size taken, it is too large to hold, or it is read short.
CueTextOutcome ReadCueFile(const char16_t* cuePath, std::u16string& text);

// The cue file beside `audioPath`: the one named like the audio file without
// its extension, or where that is absent, the one named after the whole name.
CueTextOutcome ReadSideCueText(const char16_t* audioPath, std::u16string& text);
