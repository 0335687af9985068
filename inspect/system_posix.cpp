#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "inspect/system.h"
#include "platform/file_name_posix.h"

#ifndef SHEETWALK_DESCRIPTION
#define SHEETWALK_DESCRIPTION "Sheetwalk"
#endif

namespace inspect {
namespace {

// Text goes out as UTF-8, and a file name as the bytes it is made of.
void Write(FILE* stream, std::u16string_view text) {
  const std::string bytes = platform::FileNameFromPath(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

}  // namespace

const char16_t kPathSeparator = u'/';

std::u16string EntryPath(const std::u16string& prefix, const std::u16string& name) { return prefix + name; }
std::u16string ArgumentPath(const std::u16string& path) { return path; }
bool NameUnreachable(std::u16string_view) { return false; }

void WriteOutput(std::u16string_view text) { Write(stdout, text); }
void WriteError(std::u16string_view text) { Write(stderr, text); }
bool OutputIsConsole() { return isatty(STDOUT_FILENO) == 1; }
bool ErrorIsConsole() { return isatty(STDERR_FILENO) == 1; }

bool StartedFromExplorer() { return false; }
void WaitForKey() {}

InputState CheckInput(const std::u16string& path) {
  const std::string name = platform::FileNameFromPath(path);
  struct stat info;
  if (name.empty() || stat(name.c_str(), &info) != 0) {
    return errno == EACCES ? InputState::kNoPermission : InputState::kMissing;
  }
  if (S_ISDIR(info.st_mode)) return InputState::kDirectory;
  if (!S_ISREG(info.st_mode)) return InputState::kNotRegular;
  const int descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return errno == EACCES ? InputState::kNoPermission : InputState::kUnreadable;
  close(descriptor);
  return InputState::kReadable;
}

std::u16string OpenErrorText(const std::u16string& path) {
  const std::string name = platform::FileNameFromPath(path);
  struct stat info;
  if (stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return u"not a regular file";
  const int descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor >= 0) {
    close(descriptor);
    return {};
  }
  return platform::PathFromFileName(std::strerror(errno));
}

std::size_t ErrorConsoleWidth() {
  struct winsize size;
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

std::u16string FolderErrorText(uint32_t error) {
  switch (error) {
    case EACCES: return u"no permission to read it";
    case ENOENT: return u"no such folder";
    default: return platform::PathFromFileName(std::strerror(static_cast<int>(error)));
  }
}

bool GetFolderIdentity(const std::u16string& folder, FolderIdentity& identity) {
  struct stat info;
  if (stat(platform::FileNameFromPath(folder).c_str(), &info) != 0) return false;
  identity.volume = static_cast<uint64_t>(info.st_dev);
  identity.file = static_cast<uint64_t>(info.st_ino);
  return true;
}

void PreloadFLAC(std::vector<FLACCandidate>& candidates) { candidates.clear(); }

std::u16string VersionText() { return platform::PathFromFileName(SHEETWALK_DESCRIPTION); }

}  // namespace inspect

// The arguments are file names as the shell passed them: bytes, kept as they
// are even where they are no UTF-8.
int main(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(platform::PathFromFileName(argv[i]));
  return inspect::Run(arguments);
}
