// sheetwalk-inspect: says why a file is or is not navigable in the player,
// by running the plug-in's own cue sheet lookup, parser and navigator on it;
// for a folder, on every file in it that the player plays.
//
//   sheetwalk-inspect [--summary] [--json] [--at POSITION] FILE-OR-FOLDER...
//
// Exit status: 0 when every file has a cue sheet (with --summary: every file
// is navigable), 1 when some has none (with --summary: some is not
// navigable, or a folder could not be read), 2 for a usage error or a file
// that cannot be read (with --summary: when no file could be read at all).
#include <chrono>
#include <string>
#include <vector>

#include "inspect/inspection.h"
#include "inspect/report.h"
#include "inspect/summary.h"
#include "inspect/system.h"
#include "inspect/walk.h"
#include "tags/folder_cue_search.h"
#include "tags/text_conversion.h"

namespace {

constexpr char16_t kUsage[] =
    u"usage: sheetwalk-inspect [--summary] [--json] [--at POSITION] FILE-OR-FOLDER...\n"
    u"       sheetwalk-inspect --help | --version\n"
    u"  FOLDER     every file in it and its subfolders that the player plays (aac aif aiff ape fla flac m4a mp2\n"
    u"             mp3 mp4 mpc oga ofr ofs ogg opus tak tta wav wma wv); a .cue file is read with its audio file\n"
    u"  --summary  one line per file (verdict, place, decoding, tracks, parse), then the totals; verdicts:\n"
    u"             navigable, no-sheet, stopped, unreadable\n"
    u"  --json     one JSON object per file (with --summary, then one with the totals)\n"
    u"  --at POSITION  m:ss or m:ss.mmm: also show the playing track, what Previous and Next do and the title\n"
    u"             tags there\n"
    u"exit status: 0 when every file is navigable, 1 when some is not, 2 for a usage error or a file that\n"
    u"cannot be read (with --summary: when no file could be read)\n";

const char16_t* InputProblem(inspect::InputState state) {
  switch (state) {
    case inspect::InputState::kMissing: return u"no such file";
    case inspect::InputState::kDirectory: return u"a folder, not an audio file";
    case inspect::InputState::kNotRegular: return u"not a regular file (a FIFO or a device), not read";
    case inspect::InputState::kNoPermission: return u"no permission to read it";
    case inspect::InputState::kUnreadable: return u"it cannot be opened for reading (another program may hold it)";
    case inspect::InputState::kReadable: break;
  }
  return nullptr;
}

std::u16string Number(uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// Progress of a long walk on standard error, one line rewritten in place:
// only on a console, and only once the walk has taken a second.
class Progress {
 public:
  Progress() : enabled_(inspect::ErrorIsConsole()), start_(Clock::now()), shownAt_(start_) {}

  void Folder(const std::u16string& folder) { folder_ = folder; }

  void FileDone() {
    ++files_;
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - shownAt_ < std::chrono::milliseconds(100)) return;
    shownAt_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::u16string line = Number(files_) + u" files, " + Number(static_cast<uint64_t>(files_ / seconds)) +
                          u" files/s: ";
    constexpr std::size_t kWidth = 79;
    if (line.size() + folder_.size() > kWidth) {
      line += u"..." + folder_.substr(folder_.size() - (kWidth - line.size() - 3));
    } else {
      line += folder_;
    }
    Show(line);
  }

  // Before other output goes to the console, and at the end.
  void Clear() { Show(u""); }

 private:
  using Clock = std::chrono::steady_clock;

  void Show(const std::u16string& line) {
    if (line.empty() && shownLength_ == 0) return;
    std::u16string text = u"\r" + line;
    if (line.size() < shownLength_) text += std::u16string(shownLength_ - line.size(), u' ') + u"\r" + line;
    shownLength_ = line.size();
    inspect::WriteError(text);
  }

  bool enabled_;
  Clock::time_point start_;
  Clock::time_point shownAt_;
  std::size_t files_ = 0;
  std::u16string folder_;
  std::size_t shownLength_ = 0;
};

class Inspector final : public inspect::WalkVisitor {
 public:
  Inspector(const InspectOptions& options, bool json, bool summary)
      : options_(options), json_(json), summary_(summary), outputIsConsole_(inspect::OutputIsConsole()) {}

  void Argument(const std::u16string& argument) {
    const inspect::InputState state = inspect::CheckInput(argument);
    if (state == inspect::InputState::kDirectory) {
      inspect::WalkFolder(argument, *this);
    } else if (const char16_t* problem = InputProblem(state)) {
      Problem(argument, problem);
    } else {
      Inspect(argument, false);
    }
  }

  void Folder(const std::u16string& path) override { progress_.Folder(path); }

  void File(const std::u16string& path, bool regular, FolderListing& listing) override {
    if (regular) {
      Inspect(path, true, &listing);
    } else {
      Problem(path, InputProblem(inspect::InputState::kNotRegular));
    }
  }

  void FolderProblem(const std::u16string& path, const std::u16string& problem) override {
    progress_.Clear();
    inspect::WriteError(u"sheetwalk-inspect: " + path + u": the folder cannot be read: " + problem + u"\n");
    totals_.CountUnreadableFolder();
    folderProblems_ = true;
  }

  int Finish() {
    progress_.Clear();
    if (summary_) {
      ReportObject totals;
      totals_.Write(totals);
      Write(totals);
    }
    if (filesSeen_ == 0 && !folderProblems_) {
      inspect::WriteError(u"sheetwalk-inspect: no file that the player plays was found\n");
      return 2;
    }
    if (summary_) {
      if (filesRead_ == 0) return 2;
      return totals_.Of(inspect::Verdict::kNavigable) == totals_.Files() && !folderProblems_ ? 0 : 1;
    }
    if (inputProblems_ || folderProblems_) return 2;
    return withoutSheet_ ? 1 : 0;
  }

 private:
  // Files met in a walk are not looked at before the lookup reads them, so
  // that a library check reads no more than the plug-in would; only a file
  // that the lookup could not read is looked at again, to say why.
  void Inspect(const std::u16string& path, bool fromWalk, FolderListing* listing = nullptr) {
    ReportObject report;
    const bool hasSheet = InspectFile(path, options_, report, listing);
    if (fromWalk && inspect::VerdictOf(report) == inspect::Verdict::kUnreadable) {
      if (const char16_t* problem = InputProblem(inspect::CheckInput(path))) return Problem(path, problem);
    }
    ++filesSeen_;
    ++filesRead_;
    withoutSheet_ = withoutSheet_ || !hasSheet;
    if (summary_) {
      ReportObject summary;
      inspect::Summarize(report, summary);
      Counted(summary);
    } else {
      Write(report);
      progress_.FileDone();
    }
  }

  void Problem(const std::u16string& path, const char16_t* problem) {
    ++filesSeen_;
    inputProblems_ = true;
    if (summary_) {
      ReportObject summary;
      inspect::SummarizeProblem(path, problem, summary);
      Counted(summary);
    } else {
      progress_.Clear();
      inspect::WriteError(u"sheetwalk-inspect: " + path + u": " + problem + u"\n");
      progress_.FileDone();
    }
  }

  void Counted(const ReportObject& summary) {
    totals_.Count(summary);
    Write(summary);
    progress_.FileDone();
  }

  void Write(const ReportObject& object) {
    if (outputIsConsole_) progress_.Clear();
    if (json_) {
      std::string line;
      object.WriteJSON(line);
      line += '\n';
      inspect::WriteOutput(ToWideString(line, platform::CodePage::kUtf8));
    } else if (summary_ && object.FindText("verdict") != nullptr) {
      inspect::WriteOutput(inspect::SummaryLine(object));
    } else {
      std::u16string text;
      object.WriteText(text, 0);
      text += u'\n';
      inspect::WriteOutput(text);
    }
  }

  const InspectOptions& options_;
  const bool json_;
  const bool summary_;
  const bool outputIsConsole_;
  inspect::Totals totals_;
  Progress progress_;
  std::size_t filesSeen_ = 0;
  std::size_t filesRead_ = 0;
  bool withoutSheet_ = false;
  bool inputProblems_ = false;
  bool folderProblems_ = false;
};

int UsageError(const std::u16string& message) {
  if (!message.empty()) inspect::WriteError(u"sheetwalk-inspect: " + message + u"\n");
  inspect::WriteError(kUsage);
  return 2;
}

}  // namespace

int inspect::Run(const std::vector<std::u16string>& arguments) {
  InspectOptions options;
  bool json = false;
  bool summary = false;
  std::vector<std::u16string> files;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    if (argument == u"--help") {
      inspect::WriteOutput(kUsage);
      return 0;
    } else if (argument == u"--version") {
      inspect::WriteOutput(u"sheetwalk-inspect, " + inspect::VersionText() + u"\n");
      return 0;
    } else if (argument == u"--json") {
      json = true;
    } else if (argument == u"--summary") {
      summary = true;
    } else if (argument == u"--at") {
      int32_t at = 0;
      if (i + 1 == arguments.size() || !ParsePosition(arguments[i + 1], at)) {
        return UsageError(u"--at needs a position as m:ss or m:ss.mmm");
      }
      options.at = at;
      ++i;
    } else if (argument == u"--") {
      files.insert(files.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, arguments.end());
      break;
    } else if (argument.starts_with(u"--")) {
      return UsageError(u"unknown option " + argument);
    } else {
      files.push_back(argument);
    }
  }
  if (files.empty()) return UsageError({});
  if (summary && options.at.has_value()) return UsageError(u"--at shows one file's tracks, not a summary");

  inspect::PreloadFLAC(options.flacCandidates);
  Inspector inspector(options, json, summary);
  for (const std::u16string& file : files) inspector.Argument(file);
  return inspector.Finish();
}
