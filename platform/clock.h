// A clock for spacing out repeated work, unaffected by changes of the
// wall-clock time.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an unspecified start, never going backwards.
uint64_t MonotonicMilliseconds();

}  // namespace platform
