#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/file_name_posix.h"

namespace platform {
namespace {

bool ToFileName(const char16_t* path, std::string& name) {
  name = FileNameFromPath(path);
  return !name.empty();
}

}  // namespace

File::~File() {
  if (descriptor_ >= 0) {
    close(descriptor_);
  }
}

bool File::Open(const char16_t* path, FileAccess access) {
  if (descriptor_ >= 0) {
    close(descriptor_);
    descriptor_ = -1;
  }
  position_ = 0;
  std::string name;
  if (path == nullptr || !ToFileName(path, name)) {
    return false;
  }
  // Not blocking: opening a FIFO for reading would wait for a writer. Only
  // regular files are read; for them the flag changes nothing.
  const int descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) {
    return false;
  }
  struct stat info;
  if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(descriptor);
    return false;
  }
#if defined(POSIX_FADV_RANDOM)
  if (access == FileAccess::kRandomAccess) {
    posix_fadvise(descriptor, 0, 0, POSIX_FADV_RANDOM);
  }
#else
  (void)access;
#endif
  descriptor_ = descriptor;
  return true;
}

bool File::IsOpen() const { return descriptor_ >= 0; }

bool File::GetSize(uint64_t& size) {
  struct stat info;
  if (descriptor_ < 0 || fstat(descriptor_, &info) != 0 || info.st_size < 0) {
    return false;
  }
  size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool File::Seek(uint64_t offset) {
  if (descriptor_ < 0 || offset > static_cast<uint64_t>(INT64_MAX)) {
    return false;
  }
  position_ = offset;
  return true;
}

bool File::Read(void* buffer, uint32_t count, uint32_t& bytesRead) {
  bytesRead = 0;
  if (descriptor_ < 0) {
    return false;
  }
  // Like ReadFile on a disk file: short only at the end of the file.
  auto* out = static_cast<unsigned char*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t got = pread(descriptor_, out + done, count - done,
                              static_cast<off_t>(position_ + done));
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    if (got == 0) {
      break;
    }
    done += static_cast<uint32_t>(got);
  }
  position_ += done;
  bytesRead = done;
  return true;
}

bool GetFileStamp(const char16_t* path, FileStamp& stamp) {
  stamp = FileStamp{};
  std::string name;
  if (path == nullptr || !ToFileName(path, name)) {
    return false;
  }
  struct stat info;
  if (stat(name.c_str(), &info) != 0) {
    return errno == ENOENT || errno == ENOTDIR;
  }
  stamp.exists = true;
  stamp.directory = S_ISDIR(info.st_mode);
  stamp.size = static_cast<uint64_t>(info.st_size);
  stamp.lastWrite = static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000u + static_cast<uint64_t>(info.st_mtim.tv_nsec);
  return true;
}

std::string FileNameForLibrary(const char16_t* path) {
  return path != nullptr ? FileNameFromPath(path) : std::string();
}

bool GetShortPath(const char16_t*, std::u16string&) {
  return false;
}

}  // namespace platform
