// What one place that may hold a file's cue sheet gave: the lookup tries the
// places in a fixed order, each a function of this shape.
#pragma once

#include <string>

enum class CueTextOutcome {
  kFound,       // `text` holds the cue text
  kAbsent,      // the place was read and holds no cue text
  kUnreadable,  // the place could not be read; another try may find text
};

// Reads the cue text that one place holds for the audio file at `path`
// (NUL-terminated, borrowed). `text` is written only when the outcome is kFound.
using CueTextSource = CueTextOutcome (*)(const char16_t* path, std::u16string& text);
