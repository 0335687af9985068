// sheetwalk-inspect: says why a file is or is not navigable in the player,
// by running the plug-in's own cue sheet lookup, parser and navigator on it.
//
//   sheetwalk-inspect [--at POSITION] [--json] FILE...
//
// Exit status: 0 when every FILE has a cue sheet, 1 when some has none, 2 for
// a usage error or a FILE that cannot be read.
#include <string>
#include <vector>

#include "inspect/inspection.h"
#include "inspect/report.h"
#include "inspect/system.h"
#include "tags/text_conversion.h"

namespace {

constexpr char16_t kUsage[] =
    u"usage: sheetwalk-inspect [--at POSITION] [--json] FILE...\n"
    u"  POSITION  m:ss or m:ss.mmm: also show the playing track, what Previous and Next do and the title tags there\n"
    u"  --json    one JSON object per file\n";

const char16_t* InputProblem(inspect::InputState state) {
  switch (state) {
    case inspect::InputState::kMissing: return u"no such file";
    case inspect::InputState::kDirectory: return u"a folder, not an audio file";
    case inspect::InputState::kNoPermission: return u"no permission to read it";
    case inspect::InputState::kUnreadable: return u"it cannot be opened for reading (another program may hold it)";
    case inspect::InputState::kReadable: break;
  }
  return nullptr;
}

}  // namespace

int inspect::Run(const std::vector<std::u16string>& arguments) {
  InspectOptions options;
  bool json = false;
  std::vector<std::u16string> files;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    if (argument == u"--json") {
      json = true;
    } else if (argument == u"--at") {
      int32_t at = 0;
      if (i + 1 == arguments.size() || !ParsePosition(arguments[i + 1], at)) {
        inspect::WriteError(u"sheetwalk-inspect: --at needs a position as m:ss or m:ss.mmm\n");
        inspect::WriteError(kUsage);
        return 2;
      }
      options.at = at;
      ++i;
    } else if (argument == u"--") {
      files.insert(files.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, arguments.end());
      break;
    } else if (argument.starts_with(u"--")) {
      inspect::WriteError(u"sheetwalk-inspect: unknown option " + argument + u"\n");
      inspect::WriteError(kUsage);
      return 2;
    } else {
      files.push_back(argument);
    }
  }
  if (files.empty()) {
    inspect::WriteError(kUsage);
    return 2;
  }

  inspect::PreloadFLAC(options.flacCandidates);
  int status = 0;
  for (const std::u16string& file : files) {
    if (const char16_t* problem = InputProblem(inspect::CheckInput(file))) {
      inspect::WriteError(u"sheetwalk-inspect: " + file + u": " + problem + u"\n");
      status = 2;
      continue;
    }
    ReportObject report;
    const bool navigable = InspectFile(file, options, report);
    if (!navigable && status == 0) status = 1;
    if (json) {
      std::string line;
      report.WriteJSON(line);
      line += '\n';
      inspect::WriteOutput(ToWideString(line, platform::CodePage::kUtf8));
    } else {
      std::u16string text;
      report.WriteText(text, 0);
      text += u'\n';
      inspect::WriteOutput(text);
    }
  }
  return status;
}
