#include "inspect/inspection.h"

#include <cstdio>

#include "inspect/diagnosis.h"
#include "navigation/cue_sheet_cache.h"
#include "navigation/navigator.h"
#include "platform/code_page.h"
#include "text/text_conversion.h"

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

bool ParsePosition(std::u16string_view text, int32_t& milliseconds) {
  // The fraction: one to three digits after a dot.
  int64_t fraction = 0;
  if (const std::size_t dot = text.find(u'.'); dot != std::u16string_view::npos) {
    const std::u16string_view digits = text.substr(dot + 1);
    if (digits.empty() || digits.size() > 3) return false;
    for (std::size_t i = 0; i < 3; ++i) {
      if (i < digits.size() && !IsDigit(digits[i])) return false;
      fraction = fraction * 10 + (i < digits.size() ? digits[i] - u'0' : 0);
    }
    text = text.substr(0, dot);
  }
  // Up to three fields: the first of any length, the others of two digits
  // below 60.
  int64_t total = 0;
  int fields = 0;
  while (true) {
    const std::size_t colon = text.find(u':');
    const std::u16string_view field = text.substr(0, colon);
    if (field.empty() || (fields > 0 && field.size() != 2) || ++fields > 3) return false;
    int64_t value = 0;
    for (const char16_t c : field) {
      if (!IsDigit(c) || value > INT32_MAX) return false;
      value = value * 10 + (c - u'0');
    }
    if (fields > 1 && value >= 60) return false;
    total = total * 60 + value;
    if (total > INT32_MAX) return false;
    if (colon == std::u16string_view::npos) break;
    text = text.substr(colon + 1);
  }
  total = total * 1000 + fraction;
  if (total > INT32_MAX) return false;
  milliseconds = static_cast<int32_t>(total);
  return true;
}

std::u16string FormatPosition(int32_t milliseconds) {
  char text[32];
  const char* sign = milliseconds < 0 ? "-" : "";
  const int64_t magnitude = milliseconds < 0 ? -int64_t{milliseconds} : int64_t{milliseconds};
  std::snprintf(text, sizeof text, "%s%lld:%02lld.%03lld", sign, static_cast<long long>(magnitude / 60000),
                static_cast<long long>(magnitude / 1000 % 60), static_cast<long long>(magnitude % 1000));
  const std::string ascii(text);
  return std::u16string(ascii.begin(), ascii.end());
}

namespace {

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }
std::u16string Number(uint64_t value) { return Widen(std::to_string(value)); }

// The six places, as the user guide names them.
const char* PlaceName(const std::u16string& audio, const CueSourceReport& place) {
  std::u16string wholeName;
  switch (place.source) {
    case CueSource::kAPEv2Item: return "APEv2 tag, item CUESHEET";
    case CueSource::kFLACComment: return "FLAC comment CUESHEET";
    case CueSource::kSideFile:
      return GetWholeNameCuePath(audio.c_str(), wholeName) && wholeName == place.path
                 ? "cue file named after the whole file name"
                 : "cue file named after the audio file";
    case CueSource::kFolderCueFile: return "cue file in the folder whose FILE line names the audio file";
    case CueSource::kFLACCueBlock: return "FLAC CUESHEET block";
  }
  return "";
}

const char* OutcomeName(const CueSourceReport& place) {
  if (!place.consulted) return "not looked at";
  switch (place.outcome) {
    case CueTextOutcome::kFound: return "found";
    case CueTextOutcome::kAbsent: return "absent";
    case CueTextOutcome::kUnreadable: return "unreadable";
  }
  return "";
}

std::u16string OverLimit() {
  return u", over the " + Number(kCueTextLimit / (1024 * 1024)) + u" MiB limit for cue text";
}

std::u16string Quoted(std::u16string_view name) { return u"\"" + std::u16string(name) + u"\""; }

std::u16string FolderReason(const CueSourceReport& place) {
  const FolderCueSearch& folder = place.folder;
  switch (folder.skipped) {
    case FolderCueSkip::kNamedCueFile: return u"not searched: a cue file named after the audio file is there";
    case FolderCueSkip::kEarlierUnreadable:
      return u"not searched while an earlier place could not be read; the search is repeated after a second";
    case FolderCueSkip::kNone: break;
  }
  if (!folder.listed) return u"the folder could not be listed";
  switch (place.outcome) {
    case CueTextOutcome::kFound: return u"read, " + Number(place.bytes) + u" bytes";
    case CueTextOutcome::kUnreadable: return u"a cue file there could not be read";
    case CueTextOutcome::kAbsent: break;
  }
  if (folder.cueFiles == 0) return u"no cue file in the folder";
  return u"no cue file of the folder belongs to this file";
}

// Why the folder search took or refused one cue file.
std::u16string Verdict(const FolderCueSearch& folder, const FolderCueFile& file) {
  switch (file.verdict) {
    case FolderCueVerdict::kNamesThisFile:
      return u"taken: its FILE line names " + Quoted(file.named) + u", this file or its name with another extension";
    case FolderCueVerdict::kOnlyPair:
      return u"taken: its FILE line names " + Quoted(file.named) +
             u", which is not in the folder; it is the folder's only cue file, and no other file there has this "
             u"file's extension";
    case FolderCueVerdict::kNamesAnotherFile:
      return u"refused: its FILE line names " + Quoted(file.named) + u", another file of this folder, which it belongs to";
    case FolderCueVerdict::kNamesMissingFile:
      return u"refused: its FILE line names " + Quoted(file.named) + u", which is not this file and not in the folder; " +
             (folder.cueFiles > 1 ? Number(folder.cueFiles) + u" cue files are in the folder"
                                  : Number(folder.sameExtensionFiles) + u" other files there have this file's extension");
    case FolderCueVerdict::kNamesOtherName:
      return u"refused: its FILE line names " + Quoted(file.named) + u", not this file";
    case FolderCueVerdict::kNamesSeveralFiles:
      return u"refused: its FILE lines name more than one file: " + Quoted(file.named) + u" and " + Quoted(file.alsoNamed);
    case FolderCueVerdict::kNamesNoFile:
      return u"refused: no FILE line in its first " + Number(kFolderCueScanBytes / 1024) + u" KiB";
    case FolderCueVerdict::kUnreadable: return u"it, or the file it names, could not be read";
  }
  return {};
}

void AddFolderSearch(ReportObject& row, const FolderCueSearch& folder) {
  if (!folder.listed) return;
  row.Add("folder", folder.folder).Add("cue_files_in_folder", static_cast<int64_t>(folder.cueFiles));
  ReportList& read = row.AddList("cue_files_read");
  for (const FolderCueFile& file : folder.read) read.Append().Add("path", file.path).Add("verdict", Verdict(folder, file));
  if (folder.cueFiles > folder.read.size() && !folder.taken.has_value()) {
    row.Add("not_read", Number(folder.cueFiles - folder.read.size()) + u" cue files after the first " +
                            Number(kMaxFolderCueFiles) + u" by name");
  }
}

std::u16string Reason(const CueSourceReport& place, const InspectOptions& options, const inspect::FileFacts& facts) {
  if (!place.consulted) return u"an earlier place gave the cue sheet";
  if (place.noTrack) {
    return place.source == CueSource::kFLACCueBlock ? u"a CUESHEET block without a track that can be timed"
                                                    : u"cue text without any track";
  }
  switch (place.source) {
    case CueSource::kAPEv2Item: {
      const std::u16string where = place.ape.beforeID3v1 ? u" (the tag stands before an ID3v1 tag)" : u"";
      switch (place.ape.status) {
        case APECueStatus::kNoTag:
          if (facts.misplacedCueTag) {
            return u"an APEv2 tag with a CUESHEET item, but followed by " + Number(facts.bytesAfterTag) +
                   u" other bytes: the plug-in reads a tag only at the end of the file or right before an ID3v1 tag";
          }
          return u"no APEv2 tag at the end of the file, nor right before an ID3v1 tag";
        case APECueStatus::kNoItem: return u"an APEv2 tag without a CUESHEET item" + where;
        case APECueStatus::kFound: return u"a CUESHEET item of " + Number(place.ape.itemBytes) + u" bytes" + where;
        case APECueStatus::kUnreadable: return u"the file could not be read";
        case APECueStatus::kTooLarge: return u"a CUESHEET item of " + Number(place.ape.itemBytes) + u" bytes" + OverLimit();
      }
      break;
    }
    case CueSource::kFLACComment:
      switch (place.flac) {
        case FLACReadStatus::kLibraryMissing: return inspect::NoLibFLAC(options);
        case FLACReadStatus::kNotFLAC: return u"not a FLAC file";
        case FLACReadStatus::kTooManyBlocks:
          return u"a FLAC file of more than " + Number(kMaxFLACBlocks) +
                 u" metadata blocks, more than the plug-in reads";
        case FLACReadStatus::kUnreadable: return u"the file could not be opened";
        case FLACReadStatus::kRefused: return u"libFLAC refused the FLAC metadata (a damaged block)";
        case FLACReadStatus::kRead:
          if (place.commentTooLarge) return u"a comment block or CUESHEET comment left unread" + OverLimit();
          return place.outcome == CueTextOutcome::kFound ? u"a CUESHEET comment" : u"no CUESHEET comment";
      }
      break;
    case CueSource::kSideFile:
      switch (place.outcome) {
        case CueTextOutcome::kFound: return u"read, " + Number(place.bytes) + u" bytes";
        case CueTextOutcome::kAbsent:
          return place.bytes > kCueTextLimit ? Number(place.bytes) + u" bytes" + OverLimit() : u"no such file";
        case CueTextOutcome::kUnreadable:
          return inspect::CheckInput(place.path) == inspect::InputState::kNotRegular
                     ? u"there, but not a regular file"
                     : u"there, but it could not be read";
      }
      break;
    case CueSource::kFolderCueFile: return FolderReason(place);
    case CueSource::kFLACCueBlock:
      return u"a CUESHEET block of " + Number(place.blockTracks) + u" tracks besides the lead-out";
  }
  return {};
}

void AddCodePage(ReportObject& decoding, const CodePageChoice& choice, const std::u16string& what) {
  const std::u16string system = Number(platform::AnsiCodePageNumber());
  decoding.Add("encoding", u"code page " + Number(choice.codePage));
  decoding.Add("detector", choice.detected.empty() ? std::u16string(u"no answer")
                                                   : ToWideString(choice.detected, platform::CodePage::kUtf8));
  std::u16string why;
  switch (choice.reason) {
    case CodePageReason::kDetected: why = u"the detector's answer reads the sheet best"; break;
    case CodePageReason::kSystem: why = u"the system's code page " + system + u" reads it as well as any other"; break;
    case CodePageReason::kMostPlausible: why = u"it reads the sheet better than the detector's answer"; break;
    case CodePageReason::kFallback: why = u"no code page reads it cleanly: the system's code page " + system; break;
  }
  decoding.Add("reason", what + u"; " + why);
}

void AddDecoding(ReportObject& out, const CueLookupReport& report, const CueSourceReport& winner) {
  ReportObject& decoding = out.AddObject("decoding");
  if (winner.source == CueSource::kFLACCueBlock) {
    decoding.Add("encoding", "none").Add("reason", "the block holds track times, no text");
    return;
  }
  if (winner.source == CueSource::kAPEv2Item && winner.ape.codePage.used) {
    AddCodePage(decoding, winner.ape.codePage.choice, u"an APEv2 value that is no UTF-8");
    return;
  }
  if (winner.source == CueSource::kFLACComment && winner.flacCodePage.used) {
    AddCodePage(decoding, winner.flacCodePage.choice, u"a FLAC comment that is no UTF-8");
    return;
  }
  if (winner.source != CueSource::kSideFile && winner.source != CueSource::kFolderCueFile) {
    decoding.Add("encoding", report.droppedByteOrderMark ? "UTF-8 with a BOM" : "UTF-8")
        .Add("reason", "tag text is UTF-8 by the tag format");
    return;
  }
  const SideCueDecoding& how = winner.decoding;
  const std::u16string counts = Number(how.invalidBytes) + u" bytes that are no UTF-8, " +
                                Number(how.validMultiByte) + u" UTF-8 characters of two or more bytes";
  switch (how.encoding) {
    case CueTextEncoding::kUtf8:
      decoding.Add("encoding", report.droppedByteOrderMark ? "UTF-8 with a BOM" : "UTF-8")
          .Add("reason", u"no byte order mark; " + counts);
      break;
    case CueTextEncoding::kUtf8WithBOM:
      decoding.Add("encoding", "UTF-8 with a BOM").Add("reason", "the file starts with EF BB BF");
      break;
    case CueTextEncoding::kUtf16LE:
      decoding.Add("encoding", "UTF-16 LE").Add("reason", "the file starts with FF FE");
      break;
    case CueTextEncoding::kUtf16BE:
      decoding.Add("encoding", "UTF-16 BE").Add("reason", "the file starts with FE FF");
      break;
    case CueTextEncoding::kUtf16LEWithoutBOM:
      decoding.Add("encoding", "UTF-16 LE").Add("reason", "no byte order mark; zero bytes in every other place");
      break;
    case CueTextEncoding::kUtf16BEWithoutBOM:
      decoding.Add("encoding", "UTF-16 BE").Add("reason", "no byte order mark; zero bytes in every other place");
      break;
    case CueTextEncoding::kCodePage:
      AddCodePage(decoding, how.codePage,
                  u"no byte order mark, and more bytes that are no UTF-8 than UTF-8 characters (" + counts + u")");
      break;
  }
}

void AddText(ReportObject& out, std::string_view name, const std::u16string& value) {
  if (!value.empty()) out.Add(name, value);
}

void AddSheet(ReportObject& out, const CueSheet& sheet) {
  ReportObject& fields = out.AddObject("sheet");
  fields.Add("title", sheet.albumTitle).Add("performer", sheet.albumPerformer);
  fields.Add("single_performer", sheet.singlePerformer != 0);
  fields.Add("carries_text", sheet.carriesText);
  AddText(fields, "date", sheet.albumDate);
  AddText(fields, "genre", sheet.albumGenre);
  AddText(fields, "composer", sheet.albumComposer);
  AddText(fields, "disc", sheet.discNumber);
  AddText(fields, "disc_total", sheet.totalDiscs);
  ReportList& tracks = fields.AddList("tracks");
  for (const auto& [start, track] : sheet.tracks) {
    ReportObject& row = tracks.Append();
    row.Add("number", int64_t{track.number}).Add("start", FormatPosition(start));
    row.Add("title", track.title).Add("performer", track.performer);
    AddText(row, "composer", track.composer);
  }
}

void AddJump(ReportObject& out, std::string_view name, const CueSheet& sheet, CueCommand command, int32_t at) {
  int32_t target = 0;
  if (FindJumpTarget(sheet, command, at, target)) {
    out.Add(name, u"seeks to " + FormatPosition(target));
  } else {
    out.Add(name, "left to the player");
  }
}

void AddPosition(ReportObject& out, const CueSheet* sheet, int32_t at) {
  ReportObject& there = out.AddObject("at");
  there.Add("position", FormatPosition(at));
  const CueTrack* playing = sheet != nullptr ? FindPlayingTrack(*sheet, at) : nullptr;
  if (playing != nullptr) {
    there.Add("playing_track", int64_t{playing->number});
  } else {
    there.Add("playing_track", "none");
  }
  if (sheet != nullptr) {
    AddJump(there, "previous", *sheet, CueCommand::kPrevious, at);
    AddJump(there, "next", *sheet, CueCommand::kNext, at);
  } else {
    there.Add("previous", "left to the player").Add("next", "left to the player");
  }
  ReportList& tags = there.AddList("tags");
  for (const TitleTagName& tag : TitleTagNames()) {
    ReportObject& row = tags.Append();
    row.Add("name", tag.name);
    const TitleTagAnswer answer =
        playing != nullptr ? AnswerTitleTag(tag.tag, *sheet, *playing) : TitleTagAnswer{};
    switch (answer.kind) {
      case TitleTagAnswer::Kind::kNumber: row.Add("answer", Number(static_cast<uint64_t>(answer.number))); break;
      case TitleTagAnswer::Kind::kText: row.Add("answer", *answer.text); break;
      case TitleTagAnswer::Kind::kPlayer: row.Add("answer", "left to the player"); break;
    }
    row.Add("left_to_player", answer.kind == TitleTagAnswer::Kind::kPlayer);
  }
}

}  // namespace

bool InspectFile(const std::u16string& path, const InspectOptions& options, ReportObject& report,
                 FolderListing* listing) {
  CueSheetCache cache;
  CueLookupReport lookup;
  const CueSheet* sheet = cache.GetCueSheet(path.c_str(), lookup, listing);
  const CueSourceReport* winner = nullptr;
  for (const CueSourceReport& place : lookup.sources) {
    if (place.consulted && place.outcome == CueTextOutcome::kFound) winner = &place;
  }
  // A cue file whose parse stopped is answered from the second lookup on.
  const bool secondLookup = sheet == nullptr && winner != nullptr;
  if (secondLookup) sheet = cache.GetCueSheet(path.c_str());
  const inspect::Diagnosis diagnosis = inspect::Diagnose(path, lookup, sheet, listing, options);

  report.Add("file", path);
  ReportList& places = report.AddList("sources");
  for (const CueSourceReport& place : lookup.sources) {
    ReportObject& row = places.Append();
    row.Add("place", PlaceName(path, place));
    if ((place.source == CueSource::kSideFile || place.source == CueSource::kFolderCueFile) && !place.path.empty()) {
      row.Add("path", place.path);
    }
    row.Add("outcome", OutcomeName(place)).Add("reason", Reason(place, options, diagnosis.facts));
    if (place.consulted && place.source == CueSource::kFolderCueFile) AddFolderSearch(row, place.folder);
  }

  std::u16string flacPath;
  if (GetFLACLibraryPath(flacPath)) {
    report.Add("libflac", flacPath);
  } else {
    report.Add("libflac", inspect::NoLibFLAC(options));
  }

  if (winner != nullptr) {
    AddDecoding(report, lookup, *winner);
    ReportObject& parse = report.AddObject("parse");
    parse.Add("complete", lookup.parseComplete);
    if (!lookup.parseComplete) {
      parse.Add("stopped_at_track", int64_t{lookup.parseStop.track}).Add("stopped_at_line", int64_t{lookup.parseStop.line});
      parse.Add("reason", u"track " + Number(static_cast<uint64_t>(lookup.parseStop.track)) + u", from line " +
                              Number(static_cast<uint64_t>(lookup.parseStop.line)) + u", has no INDEX 01 line");
    }
  }
  if (secondLookup && sheet != nullptr) {
    report.Add("note", "the plug-in uses this sheet from its second look at the file, a fifth of a second after "
                       "the file starts playing: the tracks before the stop work");
  }
  report.Add("navigable", sheet != nullptr);
  report.Add("verdict", diagnosis.verdict);
  report.Add("reason", diagnosis.reason.code.c_str()).Add("why", diagnosis.reason.why);
  report.Add("fix", diagnosis.reason.fix);
  ReportList& warnings = report.AddList("warnings");
  for (const inspect::Finding& warning : diagnosis.warnings) {
    warnings.Append().Add("code", warning.code.c_str()).Add("why", warning.why).Add("fix", warning.fix);
  }
  if (sheet != nullptr) AddSheet(report, *sheet);
  if (options.at.has_value()) AddPosition(report, sheet, *options.at);
  return sheet != nullptr;
}
