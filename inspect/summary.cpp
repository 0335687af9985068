#include "inspect/summary.h"

#include "inspect/diagnosis.h"

namespace inspect {
namespace {

constexpr const char* kVerdictNames[] = {"navigable", "no-sheet", "stopped", "unreadable"};
constexpr std::size_t kVerdictWidth = 10;  // "unreadable"

constexpr const char* kCsvFields[] = {"file", "verdict", "reason", "why", "place", "decoding", "tracks", "parse", "fix"};

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

Verdict VerdictByName(const std::u16string& name) {
  for (std::size_t i = 0; i < std::size(kVerdictNames); ++i) {
    if (name == Widen(kVerdictNames[i])) return static_cast<Verdict>(i);
  }
  return Verdict::kUnreadable;
}

// The place whose outcome was "found".
const ReportObject* Winner(const ReportObject& report, bool& unreadable) {
  unreadable = false;
  const ReportList* sources = report.FindList("sources");
  if (sources == nullptr) return nullptr;
  const ReportObject* winner = nullptr;
  for (const auto& place : sources->Items()) {
    const std::u16string* outcome = place->FindText("outcome");
    if (outcome == nullptr) continue;
    if (*outcome == u"found" && winner == nullptr) winner = place.get();
    if (*outcome == u"unreadable") unreadable = true;
  }
  return winner;
}

}  // namespace

Verdict VerdictOf(const ReportObject& report) {
  const std::u16string* verdict = report.FindText("verdict");
  return verdict != nullptr ? VerdictByName(*verdict) : Verdict::kUnreadable;
}

void Summarize(const ReportObject& report, ReportObject& summary) {
  const auto text = [&report](std::string_view name) {
    const std::u16string* value = report.FindText(name);
    return value != nullptr ? *value : std::u16string();
  };
  summary.Add("file", text("file"));
  summary.Add("verdict", kVerdictNames[static_cast<int>(VerdictOf(report))]);
  summary.Add("reason", text("reason")).Add("why", text("why"));
  bool unreadable = false;
  const ReportObject* winner = Winner(report, unreadable);
  const std::u16string* place = winner != nullptr ? winner->FindText("place") : nullptr;
  summary.Add("place", place != nullptr ? *place : u"none");
  const ReportObject* decoding = report.FindObject("decoding");
  const std::u16string* encoding = decoding != nullptr ? decoding->FindText("encoding") : nullptr;
  summary.Add("decoding", encoding != nullptr ? *encoding : u"none");
  const ReportObject* sheet = report.FindObject("sheet");
  const ReportList* tracks = sheet != nullptr ? sheet->FindList("tracks") : nullptr;
  summary.Add("tracks", static_cast<int64_t>(tracks != nullptr ? tracks->Items().size() : 0));
  const ReportObject* parse = report.FindObject("parse");
  const bool* complete = parse != nullptr ? parse->FindFlag("complete") : nullptr;
  summary.Add("parse", complete == nullptr ? "none" : *complete ? "complete" : "stopped");
  summary.Add("fix", text("fix"));
}

void SummarizeProblem(const std::u16string& file, std::u16string_view problem, ReportObject& summary) {
  summary.Add("file", file).Add("verdict", kVerdictNames[static_cast<int>(Verdict::kUnreadable)]);
  summary.Add("reason", "unreadable").Add("why", problem);
  summary.Add("place", "none").Add("decoding", "none").Add("tracks", int64_t{0}).Add("parse", "none");
  summary.Add("fix", "check the name, or give yourself the right to read the file, then check again");
}

bool NeedsAPerson(const ReportObject& summary) {
  const std::u16string* reason = summary.FindText("reason");
  return reason == nullptr || NeedsAPerson(std::u16string_view(*reason));
}

std::u16string SummaryLine(const ReportObject& summary) {
  const std::u16string* verdict = summary.FindText("verdict");
  const std::u16string* file = summary.FindText("file");
  std::u16string line = verdict != nullptr ? *verdict : u"";
  if (line.size() < kVerdictWidth) line.append(kVerdictWidth - line.size(), u' ');
  line += u"  ";
  if (file != nullptr) line += Printable(*file);
  line += u"  ";
  summary.WriteLine(line, 2);
  return line + u'\n';
}

std::u16string CsvHeader() {
  std::u16string line;
  for (const char* field : kCsvFields) {
    if (!line.empty()) line += u',';
    line += Widen(field);
  }
  return line + u"\r\n";
}

std::u16string CsvLine(const ReportObject& summary) {
  std::u16string line;
  for (const char* field : kCsvFields) {
    if (field != kCsvFields[0]) line += u',';
    std::u16string value;
    if (const std::u16string* text = summary.FindText(field)) {
      value = *text;
    } else if (const int64_t* number = summary.FindNumber(field)) {
      value = Widen(std::to_string(*number));
    }
    if (value.find_first_of(u",\"\r\n") == std::u16string::npos) {
      line += value;
      continue;
    }
    line += u'"';
    for (const char16_t c : value) {
      if (c == u'"') line += u'"';
      line += c;
    }
    line += u'"';
  }
  return line + u"\r\n";
}

void Totals::Count(const ReportObject& summary) {
  ++files;
  problems += NeedsAPerson(summary) ? 1 : 0;
  const std::u16string* verdict = summary.FindText("verdict");
  ++verdicts[static_cast<int>(verdict != nullptr ? VerdictByName(*verdict) : Verdict::kUnreadable)];
  const std::u16string* place = summary.FindText("place");
  ++places[place != nullptr ? *place : u"none"];
}

std::size_t Totals::Of(Verdict verdict) const { return verdicts[static_cast<int>(verdict)]; }

void Totals::Write(ReportObject& out) const {
  ReportObject& totals = out.AddObject("totals");
  totals.Add("files", static_cast<int64_t>(files));
  for (std::size_t i = 0; i < std::size(kVerdictNames); ++i) {
    totals.Add(kVerdictNames[i], static_cast<int64_t>(verdicts[i]));
  }
  totals.Add("problems", static_cast<int64_t>(problems));
  totals.Add("unreadable_folders", static_cast<int64_t>(unreadableFolders));
  totals.Add("libflac", libflac);
  ReportList& list = totals.AddList("places");
  for (const auto& [place, count] : places) {
    list.Append().Add("place", place).Add("files", static_cast<int64_t>(count));
  }
}

}  // namespace inspect
