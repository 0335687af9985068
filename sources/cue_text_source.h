// What one place that may hold a file's cue sheet gave; the lookup tries the
// places in a fixed order.
#pragma once

#include <cstdint>
#include <string>

enum class CueTextOutcome {
  kFound,       // `text` holds the cue text
  kAbsent,      // the place was read and holds no cue text, or none that
                // its reader takes (damaged, or over kCueTextLimit)
  kUnreadable,  // a file could not be opened or read; another try may find text
};

// The most bytes of cue text taken from any place: an APEv2 item, a FLAC
// comment or a cue file beyond it counts as absent and is not read. Real
// cue sheets take a few KiB; the limit keeps a hostile file from filling
// the memory of the 32-bit player.
constexpr uint32_t kCueTextLimit = 4 * 1024 * 1024;

