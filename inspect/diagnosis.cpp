#include "inspect/diagnosis.h"

#include <algorithm>
#include <optional>

#include "inspect/file_facts.h"
#include "inspect/system.h"
#include "inspect/walk.h"
#include "platform/code_page.h"
#include "sources/folder_cue_search.h"

namespace inspect {
namespace {

using platform::FileNameOf;

constexpr int64_t kLongAudioMs = 20 * 60 * 1000;  // longer than a track, as long as an album

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }
std::u16string Number(uint64_t value) { return Widen(std::to_string(value)); }
std::u16string Quoted(std::u16string_view text) { return u"\"" + std::u16string(text) + u"\""; }

bool SameName(std::u16string_view a, std::u16string_view b) { return platform::CompareFileNames(a, b) == 0; }

std::u16string_view Stem(std::u16string_view name) {
  const std::size_t dot = name.rfind(u'.');
  return dot == std::u16string_view::npos ? name : name.substr(0, dot);
}

// The cue file named after the audio file, as a fix names it.
std::u16string OwnCueName(std::u16string_view audio) { return std::u16string(Stem(FileNameOf(audio))) + u".cue"; }

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trimmed(std::u16string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  return line;
}

// The lines of cue text as the parser numbers them: ending at LF, CR LF or
// a CR alone.
std::vector<std::u16string_view> Lines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = text.find_first_of(u"\r\n", at);
    if (end == std::u16string_view::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 1 + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n');
  }
  return lines;
}

// Whether the line's first word is `keyword` in any letter case, and in
// capitals.
bool StartsWithWord(std::u16string_view line, std::u16string_view keyword, bool& capitals) {
  if (line.size() < keyword.size() || (line.size() > keyword.size() && !IsBlank(line[keyword.size()]))) return false;
  capitals = true;
  for (std::size_t i = 0; i < keyword.size(); ++i) {
    char16_t c = line[i];
    if (c >= u'a' && c <= u'z') {
      capitals = false;
      c = static_cast<char16_t>(c - 32);
    }
    if (c != keyword[i]) return false;
  }
  return true;
}

// What to call a place in a sentence, and how to fill it.
struct PlaceWords {
  std::u16string name;
  std::u16string fill;
};

PlaceWords WordsFor(const CueSourceReport& place) {
  switch (place.source) {
    case CueSource::kAPEv2Item:
      return {u"the APEv2 CUESHEET item", u"write the album's cue sheet into the CUESHEET item, or remove the item"};
    case CueSource::kFLACComment:
      return {u"the CUESHEET comment", u"write the album's cue sheet into the CUESHEET comment, or remove the comment"};
    case CueSource::kFLACCueBlock:
      return {u"the FLAC CUESHEET block",
              u"write the album's cue sheet as a comment: metaflac --set-tag-from-file=CUESHEET=Album.cue"};
    case CueSource::kSideFile:
    case CueSource::kFolderCueFile: break;
  }
  const std::u16string name(FileNameOf(place.path));
  return {Quoted(name), u"write the album's cue sheet into " + Quoted(name) + u", or delete it"};
}

// The cue text of a place, read again as the lookup read it.
bool ReadPlaceText(const std::u16string& audio, const CueSourceReport& place, std::u16string& text) {
  switch (place.source) {
    case CueSource::kAPEv2Item: return ReadAPEv2Cue(audio.c_str(), text).status == APECueStatus::kFound;
    case CueSource::kFLACComment: {
      FLACCueData data;
      ReadFLACCueData(audio.c_str(), data);
      if (data.status != FLACReadStatus::kRead || !data.hasComment) return false;
      text = std::move(data.commentText);
      return true;
    }
    case CueSource::kSideFile:
    case CueSource::kFolderCueFile: return ReadCueFile(place.path.c_str(), text) == CueTextOutcome::kFound;
    case CueSource::kFLACCueBlock: break;
  }
  return false;
}

constexpr char16_t kCapitalsFix[] = u"write the keywords in capitals: TRACK, INDEX, TITLE, PERFORMER, FILE";

Finding LowerCase(const PlaceWords& where, std::size_t line, std::u16string_view text) {
  return {"lowercase-keywords",
          u"line " + Number(line) + u" of " + where.name + u" reads " + Quoted(Trimmed(text)) +
              u": the plug-in reads keywords in capitals only",
          kCapitalsFix};
}

// Why the parse of cue text stopped at `stop`: what the stopped track's
// lines hold in place of an INDEX 01 line.
Finding Stopped(const PlaceWords& where, const std::vector<std::u16string_view>& lines, const CueParseStop& stop) {
  const std::u16string track = u"track " + Number(static_cast<uint64_t>(stop.track));
  const std::u16string before = stop.track > 2   ? u"; only the " + Number(static_cast<uint64_t>(stop.track) - 1) +
                                                       u" tracks before it work"
                                 : stop.track == 2 ? u"; only track 1 works"
                                                   : u", so the sheet has no track";
  std::optional<std::size_t> index00;
  for (std::size_t i = static_cast<std::size_t>(stop.line); i < lines.size(); ++i) {
    const std::u16string_view line = Trimmed(lines[i]);
    bool capitals = false;
    if (line.starts_with(u"TRACK ")) break;
    if (!StartsWithWord(line, u"INDEX", capitals)) continue;
    const std::u16string_view rest = Trimmed(line.substr(5));
    const std::u16string_view number = rest.substr(0, std::min(rest.size(), rest.find_first_of(u" \t")));
    const bool digits = !number.empty() && number.find_first_not_of(u"0123456789") == std::u16string_view::npos;
    const std::size_t nonZero = number.find_first_not_of(u'0');
    const bool one = digits && nonZero != std::u16string_view::npos && number.substr(nonZero) == u"1";
    if (one && !capitals) return LowerCase(where, i + 1, lines[i]);
    if (one) {
      return {"parse-stopped",
              track + u" stops at line " + Number(i + 1) + u", " + Quoted(line) +
                  u": the plug-in reads only \"INDEX 01\", with one blank and two digits" + before,
              u"write \"INDEX 01\" on line " + Number(i + 1) + u" of " + where.name};
    }
    if (digits && nonZero == std::u16string_view::npos && !index00.has_value()) index00 = i + 1;
  }
  if (index00.has_value()) {
    return {"parse-stopped",
            track + u", from line " + Number(static_cast<uint64_t>(stop.line)) + u" of " + where.name +
                u", has INDEX 00 (line " + Number(*index00) + u") but no INDEX 01 line" + before,
            u"add \"INDEX 01 mm:ss:ff\", the track's start, to " + track + u" after line " + Number(*index00)};
  }
  return {"parse-stopped",
          track + u", from line " + Number(static_cast<uint64_t>(stop.line)) + u" of " + where.name +
              u", has no INDEX 01 line" + before,
          u"add \"INDEX 01 mm:ss:ff\", the track's start, to " + track + u" (line " +
              Number(static_cast<uint64_t>(stop.line)) + u")"};
}

// Why cue text gave no track, or where its parse stopped.
Finding TextFinding(std::u16string text, const PlaceWords& where, const CueParseStop* stop) {
  if (text.starts_with(u'\uFEFF')) text.erase(0, 1);
  const std::vector<std::u16string_view> lines = Lines(text);
  if (stop != nullptr && stop->track > 0) return Stopped(where, lines, *stop);
  if (Trimmed(text).find_first_not_of(u"\r\n") == std::u16string_view::npos) {
    return {"empty-sheet", where.name + u" is empty", where.fill};
  }
  CueSheet sheet;
  CueParseStop own;
  if (!sheet.Parse(text, &own) && own.track > 0) return Stopped(where, lines, own);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    bool capitals = false;
    const std::u16string_view line = Trimmed(lines[i]);
    if (StartsWithWord(line, u"TRACK", capitals) && !capitals) {
      return LowerCase(where, i + 1, lines[i]);
    }
  }
  return {"empty-sheet", where.name + u" holds cue text without a TRACK line", where.fill};
}

Finding Unreadable(std::u16string what, const std::u16string& path) {
  const std::u16string error = OpenErrorText(path);
  return {"unreadable", what + (error.empty() ? u"" : u": " + error),
          u"close the program that holds it, or give yourself the right to read it, then check again"};
}

std::u16string OverLimit() { return u"over the " + Number(kCueTextLimit / (1024 * 1024)) + u" MiB limit for cue text"; }

// Whether the cue file at `cuePath` is named after another file of the
// folder, as that file's own cue file (place 3 or 4 of that file).
bool NamedAfterAnotherFile(std::u16string_view cuePath, std::u16string_view audio, const FolderListing* listing) {
  if (listing == nullptr) return false;
  const std::u16string_view stem = Stem(FileNameOf(cuePath));
  const std::u16string prefix = std::u16string(stem) + u'.';
  const std::vector<std::u16string>& names = listing->FileNames();
  auto at = std::lower_bound(names.begin(), names.end(), prefix,
                             [](const std::u16string& a, const std::u16string& b) { return platform::CompareFileNames(a, b) < 0; });
  for (; at != names.end() && at->size() > prefix.size() && SameName(std::u16string_view(*at).substr(0, prefix.size()), prefix);
       ++at) {
    if (!SameName(*at, FileNameOf(audio)) && !SameName(*at, FileNameOf(cuePath)) && IsPlayable(*at)) return true;
  }
  return false;
}

// Whether a cue file that the folder search refused may be this file's own:
// not named after another file of the folder, and naming a file that is not
// there, or none, in a folder with at least as many cue files as files of
// this kind.
bool MayBeOwn(const FolderCueSearch& folder, const FolderCueFile& file, std::u16string_view audio,
              const FolderListing* listing) {
  return folder.sameExtensionFiles + 1 <= folder.cueFiles && !NamedAfterAnotherFile(file.path, audio, listing);
}

// A cue file of the folder past the first kMaxFolderCueFiles by name whose
// FILE line names this file, or its name with another extension.
std::optional<std::u16string> OwnCueFilePastLimit(std::u16string_view audio, FolderListing* listing) {
  if (listing == nullptr) return std::nullopt;
  const std::u16string_view name = FileNameOf(audio);
  for (std::size_t i = kMaxFolderCueFiles; i < listing->CueFiles().size(); ++i) {
    const FolderCueHead& head = listing->Head(i);
    if (!head.read || !head.namesOne) continue;
    if (SameName(head.named, name) || (Stem(head.named).size() < head.named.size() && SameName(Stem(head.named), Stem(name)))) {
      return listing->Entries()[listing->CueFiles()[i]].name;
    }
  }
  return std::nullopt;
}

// What the folder search's refusals say of this file, where one of them may
// be its own cue sheet.
std::optional<Finding> FolderFinding(const std::u16string& audio, const FolderCueSearch& folder, FolderListing* listing) {
  const std::u16string own = OwnCueName(audio);
  if (folder.cueFiles > folder.read.size()) {
    if (const auto found = OwnCueFilePastLimit(audio, listing)) {
      return Finding{"cue-limit",
                     Quoted(*found) + u" names this file, but the folder holds " + Number(folder.cueFiles) +
                         u" cue files and the plug-in reads only the first " + Number(kMaxFolderCueFiles) + u" by name",
                     u"rename " + Quoted(*found) + u" to " + Quoted(own)};
    }
  }
  for (const FolderCueFile& file : folder.read) {
    const std::u16string name = Quoted(FileNameOf(file.path));
    switch (file.verdict) {
      case FolderCueVerdict::kNamesMissingFile:
        if (!MayBeOwn(folder, file, audio, listing)) break;
        return Finding{"names-missing-file",
                       name + u" names " + Quoted(file.named) + u", which is not in the folder; with " +
                           Number(folder.cueFiles) + u" cue files and " + Number(folder.sameExtensionFiles + 1) +
                           u" files of this kind there, the plug-in cannot tell whose it is",
                       u"if " + name + u" is this file's cue sheet, rename it to " + Quoted(own)};
      case FolderCueVerdict::kNamesNoFile:
        if (!MayBeOwn(folder, file, audio, listing)) break;
        return Finding{"names-no-file",
                       name + u" has no FILE line in its first " + Number(kFolderCueScanBytes / 1024) +
                           u" KiB, so the plug-in cannot tell whose it is",
                       u"if " + name + u" is this file's cue sheet, rename it to " + Quoted(own)};
      case FolderCueVerdict::kNamesSeveralFiles:
        if (folder.sameExtensionFiles > 0) break;  // a per-track rip's sheet
        return Finding{"names-several-files",
                       name + u" names more than one file, " + Quoted(file.named) + u" and " + Quoted(file.alsoNamed) +
                           u": the plug-in takes a cue sheet only for one file",
                       u"if " + name + u" is this file's cue sheet, keep only one FILE line, naming " +
                           Quoted(FileNameOf(audio)) + u", and rename it to " + Quoted(own)};
      case FolderCueVerdict::kNamesAnotherFile:
        if (folder.sameExtensionFiles > 0) break;  // the sheet of another disc or track
        return Finding{"names-other-file",
                       name + u" names " + Quoted(file.named) + u", another file of this folder, and belongs to it",
                       u"if " + name + u" is this file's cue sheet, change its FILE line to " + Quoted(FileNameOf(audio)) +
                           u" and rename it to " + Quoted(own)};
      case FolderCueVerdict::kNamesThisFile:
      case FolderCueVerdict::kOnlyPair:
      case FolderCueVerdict::kNamesOtherName:  // not given here: the inspector asks for every verdict in full
      case FolderCueVerdict::kUnreadable: break;
    }
  }
  return std::nullopt;
}

// The first place in the lookup's order that held cue text the plug-in did
// not take, and why.
std::optional<Finding> PlaceFinding(const std::u16string& path, const CueLookupReport& lookup, const FileFacts& facts,
                                    FolderListing* listing, const InspectOptions& options) {
  for (const CueSourceReport& place : lookup.sources) {
    if (!place.consulted) continue;
    const PlaceWords where = WordsFor(place);
    if (place.noTrack) {
      std::u16string text;
      if (place.source == CueSource::kFLACCueBlock || !ReadPlaceText(path, place, text)) {
        return Finding{"empty-sheet", where.name + u" holds no track that can be timed", where.fill};
      }
      return TextFinding(std::move(text), where, nullptr);
    }
    switch (place.source) {
      case CueSource::kAPEv2Item:
        if (place.ape.status == APECueStatus::kTooLarge) {
          return Finding{"over-limit", where.name + u" holds " + Number(place.ape.itemBytes) + u" bytes, " + OverLimit(),
                         u"shorten the cue sheet of the CUESHEET item below 4 MiB"};
        }
        break;
      case CueSource::kFLACComment:
        switch (place.flac) {
          case FLACReadStatus::kLibraryMissing:
            if (!facts.flac) break;
            return Finding{"libflac-missing", NoLibFLAC(options) + u", so its FLAC comments and blocks are not read",
                           u"install libFLAC.dll from the Sheetwalk package beside winamp.exe (or beside "
                           u"sheetwalk-inspect.exe)"};
          case FLACReadStatus::kRefused:
            return Finding{"flac-refused",
                           u"libFLAC refuses the file's metadata" + (facts.damage.empty() ? u"" : u": " + facts.damage),
                           u"restore the file from its source, or decode and encode it again with flac"};
          case FLACReadStatus::kTooManyBlocks:
            return Finding{"flac-refused",
                           u"the file has more than " + Number(kMaxFLACBlocks) +
                               u" metadata blocks, more than the plug-in reads",
                           u"remove the needless metadata blocks (metaflac --list shows them)"};
          case FLACReadStatus::kNotFLAC:
            if (!facts.flac) break;
            return Finding{"damaged-audio",
                           u"it is named as a FLAC file but is none" + (facts.damage.empty() ? u"" : u": " + facts.damage),
                           u"restore the file from its source"};
          case FLACReadStatus::kRead:
            if (place.commentTooLarge) {
              return Finding{"over-limit", u"its comment block is too large to read, " + OverLimit(),
                             u"move large comments (a cover stored as a comment) out of the file, or shorten its "
                             u"CUESHEET comment"};
            }
            break;
          case FLACReadStatus::kUnreadable: break;
        }
        break;
      case CueSource::kSideFile:
        if (place.outcome == CueTextOutcome::kAbsent && place.bytes > kCueTextLimit) {
          return Finding{"over-limit", where.name + u" holds " + Number(place.bytes) + u" bytes, " + OverLimit(),
                         u"shorten " + where.name + u" below 4 MiB"};
        }
        break;
      case CueSource::kFolderCueFile:
        if (place.folder.listed) {
          if (auto found = FolderFinding(path, place.folder, listing)) return found;
        }
        break;
      case CueSource::kFLACCueBlock: break;
    }
  }
  if (facts.misplacedCueTag) {
    return Finding{"tag-misplaced",
                   u"an APEv2 tag with a CUESHEET item is followed by " + Number(facts.bytesAfterTag) +
                       u" other bytes; the plug-in reads a tag only at the end of the file or right before an ID3v1 tag",
                   u"write the tags again with a tagger, so that the APEv2 tag ends the file"};
  }
  return std::nullopt;
}

Finding UnreadableFinding(const std::u16string& path, const CueLookupReport& lookup) {
  for (const CueSourceReport& place : lookup.sources) {
    if (!place.consulted || place.outcome != CueTextOutcome::kUnreadable) continue;
    switch (place.source) {
      case CueSource::kAPEv2Item:
      case CueSource::kFLACComment:
      case CueSource::kFLACCueBlock: return Unreadable(u"the file could not be read", path);
      case CueSource::kSideFile:
        if (CheckInput(place.path) == InputState::kNotRegular) {
          return {"unreadable", Quoted(FileNameOf(place.path)) + u" is there, but not a regular file",
                  u"replace " + Quoted(FileNameOf(place.path)) + u" by a cue file, or remove it"};
        }
        return Unreadable(Quoted(FileNameOf(place.path)) + u" is there, but could not be read", place.path);
      case CueSource::kFolderCueFile:
        if (!place.folder.listed) return Unreadable(u"its folder could not be listed", place.folder.folder);
        for (const FolderCueFile& file : place.folder.read) {
          if (file.verdict == FolderCueVerdict::kUnreadable) {
            return Unreadable(Quoted(FileNameOf(file.path)) + u", a cue file of its folder, could not be read", file.path);
          }
        }
        break;
    }
  }
  return Unreadable(u"the file could not be read", path);
}

// ---- Warnings --------------------------------------------------------------

enum class Script { kLatin, kCyrillic, kOther };

Script ScriptOf(uint32_t codePage) {
  switch (codePage) {
    case 1250: case 1252: case 1254: case 1257: case 1258: return Script::kLatin;
    case 1251: case 866: case 20866: case 21866: return Script::kCyrillic;
    default: return Script::kOther;
  }
}

bool ReadsCleanly(const std::u16string& text) {
  return std::none_of(text.begin(), text.end(), [](char16_t c) {
    return c == 0xFFFD || (c >= 0x80 && c <= 0x9F) || (c >= 0xE000 && c <= 0xF8FF);
  });
}

// The bytes of a cue file, as the lookup read them: at most kCueTextLimit.
bool ReadWholeFile(const std::u16string& path, std::string& bytes) {
  platform::File file;
  uint64_t size = 0;
  if (!file.Open(path.c_str(), platform::FileAccess::kSequential) || !file.GetSize(size) || size > kCueTextLimit) {
    return false;
  }
  bytes.assign(static_cast<std::size_t>(size), '\0');
  uint32_t got = 0;
  return file.Read(bytes.data(), static_cast<uint32_t>(size), got) && got == size;
}

// A letter of the scripts that the 8-bit code pages write.
bool IsLetter(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
  if (c < 0x100) return c == 0xAA || c == 0xB5 || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
  return (c < 0x2B0) || (c >= 0x386 && c < 0x3FF && c != 0x387) || (c >= 0x400 && c < 0x530 && (c < 0x482 || c > 0x489)) ||
         (c >= 0x5D0 && c <= 0x5EA) || (c >= 0x620 && c <= 0x64A) || (c >= 0xE01 && c <= 0xE30) ||
         (c >= 0x1E00 && c < 0x2000);
}

// Whether two readings of the same bytes are both plausible: where they
// differ, each has a letter.
bool BothPlausible(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && (!IsLetter(a[i]) || !IsLetter(b[i]))) return false;
  }
  return true;
}

bool InWord(char16_t c) { return IsLetter(c) || (c >= u'0' && c <= u'9') || c == u'\'' || c == u'-'; }

// The word around the first place where two readings of the same bytes, of
// the same length, differ, in each.
std::pair<std::u16string, std::u16string> FirstDifference(const std::u16string& a, const std::u16string& b) {
  std::size_t at = 0;
  while (at < a.size() && a[at] == b[at]) ++at;
  std::size_t begin = at, end = at;
  while (begin > 0 && InWord(a[begin - 1]) && InWord(b[begin - 1])) --begin;
  while (end < a.size() && InWord(a[end]) && InWord(b[end]) && end - begin < 40) ++end;
  return {a.substr(begin, end - begin), b.substr(begin, end - begin)};
}

std::optional<Finding> CodePageCloseCall(const CueSourceReport& winner) {
  if ((winner.source != CueSource::kSideFile && winner.source != CueSource::kFolderCueFile) ||
      winner.decoding.encoding != CueTextEncoding::kCodePage) {
    return std::nullopt;
  }
  const CodePageChoice& choice = winner.decoding.codePage;
  const uint32_t system = platform::AnsiCodePageNumber();
  std::vector<std::pair<uint32_t, std::u16string>> rivals;
  if (choice.detectedCodePage != 0 && choice.detectedCodePage != choice.codePage) {
    rivals.emplace_back(choice.detectedCodePage, u"the detector's answer");
  }
  if (system != choice.codePage && system != choice.detectedCodePage && ScriptOf(system) == ScriptOf(choice.codePage) &&
      ScriptOf(system) != Script::kOther) {
    rivals.emplace_back(system, u"the system's");
  }
  if (rivals.empty()) return std::nullopt;
  std::string bytes;
  if (!ReadWholeFile(winner.path, bytes)) return std::nullopt;
  std::u16string chosen;
  if (!platform::DecodeCodePage(bytes, choice.codePage, chosen)) return std::nullopt;
  std::u16string why = u"the code page was a close call: code page " + Number(choice.codePage) + u" was taken";
  bool close = false;
  for (const auto& [codePage, whose] : rivals) {
    std::u16string other;
    if (!platform::DecodeCodePage(bytes, codePage, other) || !ReadsCleanly(other) || other == chosen ||
        !BothPlausible(chosen, other)) {
      continue;
    }
    close = true;
    const auto [mine, theirs] = FirstDifference(chosen, other);
    why += u" (" + Quoted(mine) + u"), but " + whose + u" code page " + Number(codePage) + u" reads it as well (" +
           Quoted(theirs) + u")";
  }
  if (!close) return std::nullopt;
  return Finding{"code-page-close-call", why,
                 u"check the titles; if they look wrong, save " + Quoted(FileNameOf(winner.path)) + u" as UTF-8"};
}

void AddWarnings(const std::u16string& path, const CueLookupReport& lookup, const CueSheet* sheet,
                 const FileFacts& facts, std::vector<Finding>& warnings) {
  if (facts.opened && facts.size == 0) {
    warnings.push_back({"empty-audio", u"the audio file is empty (0 bytes): the player cannot play it",
                        u"restore the audio file from its source, or rip it again"});
  } else if (!facts.damage.empty()) {
    warnings.push_back({"damaged-audio", u"the audio file is damaged: " + facts.damage,
                        u"restore the audio file from its source, or rip it again"});
  } else if (lookup.sources.size() > 1 && lookup.sources[1].flac == FLACReadStatus::kRefused) {
    warnings.push_back({"damaged-audio", u"libFLAC refuses the file's metadata: the player may not play it",
                        u"restore the audio file from its source, or decode and encode it again with flac"});
  }
  if (sheet != nullptr && facts.lengthKnown) {
    std::size_t past = 0;
    const CueTrack* first = nullptr;
    for (const auto& [start, track] : sheet->tracks) {
      if (start < facts.lengthMs) continue;
      if (first == nullptr) first = &track;
      ++past;
    }
    if (first != nullptr) {
      warnings.push_back(
          {"track-past-end",
           u"track " + Number(static_cast<uint64_t>(first->number)) + u" starts at " + FormatPosition(first->start) +
               u", after the end of the audio at " + FormatPosition(static_cast<int32_t>(facts.lengthMs)) +
               (past > 1 ? u" (" + Number(past) + u" tracks do)" : u""),
           u"check that the cue sheet belongs to this file, and correct the INDEX 01 of track " +
               Number(static_cast<uint64_t>(first->number))});
    }
  }
  for (const CueSourceReport& place : lookup.sources) {
    if (place.consulted && place.outcome == CueTextOutcome::kFound) {
      if (auto close = CodePageCloseCall(place)) warnings.push_back(std::move(*close));
      break;
    }
  }
  std::u16string_view rest(path);
  if (rest.starts_with(u"\\\\?\\")) rest.remove_prefix(4);
  while (!rest.empty()) {
    std::size_t end = 0;
    while (end < rest.size() && !platform::IsPathSeparator(rest[end])) ++end;
    const std::u16string_view name = rest.substr(0, end);
    if (NameUnreachable(name)) {
      std::u16string_view kept = name;
      while (!kept.empty() && (kept.back() == u'.' || kept.back() == u' ')) kept.remove_suffix(1);
      warnings.push_back({"unreachable-name",
                          Quoted(name) + u" ends in a dot or a space: Windows programs that open files by their usual "
                                         u"paths, Winamp among them, cannot open it",
                          u"rename " + Quoted(name) + u" to " + Quoted(kept)});
      break;
    }
    rest.remove_prefix(std::min(rest.size(), end + 1));
  }
}

}  // namespace

bool NeedsAPerson(std::u16string_view code) {
  return code != u"none" && code != u"per-track" && code != u"image-without-sheet";
}

std::u16string NoLibFLAC(const InspectOptions& options) {
  std::u16string path;
  if (const char* missing = GetFLACMissingFunction(path)) {
    return u"libFLAC.dll" + (path.empty() ? u"" : u" at " + path) + u" lacks the function " + Widen(missing) +
           u" that the plug-in needs";
  }
  std::u16string where;
  bool unloadable = false;
  for (const FLACCandidate& candidate : options.flacCandidates) {
    where += candidate.path + (candidate.problem.empty() ? u"" : u" (" + candidate.problem + u")") + u", then ";
    unloadable = unloadable || !candidate.problem.empty();
  }
  return (unloadable ? u"libFLAC.dll could not be loaded (looked for: " : u"libFLAC.dll not found (looked for: ") +
         where + u"the system's search for libFLAC.dll)";
}

Diagnosis Diagnose(const std::u16string& path, const CueLookupReport& lookup, const CueSheet* sheet,
                   FolderListing* listing, const InspectOptions& options) {
  Diagnosis result;
  const CueSourceReport* winner = nullptr;
  bool unreadable = false;
  for (const CueSourceReport& place : lookup.sources) {
    if (!place.consulted) continue;
    if (place.outcome == CueTextOutcome::kFound && winner == nullptr) winner = &place;
    unreadable = unreadable || place.outcome == CueTextOutcome::kUnreadable;
  }
  const bool stopped = winner != nullptr && !lookup.parseComplete;
  result.verdict = stopped ? u"stopped" : sheet != nullptr ? u"navigable" : unreadable ? u"unreadable" : u"no-sheet";
  const bool apeAbsent = !lookup.sources.empty() && lookup.sources[0].ape.status == APECueStatus::kNoTag;
  // Only the headers of FLAC and WAV files tell more than the size, which
  // the listing of the folder tells.
  platform::FileStamp stamp;
  const std::u16string_view extension = FileNameOf(path).substr(Stem(FileNameOf(path)).size());
  const bool headerTells = SameName(extension, u".flac") || SameName(extension, u".fla") || SameName(extension, u".wav");
  std::size_t others = 0;
  for (const CueSourceReport& place : lookup.sources) {
    if (place.source == CueSource::kFolderCueFile && place.folder.listed) others = place.folder.sameExtensionFiles;
  }
  // An APEv2 tag out of its place is looked for where a sheet could be
  // missed for it: not in a file of a per-track rip of a format whose own
  // tags are other than APEv2.
  const bool apeFormat = SameName(extension, u".ape") || SameName(extension, u".wv") || SameName(extension, u".mpc") ||
                         SameName(extension, u".ofr") || SameName(extension, u".ofs") || SameName(extension, u".tak") ||
                         SameName(extension, u".tta");
  const bool lookForTag = apeAbsent && sheet == nullptr && (others == 0 || apeFormat);
  if (!headerTells && !lookForTag && listing != nullptr && listing->FindStamp(path, stamp) && stamp.exists) {
    result.facts.opened = true;
    result.facts.size = stamp.size;
  } else {
    result.facts = ReadFileFacts(path, lookForTag);
  }
  const FileFacts& facts = result.facts;

  if (sheet != nullptr || stopped) AddWarnings(path, lookup, sheet, facts, result.warnings);
  if (stopped) {
    std::u16string text;
    const PlaceWords where = WordsFor(*winner);
    result.reason = ReadPlaceText(path, *winner, text)
                        ? TextFinding(std::move(text), where, &lookup.parseStop)
                        : Finding{"parse-stopped", u"the parse of " + where.name + u" stopped at track " +
                                                       Number(static_cast<uint64_t>(lookup.parseStop.track)),
                                  u"add \"INDEX 01\" to track " + Number(static_cast<uint64_t>(lookup.parseStop.track))};
    return result;
  }
  if (sheet != nullptr) {
    result.reason = result.warnings.empty()
                        ? Finding{"none",
                                  sheet->tracks.size() == 1
                                      ? std::u16string(u"its cue sheet has one track")
                                      : u"Previous and Next jump between its " + Number(sheet->tracks.size()) +
                                            u" cue tracks",
                                  u"none needed"}
                        : result.warnings.front();
    return result;
  }
  if (unreadable) {
    result.reason = UnreadableFinding(path, lookup);
    return result;
  }
  if (facts.opened && facts.size == 0) {
    result.reason = {"empty-audio", u"the audio file is empty (0 bytes)",
                     u"restore the audio file from its source, or rip it again"};
    return result;
  }
  if (auto found = PlaceFinding(path, lookup, facts, listing, options)) {
    result.reason = std::move(*found);
    return result;
  }
  if (!facts.damage.empty()) {
    result.reason = {"damaged-audio", u"the audio file is damaged: " + facts.damage,
                     u"restore the audio file from its source, or rip it again"};
    return result;
  }
  const bool long_ = facts.lengthKnown && facts.lengthMs >= kLongAudioMs;
  const std::u16string own = OwnCueName(path);
  if (others > 0 && !long_) {
    result.reason = {"per-track",
                     u"one of " + Number(others + 1) +
                         u" audio files of its kind in the folder, with no cue text of its own: a per-track rip, "
                         u"where each file is a track",
                     u"none needed; for an album in one file, put its cue sheet beside it as " + Quoted(own)};
  } else {
    result.reason = {"image-without-sheet",
                     (long_ ? u"an audio file of " + FormatPosition(static_cast<int32_t>(facts.lengthMs))
                            : std::u16string(u"an audio file")) +
                         u" with no cue text in its tags or its folder",
                     u"if it holds an album, put the album's cue sheet beside it as " + Quoted(own)};
  }
  return result;
}

}  // namespace inspect
