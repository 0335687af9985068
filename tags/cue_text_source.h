// What one place that may hold a file's cue sheet gave; the lookup tries the
// places in a fixed order.
#pragma once

#include <string>

enum class CueTextOutcome {
  kFound,       // `text` holds the cue text
  kAbsent,      // the place was read and holds no cue text
  kUnreadable,  // the place could not be read; another try may find text
};

