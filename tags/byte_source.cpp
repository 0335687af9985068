#include "tags/byte_source.h"

#include <algorithm>
#include <cstring>

bool FileByteSource::GetSize(uint64_t& size) { return file_.GetSize(size); }

bool FileByteSource::Read(uint64_t offset, void* buffer, uint32_t count, uint32_t& bytesRead) {
  bytesRead = 0;
  return file_.Seek(offset) && file_.Read(buffer, count, bytesRead);
}

bool MemoryByteSource::GetSize(uint64_t& size) {
  size = bytes_.size();
  return true;
}

bool MemoryByteSource::Read(uint64_t offset, void* buffer, uint32_t count, uint32_t& bytesRead) {
  bytesRead = 0;
  if (offset < bytes_.size()) {
    bytesRead = static_cast<uint32_t>(std::min<uint64_t>(count, bytes_.size() - offset));
    std::memcpy(buffer, bytes_.data() + offset, bytesRead);
  }
  return true;
}
