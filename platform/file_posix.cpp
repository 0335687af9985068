#include "platform/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "platform/file_name_posix.h"
#include "platform/storage_call.h"

namespace platform {
namespace {

bool ToFileName(const char16_t* path, std::string& name) {
  name = FileNameFromPath(path);
  return !name.empty();
}

// The upper case of one UTF-16 unit, as Windows folds names for an ordinal
// comparison that ignores case, for the scripts whose letters pair in fixed
// steps: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic. Other units
// stay as they are.
char16_t FoldUnit(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
    const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (oddPairs ? (c % 2 == 0) : (c % 2 == 1)) return static_cast<char16_t>(c - 1);
    return c;
  }
  if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
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
  BeginStorageCall();
  const int descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat info;
  if (descriptor >= 0 && (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode))) {
    close(descriptor);
    EndStorageCall();
    return false;
  }
  descriptor_ = descriptor;  // closed by the destructor, however the call ends
  EndStorageCall();
  if (descriptor < 0) {
    return false;
  }
#if defined(POSIX_FADV_RANDOM)
  if (access == FileAccess::kRandomAccess) {
    posix_fadvise(descriptor, 0, 0, POSIX_FADV_RANDOM);
  }
#else
  (void)access;
#endif
  return true;
}

bool File::IsOpen() const { return descriptor_ >= 0; }

bool File::GetSize(uint64_t& size) {
  struct stat info;
  if (descriptor_ < 0) {
    return false;
  }
  BeginStorageCall();
  const bool known = fstat(descriptor_, &info) == 0;
  EndStorageCall();
  if (!known || info.st_size < 0) {
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
  bool failed = false;
  BeginStorageCall();
  while (done < count) {
    const ssize_t got = pread(descriptor_, out + done, count - done,
                              static_cast<off_t>(position_ + done));
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      failed = got < 0;
      break;
    }
    done += static_cast<uint32_t>(got);
  }
  EndStorageCall();
  if (failed) {
    return false;
  }
  position_ += done;
  bytesRead = done;
  return true;
}

namespace {

FileStamp StampOf(const struct stat& info) {
  FileStamp stamp;
  stamp.exists = true;
  stamp.directory = S_ISDIR(info.st_mode);
  stamp.size = static_cast<uint64_t>(info.st_size);
  stamp.lastWrite = static_cast<uint64_t>(info.st_mtim.tv_sec) * 1000000000u + static_cast<uint64_t>(info.st_mtim.tv_nsec);
  return stamp;
}

}  // namespace

bool GetFileStamp(const char16_t* path, FileStamp& stamp) {
  stamp = FileStamp{};
  std::string name;
  if (path == nullptr || !ToFileName(path, name)) {
    return false;
  }
  struct stat info;
  BeginStorageCall();
  const bool queried = stat(name.c_str(), &info) == 0;
  const int error = queried ? 0 : errno;
  EndStorageCall();
  if (!queried) {
    return error == ENOENT || error == ENOTDIR;
  }
  stamp = StampOf(info);
  return true;
}

bool ListFolder(const char16_t* folder, const std::function<void(const FolderEntry& entry)>& visit,
                uint32_t* error, std::u16string_view extension) {
  const auto failed = [error](int number) {
    if (error != nullptr) *error = static_cast<uint32_t>(number);
    return false;
  };
  std::string name;
  if (folder == nullptr || !ToFileName(folder, name)) {
    return failed(ENOENT);
  }
  BeginStorageCall();
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(name.c_str()), &closedir);
  if (listing == nullptr) {
    const int number = errno;
    EndStorageCall();
    return failed(number);
  }
  errno = 0;
  while (const dirent* entry = readdir(listing.get())) {
    const std::string_view entryName(entry->d_name);
    if (entryName == "." || entryName == "..") {
      continue;
    }
    // Each entry's attributes are asked for as GetFileStamp asks, following
    // links; a link that leads nowhere counts as a file that is not there.
    FolderEntry found;
    const std::u16string entryPath = PathFromFileName(entryName);
    if (entryPath.size() < extension.size() ||
        CompareFileNames(std::u16string_view(entryPath).substr(entryPath.size() - extension.size()), extension) != 0) {
      errno = 0;
      continue;
    }
    found.name = entryPath;
    struct stat info;
    if (fstatat(dirfd(listing.get()), entry->d_name, &info, 0) == 0) {
      found.kind = S_ISDIR(info.st_mode) ? EntryKind::kFolder : S_ISREG(info.st_mode) ? EntryKind::kFile : EntryKind::kOther;
      found.stamp = StampOf(info);
    }
    visit(found);
    errno = 0;
  }
  const int number = errno;
  EndStorageCall();
  return number == 0 || failed(number);
}

int CompareFileNames(std::u16string_view a, std::u16string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t x = FoldUnit(a[i]);
    const char16_t y = FoldUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

std::string FileNameForLibrary(const char16_t* path) {
  return path != nullptr ? FileNameFromPath(path) : std::string();
}

bool GetShortPath(const char16_t*, std::u16string&) {
  return false;
}

}  // namespace platform
