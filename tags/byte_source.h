// Bytes at offsets, from an open file or from memory: a reader written
// against this runs the same over a file as over a buffer in a test or a
// fuzz target.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/file.h"

class ByteSource {
 public:
  virtual bool GetSize(uint64_t& size) = 0;

  // Reads up to `count` bytes at `offset` into `buffer`. `bytesRead` comes
  // back smaller than `count` only at the end of the source; false only when
  // the read itself failed.
  virtual bool Read(uint64_t offset, void* buffer, uint32_t count, uint32_t& bytesRead) = 0;

 protected:
  ByteSource() = default;
  ~ByteSource() = default;
};

// Reads `file`, which the caller keeps open for the source's whole life.
class FileByteSource final : public ByteSource {
 public:
  explicit FileByteSource(platform::File& file) : file_(file) {}
  bool GetSize(uint64_t& size) override;
  bool Read(uint64_t offset, void* buffer, uint32_t count, uint32_t& bytesRead) override;

 private:
  platform::File& file_;
};

// Reads `bytes`, borrowed for the source's whole life.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::string_view bytes) : bytes_(bytes) {}
  bool GetSize(uint64_t& size) override;
  bool Read(uint64_t offset, void* buffer, uint32_t count, uint32_t& bytesRead) override;

 private:
  std::string_view bytes_;
};
