#include <windows.h>

#include <conio.h>

#include "inspect/system.h"
#include "platform/library.h"
#include "platform/utf16_view_win.h"
#include "tags/text_conversion.h"

namespace inspect {
namespace {

void Write(DWORD which, std::u16string_view text) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(handle, &mode)) {
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

}  // namespace

void WriteOutput(std::u16string_view text) { Write(STD_OUTPUT_HANDLE, text); }
void WriteError(std::u16string_view text) { Write(STD_ERROR_HANDLE, text); }

// A program started from a command prompt shares the prompt's console; one
// started from Explorer is the only process on a console made for it.
bool OwnsConsole() {
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;
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
  const HANDLE file = CreateFileW(platform::AsWide(path.c_str()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_ACCESS_DENIED ? InputState::kNoPermission : InputState::kUnreadable;
  }
  CloseHandle(file);
  return InputState::kReadable;
}

// In the plug-in's folder under the player's Plugins folder, the player's own
// libFLAC.dll lies two folders up, beside the player's program.
void PreloadFLAC(std::vector<std::u16string>& candidates) {
  const std::u16string own = ProgramFolder();
  candidates = {own + u"libFLAC.dll"};
  if (own.size() > 1) {
    std::u16string up = own.substr(0, own.find_last_of(u"\\/", own.size() - 2) + 1);
    if (up.size() > 1) {
      up = up.substr(0, up.find_last_of(u"\\/", up.size() - 2) + 1);
      if (!up.empty()) candidates.push_back(up + u"libFLAC.dll");
    }
  }
  for (const std::u16string& candidate : candidates) {
    if (LoadLibraryExW(platform::AsWide(candidate.c_str()), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) != nullptr) return;
  }
}

}  // namespace inspect

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(platform::AsUtf16(argv[i]));
  const int status = inspect::Run(arguments);
  if (inspect::OwnsConsole()) inspect::WaitForKey();
  return status;
}
