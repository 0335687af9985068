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

// What this process has read so far, from files and pipes: rchar of Linux's
// /proc/self/io, which Wine's Z: drive reaches. 0 where it cannot be read.
inline uint64_t ProcessBytesRead() {
  const HANDLE file = CreateFileW(L"Z:\\proc\\self\\io", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  char text[1024];
  DWORD got = 0;
  const BOOL read = ReadFile(file, text, sizeof text - 1, &got, nullptr);
  CloseHandle(file);
  if (!read) return 0;
  text[got] = '\0';
  const char* field = std::strstr(text, "rchar:");
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
