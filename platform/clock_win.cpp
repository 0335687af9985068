#include "platform/clock.h"

#include <windows.h>

namespace platform {

uint64_t MonotonicMilliseconds() { return GetTickCount64(); }

}  // namespace platform
