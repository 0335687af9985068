// What the integration tests share: where the plug-in and the test files are.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

namespace integration {

// A file beside the test executable, such as gen_Sheetwalk.dll.
inline std::wstring BesideExecutable(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

// A file in the folder that the environment variable names as a Unix path,
// as a Windows path (Wine's Z: drive is the root).
inline std::wstring FolderFile(const char* variable, const std::wstring& name) {
  const char* folder = std::getenv(variable);
  std::wstring path = L"Z:";
  for (const char* c = folder != nullptr ? folder : ""; *c != '\0'; ++c) path += *c == '/' ? L'\\' : wchar_t(*c);
  return path + L"\\" + name;
}

}  // namespace integration
