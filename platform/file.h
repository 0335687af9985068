// Files by wide path: the plug-in opens, reads and closes a file within one call.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

enum class FileAccess {
  kSequential,    // no hint: the whole file is read front to back
  kRandomAccess,  // a tag at the end is reached by seeking
};

// An open file, read-only and shared for reading and writing with others,
// closed by the destructor. Every operation on a file that did not open fails.
class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file; false when the path is null or the file cannot
  // be opened. Natively a FIFO or a device is never opened: only a regular
  // file counts. A file that is already open is closed first.
  bool Open(const char16_t* path, FileAccess access);
  bool IsOpen() const;

  // The size in bytes, 64 bits wide: tags at the end of files of 4 GiB and
  // more are read too.
  bool GetSize(uint64_t& size);

  // Moves the read position to an offset from the start of the file.
  bool Seek(uint64_t offset);

  // One read at the current position; `bytesRead` may come back smaller than
  // `count` at the end of the file. False only when the read itself failed.
  bool Read(void* buffer, uint32_t count, uint32_t& bytesRead);

 private:
#if defined(_WIN32)
  void* handle_ = nullptr;  // INVALID_HANDLE_VALUE is kept as null
#else
  int descriptor_ = -1;
  uint64_t position_ = 0;
#endif
};

// What one attribute query tells of a path, without opening it.
struct FileStamp {
  bool exists = false;      // false: no such file or folder
  bool directory = false;
  uint64_t size = 0;
  uint64_t lastWrite = 0;   // in the file system's own units

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// One attribute query. False when the query failed for another reason than
// a missing path (no permission on the folder, a network error): then
// nothing is known of the file.
bool GetFileStamp(const char16_t* path, FileStamp& stamp);

// The 8-bit name under which a library that takes UTF-8 file names (libFLAC
// from 1.4 on, and every native libFLAC) opens the file at `path`: UTF-8 on
// Windows, natively the name's own bytes (a name need not be UTF-8 there).
// Empty for a null or empty path.
std::string FileNameForLibrary(const char16_t* path);

// The short (8.3) form of an existing file's path, where the file system has
// one; false where it has none or the path cannot be shortened.
bool GetShortPath(const char16_t* path, std::u16string& shortPath);

// What a folder entry is. A link counts as what it leads to, and a link
// that leads nowhere as a file; kOther is a device, a FIFO or a socket.
enum class EntryKind { kFile, kFolder, kOther };

// One entry of a folder listing. `stamp` is what an attribute query of the
// entry's path would say, taken from the listing itself: a search that
// watches the entry needs no query of its own. The name is valid only during
// the visit.
struct FolderEntry {
  std::u16string_view name;
  EntryKind kind = EntryKind::kFile;
  FileStamp stamp;
};

// Lists the entries of the folder at `folder` (a path with or without the
// trailing separator, or "." for the current folder), "." and ".." left
// out, in the file system's own order. `visit` is called once per entry.
// With an `extension` (".cue"), only names that end with it, compared as
// file names are, are visited, and the system looks only those up: in a
// folder of thousands of files that is most of the listing's cost. On
// Windows a name whose short (8.3) form has the extension may come too.
// False when the folder cannot be listed, with the system's error number
// (errno, or what GetLastError gave) in `error` where one is asked for.
bool ListFolder(const char16_t* folder, const std::function<void(const FolderEntry& entry)>& visit,
                uint32_t* error = nullptr, std::u16string_view extension = {});

// Whether `c` separates the names of a path: a backslash or a slash on
// Windows; natively only a slash, where a backslash is a character of a file
// name like any other.
bool IsPathSeparator(char16_t c);

// The last name of `path`: what follows its last separator.
inline std::u16string_view FileNameOf(std::u16string_view path) {
  std::size_t at = path.size();
  while (at > 0 && !IsPathSeparator(path[at - 1])) --at;
  return path.substr(at);
}

// Compares two file names as Windows does: ordinal, ignoring letter case.
// Negative, zero or positive, as `a` sorts before, with or after `b`.
int CompareFileNames(std::u16string_view a, std::u16string_view b);

}  // namespace platform
