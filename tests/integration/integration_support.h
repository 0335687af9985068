// What the integration tests share: where the plug-in and the test files are,
// and the player with the real plug-in started.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/host_simulator/player_host.h"

namespace integration {

using host_simulator::BesideExecutable;
using host_simulator::ExecutablePath;

inline std::wstring PluginPath() { return BesideExecutable(L"gen_Sheetwalk.dll"); }

// A file in the folder that the environment variable names as a Unix path,
// as a Windows path (Wine's Z: drive is the root).
inline std::wstring FolderFile(const char* variable, const std::wstring& name) {
  const char* folder = std::getenv(variable);
  std::wstring path = L"Z:";
  for (const char* c = folder != nullptr ? folder : ""; *c != '\0'; ++c) path += *c == '/' ? L'\\' : wchar_t(*c);
  return path + L"\\" + name;
}

// The first bytes of a file, at most 4 KiB; empty where it cannot be read.
inline std::string ReadStart(const std::wstring& path) {
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text(4096, '\0');
  DWORD got = 0;
  if (!ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) got = 0;
  CloseHandle(file);
  text.resize(got);
  return text;
}

// This process's folder of Linux's /proc, as a Z: path: the process whose
// first argument is this program's own path. Wine opens files in its server,
// where /proc/self is the server. Empty where none is found.
inline std::wstring LinuxProcessFolder() {
  std::wstring own = ExecutablePath();
  if (own.rfind(L"Z:", 0) != 0) return {};
  std::string unixPath;
  for (const wchar_t c : own.substr(2)) unixPath += c == L'\\' ? '/' : static_cast<char>(c);
  WIN32_FIND_DATAW entry;
  const HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &entry);
  if (find == INVALID_HANDLE_VALUE) return {};
  // The first argument is the program's path as it was started, maybe
  // relative to the working folder: a full match wins over such a one.
  std::wstring exact;
  std::wstring relative;
  do {
    if (entry.cFileName[0] < L'0' || entry.cFileName[0] > L'9') continue;
    const std::wstring folder = std::wstring(L"Z:\\proc\\") + entry.cFileName;
    const std::string first = ReadStart(folder + L"\\cmdline").c_str();
    if (first == unixPath) {
      exact = folder;
    } else if (!first.empty() && first[0] != '/' && unixPath.ends_with("/" + first)) {
      relative = folder;
    }
  } while (exact.empty() && FindNextFileW(find, &entry));
  FindClose(find);
  return exact.empty() ? relative : exact;
}

// What this process has read so far, from files and pipes: rchar of its
// /proc/<pid>/io. 0 where it cannot be read.
inline uint64_t ProcessBytesRead() {
  static const std::wstring folder = LinuxProcessFolder();
  if (folder.empty()) return 0;
  const std::string io = ReadStart(folder + L"\\io");
  const char* field = std::strstr(io.c_str(), "rchar:");
  return field != nullptr ? std::strtoull(field + 6, nullptr, 10) : 0;
}

// The player with the real gen_Sheetwalk.dll loaded, its export called and
// init run; after the test it quits and unloads the plug-in, and no misuse of
// the player's functions may have happened. The test's files lie in the
// folder that `folderVariable` names; `folder` says what that folder holds.
class PluginTest : public ::testing::Test {
 protected:
  PluginTest(const char* folderVariable, const char* folder) : folderVariable_(folderVariable), folder_(folder) {}
  void SetUp() override {
    ASSERT_NE(std::getenv(folderVariable_), nullptr) << folderVariable_ << " names " << folder_;
    ASSERT_TRUE(host.LoadPlugin(PluginPath()));
    ASSERT_NE(host.CallExport().descriptor, nullptr);
    ASSERT_EQ(host.Init(), 0);
  }
  void TearDown() override {
    host.Quit();
    host.UnloadPlugin();
    EXPECT_EQ(host.Count(host_simulator::EventKind::kViolation), 0u) << host.Log();
  }

  host_simulator::PlayerHost host;

 private:
  const char* folderVariable_;
  const char* folder_;
};

}  // namespace integration
