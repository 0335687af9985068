#include "platform/file.h"

#include <windows.h>

#include <algorithm>
#include <climits>

#include "platform/code_page.h"
#include "platform/storage_call.h"
#include "platform/utf16_view_win.h"

namespace platform {

File::~File() {
  if (handle_ != nullptr) {
    CloseHandle(handle_);
  }
}

bool File::Open(const char16_t* path, FileAccess access) {
  if (handle_ != nullptr) {
    CloseHandle(handle_);
    handle_ = nullptr;
  }
  if (path == nullptr) {
    return false;
  }
  const DWORD flags = access == FileAccess::kRandomAccess ? FILE_FLAG_RANDOM_ACCESS : 0;
  BeginStorageCall();
  HANDLE handle = CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, flags, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    handle_ = handle;  // closed by the destructor, however the call ends
  }
  EndStorageCall();
  return handle_ != nullptr;
}

bool File::IsOpen() const { return handle_ != nullptr; }

bool File::GetSize(uint64_t& size) {
  LARGE_INTEGER value;
  if (handle_ == nullptr) {
    return false;
  }
  BeginStorageCall();
  const bool known = GetFileSizeEx(handle_, &value) != 0;
  EndStorageCall();
  if (!known || value.QuadPart < 0) {
    return false;
  }
  size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool File::Seek(uint64_t offset) {
  if (handle_ == nullptr || offset > static_cast<uint64_t>(INT64_MAX)) {
    return false;
  }
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(handle_, distance, nullptr, FILE_BEGIN) != 0;
}

bool File::Read(void* buffer, uint32_t count, uint32_t& bytesRead) {
  bytesRead = 0;
  if (handle_ == nullptr) {
    return false;
  }
  DWORD done = 0;
  BeginStorageCall();
  const bool read = ReadFile(handle_, buffer, count, &done, nullptr) != 0;
  EndStorageCall();
  if (!read) {
    return false;
  }
  bytesRead = done;
  return true;
}

namespace {

// The same fields of an attribute query and of a folder listing give the
// same stamp, so that either can tell whether the other still holds.
FileStamp StampOf(DWORD attributes, DWORD sizeHigh, DWORD sizeLow, FILETIME lastWrite) {
  FileStamp stamp;
  stamp.exists = true;
  stamp.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  stamp.size = uint64_t{sizeHigh} << 32 | sizeLow;
  stamp.lastWrite = uint64_t{lastWrite.dwHighDateTime} << 32 | lastWrite.dwLowDateTime;
  return stamp;
}

}  // namespace

bool GetFileStamp(const char16_t* path, FileStamp& stamp) {
  stamp = FileStamp{};
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path == nullptr || *path == u'\0') {
    return false;
  }
  BeginStorageCall();
  const bool queried = GetFileAttributesExW(AsWide(path), GetFileExInfoStandard, &data) != 0;
  const DWORD error = queried ? ERROR_SUCCESS : GetLastError();
  EndStorageCall();
  if (!queried) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  stamp = StampOf(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime);
  return true;
}

std::string FileNameForLibrary(const char16_t* path) {
  return path != nullptr ? EncodeText(path, CodePage::kUtf8) : std::string();
}

bool GetShortPath(const char16_t* path, std::u16string& shortPath) {
  if (path == nullptr || *path == u'\0') {
    return false;
  }
  // The first call asks for the room, terminator included; the second fills
  // it and returns the length without the terminator.
  BeginStorageCall();
  const DWORD needed = GetShortPathNameW(AsWide(path), nullptr, 0);
  EndStorageCall();
  if (needed == 0) {
    return false;
  }
  std::u16string result(needed, u'\0');
  BeginStorageCall();
  const DWORD written =
      GetShortPathNameW(AsWide(path), AsWide(result.data()), needed);
  EndStorageCall();
  if (written == 0 || written >= needed) {
    return false;
  }
  result.resize(written);
  shortPath = std::move(result);
  return true;
}

namespace {

// Closes a search handle however the listing ends.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

bool ListFolder(const char16_t* folder, const std::function<void(const FolderEntry& entry)>& visit,
                uint32_t* error, std::u16string_view extension) {
  const auto failed = [error](DWORD number) {
    if (error != nullptr) *error = number;
    return false;
  };
  if (folder == nullptr || *folder == u'\0') {
    return failed(ERROR_PATH_NOT_FOUND);
  }
  std::u16string pattern(folder);
  if (pattern.back() != u'\\' && pattern.back() != u'/') {
    pattern += u'\\';
  }
  pattern += u'*';
  pattern += extension;
  // The basic information leaves out the short names, and the large fetch
  // asks for many entries per call: a folder of thousands of files takes a
  // few calls.
  WIN32_FIND_DATAW data;
  BeginStorageCall();
  const FindHandle find(FindFirstFileExW(AsWide(pattern.c_str()), FindExInfoBasic, &data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (find.get() == INVALID_HANDLE_VALUE) {
    const DWORD last = GetLastError();
    EndStorageCall();
    return last == ERROR_FILE_NOT_FOUND || failed(last);  // a drive's root may be empty
  }
  do {
    const std::u16string_view name(AsUtf16(data.cFileName));
    if (name == u"." || name == u"..") {
      continue;
    }
    // A junction or a link to a folder carries the folder attribute itself.
    FolderEntry entry;
    entry.name = name;
    entry.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::kFolder
                 : (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0  ? EntryKind::kOther
                                                                          : EntryKind::kFile;
    entry.stamp = StampOf(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime);
    visit(entry);
  } while (FindNextFileW(find.get(), &data));
  const DWORD last = GetLastError();
  EndStorageCall();
  return last == ERROR_NO_MORE_FILES || failed(last);
}

bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

int CompareFileNames(std::u16string_view a, std::u16string_view b) {
  // File names are far shorter than INT_MAX; longer text is compared by its
  // first INT_MAX units and then by length.
  if (a.empty() || b.empty()) {
    return a.empty() ? (b.empty() ? 0 : -1) : 1;
  }
  const int lengthA = static_cast<int>(std::min<std::size_t>(a.size(), INT_MAX));
  const int lengthB = static_cast<int>(std::min<std::size_t>(b.size(), INT_MAX));
  switch (CompareStringOrdinal(AsWide(a.data()), lengthA, AsWide(b.data()), lengthB, TRUE)) {
    case CSTR_LESS_THAN: return -1;
    case CSTR_GREATER_THAN: return 1;
    case CSTR_EQUAL: return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    default: return a.compare(b);  // the call failed: ordinal, with case
  }
}

}  // namespace platform
