// sheetwalk-inspect: says why a file is or is not navigable in the player,
// by running the plug-in's own cue sheet lookup, parser and navigator on it;
// for a folder, on every file in it that the player plays; and for each
// file that is not, or has a fault, the reason and a fix.
//
//   sheetwalk-inspect [--summary | --problems] [--json | --csv] [--at POSITION] FILE-OR-FOLDER...
//
// Exit status: 0 when every file has a cue sheet (with --summary: every file
// is navigable; with --problems: none is listed), 1 when some has none (with
// --summary: some is not navigable, or a folder could not be read; with
// --problems: some is listed), 2 for a usage error, a file the player does
// not play, or a file that cannot be read (with a summary: when no file
// could be read at all).
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "inspect/diagnosis.h"
#include "inspect/inspection.h"
#include "inspect/report.h"
#include "inspect/summary.h"
#include "inspect/system.h"
#include "inspect/walk.h"
#include "platform/file.h"
#include "sources/folder_cue_search.h"
#include "sources/side_cue_file.h"
#include "text/text_conversion.h"

namespace {

constexpr char16_t kUsage[] =
    u"usage: sheetwalk-inspect [--summary | --problems] [--json | --csv] [--at POSITION] FILE-OR-FOLDER...\n"
    u"       sheetwalk-inspect --help | --version\n"
    u"  FOLDER      every file in it and its subfolders that the player plays (aac aif aiff ape fla flac m4a mp2\n"
    u"              mp3 mp4 mpc oga ofr ofs ogg opus tak tta wav wma wv); each file is reported once\n"
    u"  FILE.cue    the audio files that its FILE lines name, in its folder\n"
    u"  --summary   one line per file (verdict, file, reason, why, place, decoding, tracks, parse, fix), then\n"
    u"              the totals; verdicts: navigable, no-sheet, stopped, unreadable\n"
    u"  --problems  the summary of only the files that need a person: cue text that does not navigate, a\n"
    u"              navigable file with a warning, a file that cannot be read; per-track rips stay out\n"
    u"  --json      one JSON object per line: one per file (with a summary, then one with the totals)\n"
    u"  --csv       the summary as comma-separated values, with a header row\n"
    u"  --at POSITION  90, 1:30, 1:30.5 or 1:02:03: also show the playing track, what Previous and Next\n"
    u"              do and the title tags there\n"
    u"exit status: 0 when every file is navigable (with --problems: when none is listed), 1 when some is\n"
    u"not, 2 for a usage error, a file the player does not play, or a file that cannot be read (with a\n"
    u"summary: when no file could be read)\n";

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

// The path of a file's folder, ending in its separator, as the lookup takes
// it from the file's path.
std::u16string FolderOf(const std::u16string& path) {
  return path.substr(0, path.size() - platform::FileNameOf(path).size());
}

bool IsCueFile(const std::u16string& path) {
  const std::u16string name = path.substr(FolderOf(path).size());
  return name.size() > 4 && platform::CompareFileNames(std::u16string_view(name).substr(name.size() - 4), u".cue") == 0;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// The files that the FILE lines of cue text name, by their last path
// component, each once. FILE in any letter case: the user asked for them.
std::vector<std::u16string> NamedFiles(std::u16string_view text) {
  std::vector<std::u16string> names;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of(u"\r\n");
    std::u16string_view line = text.substr(0, end);
    text = end == std::u16string_view::npos ? std::u16string_view() : text.substr(end + 1);
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    if (line.size() < 6 || !IsBlank(line[4]) || platform::CompareFileNames(line.substr(0, 4), u"FILE") != 0) continue;
    std::u16string_view value = line.substr(5);
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    if (!value.empty() && value.front() == u'"') {
      value = value.substr(1, value.find(u'"', 1) == std::u16string_view::npos ? value.size() - 1 : value.find(u'"', 1) - 1);
    } else if (const std::size_t type = value.find_last_of(u" \t"); type != std::u16string_view::npos) {
      value = value.substr(0, type);
      while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
    }
    if (const std::size_t slash = value.find_last_of(u"\\/"); slash != std::u16string_view::npos) {
      value = value.substr(slash + 1);
    }
    if (value.empty()) continue;
    bool known = false;
    for (const std::u16string& name : names) known = known || platform::CompareFileNames(name, value) == 0;
    if (!known) names.emplace_back(value);
  }
  return names;
}

// Progress of a long walk on standard error, one line rewritten in place:
// only on a console, and only once the walk has taken a second.
class Progress {
 public:
  Progress()
      : enabled_(inspect::ErrorIsConsole()),
        width_(enabled_ ? inspect::ErrorConsoleWidth() - 1 : 0),
        start_(Clock::now()),
        shownAt_(start_) {}

  void Folder(const std::u16string& folder) { folder_ = Printable(folder); }

  void FileDone() {
    ++files_;
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - shownAt_ < std::chrono::milliseconds(100)) return;
    shownAt_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::u16string line = Number(files_) + u" files, " + Number(static_cast<uint64_t>(files_ / seconds)) +
                          u" files/s: ";
    // The line fits the console, so that it is rewritten in place.
    if (line.size() + folder_.size() <= width_) {
      line += folder_;
    } else if (line.size() + 3 < width_) {
      line += u"..." + folder_.substr(folder_.size() - (width_ - line.size() - 3));
    }
    if (line.size() > width_) line.resize(width_);
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
  std::size_t width_;  // of the line shown, one less than the console's
  Clock::time_point start_;
  Clock::time_point shownAt_;
  std::size_t files_ = 0;
  std::u16string folder_;
  std::size_t shownLength_ = 0;
};

class Inspector final : public inspect::WalkVisitor {
 public:
  Inspector(const InspectOptions& options, bool json, bool csv, bool summary, bool problems)
      : options_(options),
        json_(json),
        csv_(csv),
        summary_(summary),
        problems_(problems),
        outputIsConsole_(inspect::OutputIsConsole()) {
    if (csv_) inspect::WriteOutput(inspect::CsvHeader());
  }

  void Argument(const std::u16string& given) {
    const std::u16string argument = inspect::ArgumentPath(given);
    const inspect::InputState state = inspect::CheckInput(argument);
    if (state == inspect::InputState::kDirectory) {
      inspect::WalkFolder(argument, *this, walked_);
    } else if (const char16_t* problem = InputProblem(state)) {
      Problem(argument, problem);
    } else if (IsCueFile(argument)) {
      CueFile(argument);
    } else if (!inspect::IsPlayable(argument.substr(FolderOf(argument).size()))) {
      ArgumentError(argument, u"not a file that the player plays (give an audio file, a .cue file or a folder)");
    } else {
      ArgumentFile(argument);
    }
  }

  void Folder(const std::u16string& path) override { progress_.Folder(path); }

  void File(const std::u16string& path, bool regular, FolderListing& listing,
            const inspect::FolderIdentity* folder) override {
    if (!FirstTime(path, folder)) return;
    if (regular) {
      Inspect(path, true, &listing);
    } else {
      Problem(path, InputProblem(inspect::InputState::kNotRegular));
    }
  }

  void FolderProblem(const std::u16string& path, const std::u16string& problem) override {
    progress_.Clear();
    inspect::WriteError(u"sheetwalk-inspect: " + Printable(path) + u": the folder cannot be read: " + problem + u"\n");
    totals_.CountUnreadableFolder();
    folderProblems_ = true;
  }

  int Finish() {
    progress_.Clear();
    if (summary_) {
      std::u16string flacPath;
      const std::u16string libflac = GetFLACLibraryPath(flacPath) ? flacPath : inspect::NoLibFLAC(options_);
      totals_.SetLibFLAC(libflac);
      if (!csv_) {
        ReportObject totals;
        totals_.Write(totals);
        Write(totals);
      }
      if (withoutLibFLAC_ > 0) {
        inspect::WriteError(u"sheetwalk-inspect: " + libflac + u": the cue sheets inside " + Number(withoutLibFLAC_) +
                            u" FLAC files could not be read\n");
      }
    }
    if (argumentErrors_) return 2;
    if (filesSeen_ == 0 && !folderProblems_) {
      inspect::WriteError(u"sheetwalk-inspect: no file that the player plays was found\n");
      return 2;
    }
    if (summary_) {
      if (filesRead_ == 0) return 2;
      if (problems_) return totals_.Problems() > 0 || folderProblems_ ? 1 : 0;
      return totals_.Of(inspect::Verdict::kNavigable) == totals_.Files() && !folderProblems_ ? 0 : 1;
    }
    if (inputProblems_ || folderProblems_) return 2;
    return withoutSheet_ ? 1 : 0;
  }

 private:
  // Each file once, however the arguments overlap: by its folder's identity
  // and its name, or where that cannot be taken, by its path.
  bool FirstTime(const std::u16string& path, const inspect::FolderIdentity* folder) {
    if (folder == nullptr) return seenPaths_.insert(path).second;
    return seenFiles_.emplace(*folder, path.substr(FolderOf(path).size())).second;
  }

  // The listing of an argument's folder, kept while arguments of the same
  // folder follow one another.
  FolderListing& ListingOf(const std::u16string& prefix) {
    if (argumentListing_ == nullptr || argumentListing_->Prefix() != prefix) {
      argumentListing_ = std::make_unique<FolderListing>();
      argumentListing_->List(prefix);
    }
    return *argumentListing_;
  }

  void ArgumentFile(const std::u16string& path) {
    const std::u16string prefix = FolderOf(path);
    inspect::FolderIdentity identity;
    const bool known = inspect::GetFolderIdentity(prefix.empty() ? u"." : prefix, identity);
    if (!FirstTime(path, known ? &identity : nullptr)) return;
    Inspect(path, false, &ListingOf(prefix));
  }

  // A cue file stands for the audio files that it names, in its folder: by
  // their names, or where no file has the name, a file the player plays of
  // the same name with another extension, as the plug-in's folder search
  // takes it.
  void CueFile(const std::u16string& cuePath) {
    std::u16string text;
    if (ReadCueFile(cuePath.c_str(), text) != CueTextOutcome::kFound) {
      return ArgumentError(cuePath, u"the cue file could not be read");
    }
    const std::vector<std::u16string> names = NamedFiles(text);
    if (names.empty()) return ArgumentError(cuePath, u"the cue file names no audio file: it has no FILE line");
    const std::u16string prefix = FolderOf(cuePath);
    std::vector<std::u16string> found;
    for (const std::u16string& name : names) {
      const FolderListing& listing = ListingOf(prefix);
      std::u16string match;
      const std::u16string_view stem = std::u16string_view(name).substr(0, name.rfind(u'.'));
      for (const std::u16string& file : listing.FileNames()) {
        if (platform::CompareFileNames(file, name) == 0) {
          match = file;
          break;
        }
        const std::u16string_view fileStem = std::u16string_view(file).substr(0, file.rfind(u'.'));
        if (match.empty() && inspect::IsPlayable(file) && platform::CompareFileNames(fileStem, stem) == 0) match = file;
      }
      if (match.empty()) {
        Problem(prefix + name, (u"named by " + cuePath.substr(prefix.size()) + u", but not in its folder").c_str());
      } else if (!inspect::IsPlayable(match)) {
        ArgumentError(prefix + match, u"named by " + cuePath.substr(prefix.size()) + u", but not a file that the player plays");
      } else {
        found.push_back(prefix + match);
      }
    }
    for (const std::u16string& path : found) ArgumentFile(path);
  }

  // Files met in a walk are not looked at before the lookup reads them, so
  // that a library check reads no more than the plug-in would; only a file
  // that the lookup could not read is looked at again, to say why.
  void Inspect(const std::u16string& path, bool fromWalk, FolderListing* listing) {
    ReportObject report;
    const bool hasSheet = InspectFile(path, options_, report, listing);
    if (fromWalk && inspect::VerdictOf(report) == inspect::Verdict::kUnreadable) {
      if (const char16_t* problem = InputProblem(inspect::CheckInput(path))) return Problem(path, problem);
    }
    ++filesSeen_;
    ++filesRead_;
    withoutSheet_ = withoutSheet_ || !hasSheet;
    const std::u16string* reason = report.FindText("reason");
    withoutLibFLAC_ += reason != nullptr && *reason == u"libflac-missing" ? 1 : 0;
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
      inspect::WriteError(u"sheetwalk-inspect: " + Printable(path) + u": " + problem + u"\n");
      progress_.FileDone();
    }
  }

  // An argument that names nothing to report: an error, never a report.
  void ArgumentError(const std::u16string& path, const std::u16string& problem) {
    progress_.Clear();
    inspect::WriteError(u"sheetwalk-inspect: " + Printable(path) + u": " + problem + u"\n");
    argumentErrors_ = true;
  }

  void Counted(const ReportObject& summary) {
    totals_.Count(summary);
    if (!problems_ || inspect::NeedsAPerson(summary)) Write(summary);
    progress_.FileDone();
  }

  void Write(const ReportObject& object) {
    if (outputIsConsole_) progress_.Clear();
    if (json_) {
      std::string line;
      object.WriteJSON(line);
      line += '\n';
      inspect::WriteOutput(ToWideString(line, platform::CodePage::kUtf8));
    } else if (csv_) {
      inspect::WriteOutput(inspect::CsvLine(object));
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
  const bool csv_;
  const bool summary_;
  const bool problems_;
  const bool outputIsConsole_;
  inspect::Totals totals_;
  Progress progress_;
  std::set<inspect::FolderIdentity> walked_;
  std::set<std::pair<inspect::FolderIdentity, std::u16string>> seenFiles_;
  std::set<std::u16string> seenPaths_;
  std::unique_ptr<FolderListing> argumentListing_;
  std::size_t filesSeen_ = 0;
  std::size_t filesRead_ = 0;
  std::size_t withoutLibFLAC_ = 0;
  bool withoutSheet_ = false;
  bool inputProblems_ = false;
  bool folderProblems_ = false;
  bool argumentErrors_ = false;
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
  bool csv = false;
  bool summary = false;
  bool problems = false;
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
    } else if (argument == u"--csv") {
      csv = true;
    } else if (argument == u"--summary") {
      summary = true;
    } else if (argument == u"--problems") {
      problems = true;
    } else if (argument == u"--at") {
      int32_t at = 0;
      if (i + 1 == arguments.size() || !ParsePosition(arguments[i + 1], at)) {
        return UsageError(u"--at needs a position as seconds, m:ss or h:mm:ss, each with an optional .fff");
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
  if (json && csv) return UsageError(u"--json and --csv are two forms of the same output: give one");
  // A folder dropped onto the program in Explorer gets the library check of
  // the files that need a person, as a command prompt would with --problems.
  if (!summary && !problems && !json && !csv && !options.at.has_value() && inspect::StartedFromExplorer()) {
    for (const std::u16string& file : files) {
      problems = problems || inspect::CheckInput(inspect::ArgumentPath(file)) == inspect::InputState::kDirectory;
    }
  }
  summary = summary || problems || csv;
  if (summary && options.at.has_value()) return UsageError(u"--at shows one file's tracks, not a summary");

  inspect::PreloadFLAC(options.flacCandidates);
  Inspector inspector(options, json, csv, summary, problems);
  for (const std::u16string& file : files) inspector.Argument(file);
  return inspector.Finish();
}
