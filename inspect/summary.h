// The library check: one line per file, read from the file's full report,
// and the totals at the end.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "inspect/report.h"

namespace inspect {

enum class Verdict { kNavigable, kNoSheet, kStopped, kUnreadable };

// From a file's report or its summary: stopped when the parse of its cue
// sheet stopped early, navigable when the plug-in has a sheet for it,
// unreadable when no sheet was found and a place could not be read,
// no-sheet otherwise.
Verdict VerdictOf(const ReportObject& report);

// The summary of a file's report, with the same fields for every file: file,
// verdict, reason (a code), why (its sentence), place (the place that gave
// the cue sheet, or "none"), decoding ("none" without text), tracks, parse
// ("complete", "stopped" or "none") and fix.
void Summarize(const ReportObject& report, ReportObject& summary);

// The summary of a file that could not be inspected at all: verdict
// unreadable, reason unreadable and the problem as its sentence.
void SummarizeProblem(const std::u16string& file, std::u16string_view problem, ReportObject& summary);

// Whether a summary asks for a person (--problems): a file with cue text
// that is not navigable, a navigable one with a warning, one that cannot be
// read; not a per-track rip, nor a file without any cue text.
bool NeedsAPerson(const ReportObject& summary);

// One summary as a line of text: the verdict, the file, then the other
// fields as "name: value".
std::u16string SummaryLine(const ReportObject& summary);

// The summary as comma-separated values (RFC 4180), with the header row
// that names the fields.
std::u16string CsvHeader();
std::u16string CsvLine(const ReportObject& summary);

// The count of files by verdict and by the place that gave their sheet.
class Totals {
 public:
  void Count(const ReportObject& summary);
  void CountUnreadableFolder() { ++unreadableFolders; }
  void SetLibFLAC(std::u16string text) { libflac = std::move(text); }

  std::size_t Files() const { return files; }
  std::size_t Of(Verdict verdict) const;

  std::size_t Problems() const { return problems; }

  // Adds the object "totals": files, one count per verdict, the files that
  // ask for a person, the folders that could not be listed, the libFLAC
  // that was used (or why none), and the list "places" of place and files.
  void Write(ReportObject& out) const;

 private:
  std::size_t files = 0;
  std::size_t verdicts[4] = {};
  std::size_t unreadableFolders = 0;
  std::size_t problems = 0;
  std::u16string libflac;
  std::map<std::u16string, std::size_t> places;
};

}  // namespace inspect
