// The folder walk of a library check: every file that the player plays,
// under a folder and all its subfolders.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "inspect/system.h"

class FolderListing;

namespace inspect {

// Whether the player plays a file of this name, by its extension (any
// letter case): ape aac aif aiff fla flac m4a mp2 mp3 mp4 mpc oga ofr ofs ogg
// opus tak tta wav wma wv. A .cue file is not among them: the report of its
// audio file covers it.
bool IsPlayable(std::u16string_view name);

class WalkVisitor {
 public:
  // A folder that the walk enters, before its files.
  virtual void Folder(const std::u16string& path) = 0;
  // A playable file; `regular` is false for a FIFO, a device or a socket,
  // which must not be opened. `listing` is its folder's, for the lookup's
  // folder search; it lives until the walk leaves the folder. `folder` is
  // the folder's identity, null where it cannot be taken.
  virtual void File(const std::u16string& path, bool regular, FolderListing& listing,
                    const FolderIdentity* folder) = 0;
  // A folder that cannot be listed; the walk goes on without it.
  virtual void FolderProblem(const std::u16string& path, const std::u16string& problem) = 0;

 protected:
  ~WalkVisitor() = default;
};

// Walks `root` and its subfolders, each folder's entries in the order of
// their names (by code unit), each folder listed once. Links and junctions
// to folders are followed, but a folder in `walked` (by its identity, however
// it was reached) is not walked again, so a link that leads back up ends
// there, and a folder of an earlier walk is not walked twice.
void WalkFolder(const std::u16string& root, WalkVisitor& visitor, std::set<FolderIdentity>& walked);

// The path of a folder as the paths of its files begin: with a separator at
// the end.
std::u16string FolderPrefix(const std::u16string& folder);

}  // namespace inspect
