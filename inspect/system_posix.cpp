#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "inspect/system.h"
#include "tags/text_conversion.h"

namespace inspect {
namespace {

void Write(FILE* stream, std::u16string_view text) {
  const std::string bytes = ToUtf8String(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::fflush(stream);
}

}  // namespace

void WriteOutput(std::u16string_view text) { Write(stdout, text); }
void WriteError(std::u16string_view text) { Write(stderr, text); }

bool OwnsConsole() { return false; }
void WaitForKey() {}

InputState CheckInput(const std::u16string& path) {
  const std::string name = ToUtf8String(path);
  struct stat info;
  if (name.empty() || stat(name.c_str(), &info) != 0) {
    return errno == EACCES ? InputState::kNoPermission : InputState::kMissing;
  }
  if (S_ISDIR(info.st_mode)) return InputState::kDirectory;
  const int descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return errno == EACCES ? InputState::kNoPermission : InputState::kUnreadable;
  close(descriptor);
  return InputState::kReadable;
}

void PreloadFLAC(std::vector<std::u16string>& candidates) { candidates.clear(); }

}  // namespace inspect

int main(int argc, char** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(ToWideString(argv[i], platform::CodePage::kUtf8));
  return inspect::Run(arguments);
}
