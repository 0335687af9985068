// The library check: one line per file, read from the file's full report,
// and the totals at the end.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "inspect/report.h"

namespace inspect {

enum class Verdict { kNavigable, kNoSheet, kStopped, kUnreadable };

// From a file's report: stopped when the parse of its cue sheet stopped
// early, navigable when the plug-in has a sheet for it, unreadable when no
// sheet was found and a place could not be read, no-sheet otherwise.
Verdict VerdictOf(const ReportObject& report);

// The summary of a file's report: file, verdict, place (the place that gave
// the cue sheet, or "none"), decoding ("none" without text), tracks, and
// parse ("complete", "stopped" or "none").
void Summarize(const ReportObject& report, ReportObject& summary);

// The summary of a file that could not be inspected at all: file, verdict
// unreadable, and the problem.
void SummarizeProblem(const std::u16string& file, std::u16string_view problem, ReportObject& summary);

// One summary as a line of text: the verdict, the file, then the other
// fields as "name: value".
std::u16string SummaryLine(const ReportObject& summary);

// The count of files by verdict and by the place that gave their sheet.
class Totals {
 public:
  void Count(const ReportObject& summary);
  void CountUnreadableFolder() { ++unreadableFolders; }

  std::size_t Files() const { return files; }
  std::size_t Of(Verdict verdict) const;

  // Adds the object "totals": files, one count per verdict, the folders that
  // could not be listed, and the list "places" of place and files.
  void Write(ReportObject& out) const;

 private:
  std::size_t files = 0;
  std::size_t verdicts[4] = {};
  std::size_t unreadableFolders = 0;
  std::map<std::u16string, std::size_t> places;
};

}  // namespace inspect
