#include "sources/folder_cue_search.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "sources/side_cue_file.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimBlanks(std::u16string_view text) {
  while (!text.empty() && (IsBlank(text.front()) || text.front() == u'\r')) text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == u'\r')) text.remove_suffix(1);
  return text;
}

// The last name of a path written on Windows, as a FILE line names a file.
std::u16string_view LastComponent(std::u16string_view path) {
  std::size_t at = path.size();
  while (at > 0 && !IsSeparator(path[at - 1])) --at;
  return path.substr(at);
}

// The extension with its dot, or nothing for a name without a dot.
std::u16string_view Extension(std::u16string_view name) {
  const std::size_t dot = name.rfind(u'.');
  return dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot);
}

bool SameName(std::u16string_view a, std::u16string_view b) { return platform::CompareFileNames(a, b) == 0; }

bool IsCueName(std::u16string_view name) {
  return name.size() > 4 && SameName(name.substr(name.size() - 4), u".cue");
}

// A name that no file of a Windows folder can have, so no file of the
// folder is asked for: it could reach a stream or a device.
bool CannotBeAFileName(std::u16string_view name) {
  if (name.empty() || name == u"." || name == u"..") return true;
  return std::any_of(name.begin(), name.end(), [](char16_t c) {
    return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*';
  });
}

// The file name of a FILE line's value: quoted, up to the closing quote;
// unquoted, the words before the file type (the last word), or the one word.
std::u16string_view FileLineName(std::u16string_view value) {
  value = TrimBlanks(value);
  if (!value.empty() && value.front() == u'"') {
    value.remove_prefix(1);
    return TrimBlanks(value.substr(0, value.find(u'"')));
  }
  const std::size_t lastBlank = value.find_last_of(u" \t");
  if (lastBlank != std::u16string_view::npos) value = TrimBlanks(value.substr(0, lastBlank));
  return value;
}

// The first kFolderCueScanBytes of a cue file, decoded as a cue file is;
// `size` is the file's size as its folder was listed. `whole` tells whether
// that was all of it.
bool ReadHead(const char16_t* path, uint64_t size, std::u16string& text, SideCueDecoding& decoding, bool& whole) {
  platform::File file;
  if (!file.Open(path, platform::FileAccess::kSequential)) return false;
  try {
    // As much as the listing gave: asked for more, a system may read again
    // to learn that the file ends there, another round trip on a share.
    const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(size, kFolderCueScanBytes));
    std::string bytes(want, '\0');
    uint32_t got = 0;
    if (!file.Read(bytes.data(), static_cast<uint32_t>(bytes.size()), got)) return false;
    whole = got == size && size <= kFolderCueScanBytes;
    text = DecodeSideCueText(bytes.data(), std::min<std::size_t>(got, kFolderCueScanBytes), &decoding);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

struct Folder {
  std::u16string prefix;  // the audio path up to its last separator, with it
  std::u16string_view audioName;
  const FolderListing* walk = nullptr;  // a listing of the folder kept by the caller, or none
};

enum class Presence { kThere, kNotThere, kUnknown };

Presence FileInFolder(const Folder& folder, std::u16string_view name) {
  if (CannotBeAFileName(name)) return Presence::kNotThere;
  platform::FileStamp stamp;
  const std::u16string path = folder.prefix + std::u16string(name);
  if ((folder.walk == nullptr || !folder.walk->FindStamp(path, stamp)) && !platform::GetFileStamp(path.c_str(), stamp)) {
    return Presence::kUnknown;
  }
  return stamp.exists && !stamp.directory ? Presence::kThere : Presence::kNotThere;
}

// The other files of the folder with the audio file's extension, asked for
// only where the folder's one cue file names a file that is not there.
bool CountSameExtensionFiles(const Folder& folder, FolderCueSearch& search) {
  const std::u16string_view extension = Extension(folder.audioName);
  if (CannotBeAFileName(extension) || extension.find_first_of(u"*?") != std::u16string_view::npos) return true;
  if (folder.walk != nullptr) {
    search.sameExtensionFiles = folder.walk->CountExtension(extension);
    search.sameExtensionFiles -= std::min(search.sameExtensionFiles, folder.walk->CountName(folder.audioName));
    return true;
  }
  search.sameExtensionFiles = 0;
  return platform::ListFolder(
      search.folder.c_str(),
      [&](const platform::FolderEntry& entry) {
        if (entry.kind != platform::EntryKind::kFolder && SameName(Extension(entry.name), extension) &&
            !SameName(entry.name, folder.audioName)) {
          ++search.sameExtensionFiles;
        }
      },
      nullptr, extension);
}

// The verdict on a cue file of the folder from what its FILE lines name
// (`file.named`, `file.alsoNamed`).
FolderCueVerdict JudgeNamed(const Folder& folder, FolderCueSearch& search, FolderCueFile& file, bool namesOne,
                            bool everyVerdict) {
  if (!namesOne) {
    return file.named.empty() ? FolderCueVerdict::kNamesNoFile : FolderCueVerdict::kNamesSeveralFiles;
  }
  if (SameName(file.named, folder.audioName)) return FolderCueVerdict::kNamesThisFile;
  const std::u16string_view named(file.named);
  const std::u16string_view audioExtension = Extension(folder.audioName);
  const std::u16string_view audioStem = folder.audioName.substr(0, folder.audioName.size() - audioExtension.size());
  const std::u16string_view namedExtension = Extension(named);
  const bool sameStem = !namedExtension.empty() && SameName(named.substr(0, named.size() - namedExtension.size()), audioStem);
  // Another name, in a folder of several cue files: refused whether or not
  // that file is there.
  if (!sameStem && search.cueFiles != 1 && !everyVerdict) return FolderCueVerdict::kNamesOtherName;
  switch (FileInFolder(folder, named)) {
    case Presence::kThere: return FolderCueVerdict::kNamesAnotherFile;
    case Presence::kUnknown: return FolderCueVerdict::kUnreadable;
    case Presence::kNotThere: break;
  }
  if (sameStem) return FolderCueVerdict::kNamesThisFile;
  if (search.cueFiles != 1) return FolderCueVerdict::kNamesMissingFile;
  if (!everyVerdict && folder.walk == nullptr && !CountSameExtensionFiles(folder, search)) {
    return FolderCueVerdict::kUnreadable;
  }
  if (search.sameExtensionFiles == 0) return FolderCueVerdict::kOnlyPair;
  return FolderCueVerdict::kNamesMissingFile;
}

FolderCueVerdict Judge(const Folder& folder, FolderCueSearch& search, FolderCueFile& file, bool everyVerdict) {
  std::u16string text;
  SideCueDecoding decoding;
  bool whole = false;
  if (!ReadHead(file.path.c_str(), file.stamp.size, text, decoding, whole)) return FolderCueVerdict::kUnreadable;
  const bool namesOne = FindNamedFile(text, file.named, file.alsoNamed);
  const FolderCueVerdict verdict = JudgeNamed(folder, search, file, namesOne, everyVerdict);
  if ((verdict == FolderCueVerdict::kNamesThisFile || verdict == FolderCueVerdict::kOnlyPair) && whole) {
    search.takenWhole = true;
    search.takenText = std::move(text);
    search.takenDecoding = decoding;
  }
  return verdict;
}

bool FileNameLess(std::u16string_view a, std::u16string_view b) { return platform::CompareFileNames(a, b) < 0; }

// Entries of a listing by their names, as Windows orders names.
struct EntryNameLess {
  const std::vector<FolderListing::Entry>& entries;
  bool operator()(std::size_t a, std::u16string_view b) const { return FileNameLess(entries[a].name, b); }
  bool operator()(std::u16string_view a, std::size_t b) const { return FileNameLess(a, entries[b].name); }
};

// Names equal but for letter case exist only where the file system tells
// case apart; they are then taken in code unit order.
bool CueOrder(std::u16string_view a, std::u16string_view b) {
  const int order = platform::CompareFileNames(a, b);
  return order != 0 ? order < 0 : a < b;
}

}  // namespace

bool FindNamedFile(std::u16string_view text, std::u16string& named, std::u16string& alsoNamed) {
  named.clear();
  alsoNamed.clear();
  while (!text.empty()) {
    // Lines end at LF, CR LF or a CR alone, as the parser reads them.
    const std::size_t end = text.find_first_of(u"\r\n");
    std::u16string_view line = TrimBlanks(text.substr(0, end));
    text = end == std::u16string_view::npos ? std::u16string_view() : text.substr(end + 1);
    if (line.size() < 5 || !line.starts_with(u"FILE") || !IsBlank(line[4])) continue;
    const std::u16string_view name = LastComponent(FileLineName(line.substr(5)));
    if (name.empty()) continue;
    if (named.empty()) {
      named.assign(name);
    } else if (!SameName(named, name)) {
      alsoNamed.assign(name);
      return false;
    }
  }
  return !named.empty();
}

FolderCueHead ReadFolderCueHead(const char16_t* path, uint64_t size) {
  FolderCueHead head;
  std::u16string text;
  SideCueDecoding decoding;
  bool whole = false;
  head.read = ReadHead(path, size, text, decoding, whole);
  if (head.read) head.namesOne = FindNamedFile(text, head.named, head.alsoNamed);
  return head;
}

bool ListFolderCueFiles(const char16_t* audioPath, FolderCueListing& listing) {
  listing = FolderCueListing{};
  if (audioPath == nullptr || *audioPath == u'\0') return false;
  const std::u16string_view path(audioPath);
  const std::u16string_view audioName = platform::FileNameOf(path);
  if (audioName.empty()) return false;
  const std::u16string_view prefix = path.substr(0, path.size() - audioName.size());
  // With its separator: "C:\" is the drive's root, "C:" the drive's current
  // folder, and a share's root "\\server\share" has no attributes without it.
  listing.folder = prefix.empty() ? std::u16string(u".") : std::u16string(prefix);
  if (!platform::GetFileStamp(listing.folder.c_str(), listing.folderStamp)) return false;
  // Only the .cue files are listed: the system then looks up nothing else
  // of a folder that may hold thousands of files.
  listing.listed = platform::ListFolder(
      listing.folder.c_str(),
      [&](const platform::FolderEntry& entry) {
        if (IsCueName(entry.name)) listing.cues.emplace_back(entry.name, entry.stamp);
      },
      nullptr, u".cue");
  if (!listing.listed) listing.cues.clear();
  return listing.listed;
}

CueTextOutcome FindFolderCueFile(const char16_t* audioPath, FolderCueSearch& search, FolderListing* walk,
                                 bool everyVerdict, const FolderCueListing* listed) {
  search = FolderCueSearch{};
  if (audioPath == nullptr || *audioPath == u'\0') return CueTextOutcome::kAbsent;
  const std::u16string_view path(audioPath);
  Folder folder;
  folder.audioName = platform::FileNameOf(path);
  folder.prefix.assign(path.substr(0, path.size() - folder.audioName.size()));
  if (folder.audioName.empty()) return CueTextOutcome::kAbsent;
  if (walk != nullptr && walk->Usable() && walk->Prefix() == folder.prefix) {
    // The walk's listing answers for the folder, and each cue file's FILE
    // lines are read once for every file of the folder.
    folder.walk = walk;
    search.folder = folder.prefix.empty() ? std::u16string(u".") : folder.prefix;
    search.folderStamp = walk->FolderStamp();
    search.listed = true;
    search.cueFiles = walk->CueFiles().size();
    CountSameExtensionFiles(folder, search);
    bool unreadable = false;
    const std::size_t count = std::min(search.cueFiles, kMaxFolderCueFiles);
    for (std::size_t i = 0; i < count; ++i) {
      const FolderListing::Entry& entry = walk->Entries()[walk->CueFiles()[i]];
      FolderCueFile& file = search.read.emplace_back();
      file.path = folder.prefix + entry.name;
      file.stamp = entry.stamp;
      if (!file.stamp.exists) {
        file.verdict = FolderCueVerdict::kUnreadable;
      } else if (const FolderCueHead& head = walk->Head(i); !head.read) {
        file.verdict = FolderCueVerdict::kUnreadable;
      } else {
        file.named = head.named;
        file.alsoNamed = head.alsoNamed;
        file.verdict = JudgeNamed(folder, search, file, head.namesOne, everyVerdict);
      }
      if (file.verdict == FolderCueVerdict::kNamesThisFile || file.verdict == FolderCueVerdict::kOnlyPair) {
        search.taken = i;
        return CueTextOutcome::kFound;
      }
      unreadable = unreadable || file.verdict == FolderCueVerdict::kUnreadable;
    }
    return unreadable ? CueTextOutcome::kUnreadable : CueTextOutcome::kAbsent;
  }
  FolderCueListing own;
  if (listed == nullptr || !listed->listed) {
    ListFolderCueFiles(audioPath, own);
    listed = &own;
  }
  search.folder = listed->folder;
  search.folderStamp = listed->folderStamp;
  search.listed = listed->listed;
  if (!search.listed) return CueTextOutcome::kUnreadable;
  // A report tells how many other files have this file's extension.
  if (everyVerdict && !CountSameExtensionFiles(folder, search)) return CueTextOutcome::kUnreadable;
  // A folder with a cue file's name is listed (it stands for a side cue
  // name there), but it is no cue file of the folder.
  std::vector<std::pair<std::u16string, platform::FileStamp>> cues;
  for (const auto& cue : listed->cues) {
    if (!cue.second.directory) cues.push_back(cue);
  }
  search.cueFiles = cues.size();
  // Names equal but for letter case exist only where the file system tells
  // case apart; they are then taken in code unit order.
  const std::size_t count = std::min(cues.size(), kMaxFolderCueFiles);
  std::partial_sort(cues.begin(), cues.begin() + static_cast<std::ptrdiff_t>(count), cues.end(),
                    [](const auto& a, const auto& b) {
                      const int order = platform::CompareFileNames(a.first, b.first);
                      return order != 0 ? order < 0 : a.first < b.first;
                    });

  bool unreadable = false;
  for (std::size_t i = 0; i < count; ++i) {
    FolderCueFile& file = search.read.emplace_back();
    file.path = folder.prefix + cues[i].first;
    file.stamp = cues[i].second;  // as listed, before it is read
    file.verdict = file.stamp.exists ? Judge(folder, search, file, everyVerdict) : FolderCueVerdict::kUnreadable;
    if (file.verdict == FolderCueVerdict::kNamesThisFile || file.verdict == FolderCueVerdict::kOnlyPair) {
      search.taken = i;
      return CueTextOutcome::kFound;
    }
    unreadable = unreadable || file.verdict == FolderCueVerdict::kUnreadable;
  }
  return unreadable ? CueTextOutcome::kUnreadable : CueTextOutcome::kAbsent;
}

bool FolderListing::List(std::u16string prefix, uint32_t* error) {
  prefix_ = std::move(prefix);
  entries_.clear();
  fileNames_.clear();
  extensions_.clear();
  cueFiles_.clear();
  byName_.clear();
  heads_.clear();
  const std::u16string folder = prefix_.empty() ? std::u16string(u".") : prefix_;
  stamped_ = platform::GetFileStamp(folder.c_str(), stamp_);
  listed_ = platform::ListFolder(
      folder.c_str(),
      [this](const platform::FolderEntry& entry) { entries_.push_back({std::u16string(entry.name), entry.kind, entry.stamp}); },
      error);
  if (!listed_) {
    entries_.clear();
    return false;
  }
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& entry = entries_[i];
    if (entry.kind == platform::EntryKind::kFolder) continue;
    fileNames_.push_back(entry.name);
    if (IsCueName(entry.name)) cueFiles_.push_back(i);
    extensions_.emplace_back(Extension(entry.name), 1);
  }
  std::sort(fileNames_.begin(), fileNames_.end(), FileNameLess);
  byName_.resize(entries_.size());
  for (std::size_t i = 0; i < byName_.size(); ++i) byName_[i] = i;
  std::sort(byName_.begin(), byName_.end(),
            [this](std::size_t a, std::size_t b) { return FileNameLess(entries_[a].name, entries_[b].name); });
  std::sort(cueFiles_.begin(), cueFiles_.end(),
            [this](std::size_t a, std::size_t b) { return CueOrder(entries_[a].name, entries_[b].name); });
  heads_.resize(cueFiles_.size());
  // One count per extension, as Windows compares them.
  std::sort(extensions_.begin(), extensions_.end(), [](const auto& a, const auto& b) { return FileNameLess(a.first, b.first); });
  std::size_t kept = 0;
  for (std::size_t i = 0; i < extensions_.size(); ++i) {
    if (kept > 0 && SameName(extensions_[kept - 1].first, extensions_[i].first)) {
      ++extensions_[kept - 1].second;
    } else if (kept++ != i) {
      extensions_[kept - 1] = std::move(extensions_[i]);
    }
  }
  extensions_.resize(kept);
  return true;
}

std::size_t FolderListing::CountExtension(std::u16string_view extension) const {
  const auto found = std::lower_bound(extensions_.begin(), extensions_.end(), extension,
                                      [](const auto& a, std::u16string_view b) { return FileNameLess(a.first, b); });
  return found != extensions_.end() && SameName(found->first, extension) ? found->second : 0;
}

std::size_t FolderListing::CountName(std::u16string_view name) const {
  const auto [first, last] = std::equal_range(fileNames_.begin(), fileNames_.end(), name, FileNameLess);
  return static_cast<std::size_t>(last - first);
}

bool FolderListing::FindStamp(std::u16string_view path, platform::FileStamp& stamp) const {
  if (!Usable() || !path.starts_with(prefix_)) return false;
  const std::u16string_view name = path.substr(prefix_.size());
  if (name.empty() || std::any_of(name.begin(), name.end(), platform::IsPathSeparator)) return false;
  const auto [first, last] = std::equal_range(byName_.begin(), byName_.end(), name, EntryNameLess{entries_});
  for (auto at = first; at != last; ++at) {
    if (entries_[*at].name == name) {
      stamp = entries_[*at].stamp;
      return true;
    }
  }
  if (first != last) return false;
  stamp = platform::FileStamp{};
  return true;
}

const FolderCueHead& FolderListing::Head(std::size_t i) {
  if (!heads_[i].has_value()) {
    const Entry& entry = entries_[cueFiles_[i]];
    heads_[i] = ReadFolderCueHead((prefix_ + entry.name).c_str(), entry.stamp.size);
  }
  return *heads_[i];
}
