// What the integration tests share: where the plug-in and the test files are.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tools/host_simulator/player_host.h"

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

// A test with the real plug-in loaded into the player host and initialised,
// whose files lie in the folder that `filesVariable` names. After each test
// the player must have seen no violation.
class LoadedPluginTest : public ::testing::Test {
 protected:
  explicit LoadedPluginTest(const char* filesVariable) : filesVariable_(filesVariable) {}
  void SetUp() override {
    ASSERT_NE(std::getenv(filesVariable_), nullptr) << filesVariable_ << " names the test files' folder";
    ASSERT_TRUE(host.LoadPlugin(BesideExecutable(L"gen_Sheetwalk.dll")));
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
  const char* filesVariable_;
};

}  // namespace integration
