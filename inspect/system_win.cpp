#include <windows.h>

#include <conio.h>

#include <string>

#include "inspect/system.h"
#include "platform/library.h"
#include "platform/utf16_view_win.h"
#include "plugin/version_resource.h"
#include "text/text_conversion.h"

namespace inspect {
namespace {

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  const HANDLE handle = GetStdHandle(which);
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

void Write(DWORD which, std::u16string_view text) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  if (IsConsole(which)) {
    WriteConsoleW(handle, platform::AsWide(text.data()), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::string bytes = ToUtf8String(text);
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The folder of the running program, with a trailing separator.
std::u16string ProgramFolder() {
  std::u16string path;
  if (!platform::GetLibraryPath(GetModuleHandleW(nullptr), path)) return {};
  return path.substr(0, path.find_last_of(u"\\/") + 1);
}

std::u16string Number(unsigned long value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace

const char16_t kPathSeparator = u'\\';

bool NameUnreachable(std::u16string_view name) {
  return !name.empty() && name != u"." && name != u".." && (name.back() == u'.' || name.back() == u' ');
}

std::u16string EntryPath(const std::u16string& prefix, const std::u16string& name) {
  constexpr std::u16string_view kExact = u"\\\\?\\";
  if (prefix.starts_with(kExact) || !NameUnreachable(name)) return prefix + name;
  const std::u16string folder = prefix.empty() ? std::u16string(u".") : prefix;
  const DWORD size = GetFullPathNameW(platform::AsWide(folder.c_str()), 0, nullptr, nullptr);
  if (size == 0) return prefix + name;
  std::u16string full(size, u'\0');
  const DWORD written = GetFullPathNameW(platform::AsWide(folder.c_str()), size, platform::AsWide(full.data()), nullptr);
  if (written == 0 || written >= size) return prefix + name;
  full.resize(written);
  if (!full.ends_with(u'\\')) full += u'\\';
  // A share's path \\server\share takes the form \\?\UNC\server\share.
  if (full.starts_with(u"\\\\")) return u"\\\\?\\UNC\\" + full.substr(2) + name;
  return std::u16string(kExact) + full + name;
}

std::u16string ArgumentPath(const std::u16string& path) {
  std::size_t end = path.size();
  while (end > 0 && (path[end - 1] == u'\\' || path[end - 1] == u'/')) --end;
  const std::size_t start = path.find_last_of(u"\\/:", end == 0 ? 0 : end - 1);
  const std::size_t nameStart = start == std::u16string::npos ? 0 : start + 1;
  if (end <= nameStart || !NameUnreachable(std::u16string_view(path).substr(nameStart, end - nameStart))) return path;
  return EntryPath(path.substr(0, nameStart), path.substr(nameStart, end - nameStart));
}

void WriteOutput(std::u16string_view text) { Write(STD_OUTPUT_HANDLE, text); }
void WriteError(std::u16string_view text) { Write(STD_ERROR_HANDLE, text); }
bool OutputIsConsole() { return IsConsole(STD_OUTPUT_HANDLE); }
bool ErrorIsConsole() { return IsConsole(STD_ERROR_HANDLE); }

// A program started from a command prompt shares the prompt's console; one
// started from Explorer is the only process on a console made for it. A
// program that another starts with CREATE_NO_WINDOW also gets a console of
// its own, but no visible window; one whose output or input is redirected
// has no person reading that console.
bool StartedFromExplorer() {
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) != 1) return false;
  const HWND window = GetConsoleWindow();
  return window != nullptr && IsWindowVisible(window) && IsConsole(STD_OUTPUT_HANDLE) && IsConsole(STD_INPUT_HANDLE);
}

void WaitForKey() {
  WriteOutput(u"Press any key to close this window.\n");
  _getwch();
}

InputState CheckInput(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(platform::AsWide(path.c_str()));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return GetLastError() == ERROR_ACCESS_DENIED ? InputState::kNoPermission : InputState::kMissing;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return InputState::kDirectory;
  // Opened for its attributes only, a device or a pipe is not read; only a
  // file on a disk is opened for reading.
  const HANDLE probe = CreateFileW(platform::AsWide(path.c_str()), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                   nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(probe);
    CloseHandle(probe);
    if (type != FILE_TYPE_DISK) return InputState::kNotRegular;
  }
  const HANDLE file = CreateFileW(platform::AsWide(path.c_str()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_ACCESS_DENIED ? InputState::kNoPermission : InputState::kUnreadable;
  }
  CloseHandle(file);
  return InputState::kReadable;
}

// The system's message for an error number, without its line end.
std::u16string ErrorMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string message = u"Windows error " + Number(error);
  if (length > 0 && text != nullptr) {
    std::u16string words(platform::AsUtf16(text), length);
    while (!words.empty() && (words.back() == u'\n' || words.back() == u'\r' || words.back() == u' ' ||
                              words.back() == u'.')) {
      words.pop_back();
    }
    if (!words.empty()) message += u": " + words;
  }
  LocalFree(text);
  return message;
}

std::u16string OpenErrorText(const std::u16string& path) {
  if (CheckInput(path) == InputState::kNotRegular) return u"not a regular file";
  const HANDLE file = CreateFileW(platform::AsWide(path.c_str()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return {};
  }
  return ErrorMessage(GetLastError());
}

std::size_t ErrorConsoleWidth() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 80;
  const int width = info.srWindow.Right - info.srWindow.Left + 1;
  return width > 0 ? static_cast<std::size_t>(width) : 80;
}

std::u16string FolderErrorText(uint32_t error) {
  switch (error) {
    case ERROR_ACCESS_DENIED: return u"no permission to read it";
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND: return u"no such folder";
    default: return ErrorMessage(error);
  }
}

bool GetFolderIdentity(const std::u16string& folder, FolderIdentity& identity) {
  // Opening a folder for its attributes needs backup semantics; the handle
  // then stands for the folder a junction or link leads to.
  const HANDLE handle = CreateFileW(platform::AsWide(folder.c_str()), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  if (!known) return false;
  identity.volume = information.dwVolumeSerialNumber;
  identity.file = uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow;
  return true;
}

// In the plug-in's folder under the player's Plugins folder, the player's own
// libFLAC.dll lies two folders up, beside the player's program.
void PreloadFLAC(std::vector<FLACCandidate>& candidates) {
  const std::u16string own = ProgramFolder();
  candidates = {{own + u"libFLAC.dll", {}}};
  if (own.size() > 1) {
    std::u16string up = own.substr(0, own.find_last_of(u"\\/", own.size() - 2) + 1);
    if (up.size() > 1) {
      up = up.substr(0, up.find_last_of(u"\\/", up.size() - 2) + 1);
      if (!up.empty()) candidates.push_back({up + u"libFLAC.dll", {}});
    }
  }
  for (FLACCandidate& candidate : candidates) {
    const wchar_t* path = platform::AsWide(candidate.path.c_str());
    if (LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) != nullptr) return;
    const DWORD error = GetLastError();
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) continue;
    switch (error) {
      case ERROR_BAD_EXE_FORMAT:
        candidate.problem = sizeof(void*) == 8 ? u"it is there, but no library for a 64-bit program"
                                               : u"it is there, but no library for a 32-bit program";
        break;
      case ERROR_MOD_NOT_FOUND:
        candidate.problem = u"it is there, but a library that it needs is missing";
        break;
      default:
        candidate.problem = u"it is there, but could not be loaded (Windows error " + Number(error) + u")";
        break;
    }
  }
}

std::u16string VersionText() {
  std::u16string text;
  if (!ReadModuleDescription(GetModuleHandleW(nullptr), text)) return u"Sheetwalk (no version resource)";
  return text;
}

}  // namespace inspect

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(platform::AsUtf16(argv[i]));
  const int status = inspect::Run(arguments);
  if (inspect::StartedFromExplorer()) inspect::WaitForKey();
  return status;
}
