// What the process has read so far, from every file: rchar of /proc/self/io
// (reading it is itself a read of a few hundred bytes). 0 where the system
// does not say.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace bytes_read {

inline uint64_t ProcessBytesRead() {
  std::ifstream io("/proc/self/io");
  std::string field;
  uint64_t value = 0;
  while (io >> field >> value) {
    if (field == "rchar:") return value;
  }
  return 0;
}

}  // namespace bytes_read
