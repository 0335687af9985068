// sheetwalk-inspect.exe started by another program, as scripts, schedulers
// and front ends start it: CreateProcess with CREATE_NO_WINDOW, on the hidden
// console made for it or with its output in a pipe or a file. It must report
// and return without waiting for a key that nobody can press.
#include <string>
#include <thread>

#include "integration_support.h"

namespace {

enum class Output { kHiddenConsole, kPipe, kFile };

struct LaunchCase {
  const char* name;
  Output output;
};

class InspectLaunchTest : public testing::TestWithParam<LaunchCase> {};

// A handle that the started program inherits.
SECURITY_ATTRIBUTES Inherited() { return {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE}; }

TEST_P(InspectLaunchTest, ReturnsWithoutWaitingForAKey) {
  ASSERT_NE(std::getenv("SHEETWALK_CUE_SOURCES"), nullptr) << "SHEETWALK_CUE_SOURCES names the cue sources";
  std::wstring command = L"\"" + integration::BesideExecutable(L"sheetwalk-inspect.exe") + L"\" \"" +
                         integration::FolderFile("SHEETWALK_CUE_SOURCES", L"p1.flac") + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  SECURITY_ATTRIBUTES inherit = Inherited();
  HANDLE pipeRead = nullptr;
  HANDLE output = nullptr;
  wchar_t outputFile[MAX_PATH] = L"";
  if (GetParam().output == Output::kPipe) {
    ASSERT_TRUE(CreatePipe(&pipeRead, &output, &inherit, 0));
    SetHandleInformation(pipeRead, HANDLE_FLAG_INHERIT, 0);
  } else if (GetParam().output == Output::kFile) {
    wchar_t folder[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    ASSERT_NE(GetTempFileNameW(folder, L"swi", 0, outputFile), 0u);
    output = CreateFileW(outputFile, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(output, INVALID_HANDLE_VALUE);
  }
  const bool redirected = output != nullptr;
  HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr);
  if (redirected) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, redirected, CREATE_NO_WINDOW, nullptr,
                             nullptr, &startup, &process))
      << GetLastError();
  CloseHandle(input);
  if (redirected) CloseHandle(output);

  std::string text;
  std::thread reader;
  if (pipeRead != nullptr) {
    reader = std::thread([&] {
      char buffer[4096];
      DWORD got = 0;
      while (ReadFile(pipeRead, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    });
  }
  const DWORD waited = WaitForSingleObject(process.hProcess, 30000);
  if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
  EXPECT_EQ(waited, WAIT_OBJECT_0) << "the inspector did not return within 30 s: it waits for a key";
  DWORD status = 99;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (reader.joinable()) reader.join();
  if (pipeRead != nullptr) CloseHandle(pipeRead);
  if (outputFile[0] != L'\0') {
    // The console host made for the program may hold its inherited handle a
    // moment longer: the file is shared for writing too.
    const HANDLE file = CreateFileW(outputFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    char buffer[65536];
    DWORD got = 0;
    if (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr)) text.assign(buffer, got);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DeleteFileW(outputFile);
  }
  EXPECT_EQ(status, 0u) << text;
  if (redirected) {
    EXPECT_NE(text.find("navigable: yes"), std::string::npos) << text;
    EXPECT_EQ(text.find("Press any key"), std::string::npos) << text;
  }
}

INSTANTIATE_TEST_SUITE_P(Started, InspectLaunchTest,
                         testing::Values(LaunchCase{"HiddenConsole", Output::kHiddenConsole},
                                         LaunchCase{"OutputToPipe", Output::kPipe},
                                         LaunchCase{"OutputToFile", Output::kFile}),
                         [](const testing::TestParamInfo<LaunchCase>& info) { return std::string(info.param.name); });

}  // namespace
