// A cue file in the audio file's folder, whatever it is called, whose sheet
// belongs to the audio file: the place searched when no cue file is named
// after the audio file. Rippers name the sheet after the album
// ("Artist - Album.cue" beside "CDImage.flac"), and the sheet's FILE line
// names the audio file, often with the extension it had before the rip was
// converted ("CDImage.wav").
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "tags/cue_text_source.h"
#include "tags/side_cue_file.h"

// At most this many .cue files of a folder are read in one search, the first
// by name; the others are not looked at.
inline constexpr std::size_t kMaxFolderCueFiles = 16;
// Of each, only this much is read for its FILE lines; a FILE line further in
// is not seen.
inline constexpr std::size_t kFolderCueScanBytes = 64 * 1024;

enum class FolderCueVerdict {
  kNamesThisFile,      // taken: its FILE line names the audio file, or its name with another extension
  kOnlyPair,           // taken: the folder's only cue file, naming a file that is not there
  kNamesAnotherFile,   // refused: it names another file of the folder and belongs to that one
  kNamesMissingFile,   // refused: it names a file that is not there, and is not the only pair
  kNamesOtherName,     // refused: it names a file of another name; whether that is there was not asked
  kNamesSeveralFiles,  // refused: its FILE lines name two or more different files
  kNamesNoFile,        // refused: no FILE line in what was read
  kUnreadable,         // it, or the file it names, could not be looked at
};

// One .cue file that the search read.
struct FolderCueFile {
  std::u16string path;
  platform::FileStamp stamp;  // taken before it was read
  FolderCueVerdict verdict = FolderCueVerdict::kNamesNoFile;
  std::u16string named;       // what its first FILE line names, the last path component
  std::u16string alsoNamed;   // kNamesSeveralFiles: a second file it names
};

// Why a folder was not searched.
enum class FolderCueSkip {
  kNone,
  kNamedCueFile,      // a cue file named after the audio file is there
  kEarlierUnreadable, // an earlier place could not be read: the search is repeated anyway
};

// What one search of the folder saw.
struct FolderCueSearch {
  FolderCueSkip skipped = FolderCueSkip::kNone;
  std::u16string folder;            // the folder listed; empty when none was
  platform::FileStamp folderStamp;  // taken before it was listed
  bool listed = false;
  std::size_t cueFiles = 0;            // .cue files in the folder
  std::size_t sameExtensionFiles = 0;  // other files with the audio file's extension, counted only
                                       // where the folder's one cue file names a file not there
  std::vector<FolderCueFile> read;     // the .cue files read, by name
  std::optional<std::size_t> taken;    // which of `read` belongs to the audio file
  // The taken file's text, where the search read all of it: a lookup then
  // need not read it again.
  bool takenWhole = false;
  std::u16string takenText;
  SideCueDecoding takenDecoding;
};

// The .cue files of an audio file's folder, as one listing gave them, and
// the folder's attributes, taken before it was listed.
struct FolderCueListing {
  std::u16string folder;  // the folder listed, with its separator ("." for none)
  platform::FileStamp folderStamp;
  bool listed = false;
  std::vector<std::pair<std::u16string, platform::FileStamp>> cues;  // names as listed
};

// Lists the .cue files of the folder of `audioPath`. False when the folder's
// attributes could not be taken or it could not be listed.
bool ListFolderCueFiles(const char16_t* audioPath, FolderCueListing& listing);

// Lists the folder of `audioPath` (or takes `listed`, a listing of it made
// earlier in the same lookup) and reads its .cue files in the order of
// their names, as Windows compares names, until one belongs to the audio
// file. A sheet belongs to it when every FILE line names one file, and that
// file is the audio file, or has the audio file's name with any extension
// and is not another file of the folder; or when the folder's only .cue file
// names a file that is not there and no other file of the folder has the
// audio file's extension. Names compare as Windows compares file names.
// kFound: `search.taken` is the sheet; the caller reads it as any cue file.
// kUnreadable: the folder could not be listed, or a .cue file could not be
// read and none was taken.
// Whether a file that a sheet names is in the folder is asked only where the
// answer can make the sheet the audio file's, unless `everyVerdict` asks for
// the full verdict on each (kNamesAnotherFile or kNamesMissingFile instead of
// kNamesOtherName): on a share each such question is a round trip.
CueTextOutcome FindFolderCueFile(const char16_t* audioPath, FolderCueSearch& search, bool everyVerdict = false,
                                 const FolderCueListing* listed = nullptr);

// The file named by the FILE lines of cue text: true with its last path
// component in `named` when every FILE line names the same file (as Windows
// compares names); false with `named` empty when there is none, or with
// `named` and `alsoNamed` set when two lines name different files.
bool FindNamedFile(std::u16string_view text, std::u16string& named, std::u16string& alsoNamed);
