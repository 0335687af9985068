#include "inspect/walk.h"

#include <algorithm>
#include <set>
#include <vector>

#include "inspect/system.h"
#include "platform/file.h"

namespace inspect {
namespace {

constexpr std::u16string_view kPlayable[] = {u"aac", u"aif", u"aiff", u"ape", u"fla", u"flac", u"m4a",
                                             u"mp2", u"mp3", u"mp4",  u"mpc", u"oga", u"ofr",  u"ofs",
                                             u"ogg", u"opus", u"tak", u"tta", u"wav", u"wma",  u"wv"};

// Where the identity of a folder cannot be taken, this depth still ends a
// walk that goes round through links.
constexpr int kMaxDepth = 128;

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
  if (folder.ends_with(kPathSeparator) || folder.ends_with(u'/')) return folder + name;
  return folder + kPathSeparator + name;
}

struct FolderEntry {
  std::u16string name;
  platform::EntryKind kind;
};

// The entries of a folder in the order of their names (by code unit). False,
// with the reason in `problem`, when the folder cannot be listed.
bool ListFolder(const std::u16string& folder, std::vector<FolderEntry>& entries, std::u16string& problem) {
  uint32_t error = 0;
  const bool listed = platform::ListFolder(
      folder.c_str(),
      [&entries](const platform::FolderEntry& entry) { entries.push_back({std::u16string(entry.name), entry.kind}); },
      &error);
  if (!listed) {
    problem = FolderErrorText(error);
    return false;
  }
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return true;
}

void Walk(const std::u16string& folder, int depth, std::set<FolderIdentity>& walked, WalkVisitor& visitor) {
  FolderIdentity identity;
  if (GetFolderIdentity(folder, identity) ? !walked.insert(identity).second : depth > kMaxDepth) return;
  visitor.Folder(folder);
  std::vector<FolderEntry> entries;
  std::u16string problem;
  if (!ListFolder(folder, entries, problem)) {
    visitor.FolderProblem(folder, problem);
    return;
  }
  for (const FolderEntry& entry : entries) {
    const std::u16string path = Join(folder, entry.name);
    if (entry.kind == platform::EntryKind::kFolder) {
      Walk(path, depth + 1, walked, visitor);
    } else if (IsPlayable(entry.name)) {
      visitor.File(path, entry.kind == platform::EntryKind::kFile);
    }
  }
}

}  // namespace

bool IsPlayable(std::u16string_view name) {
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos) return false;
  std::u16string extension(name.substr(dot + 1));
  for (char16_t& c : extension) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  for (std::u16string_view playable : kPlayable) {
    if (extension == playable) return true;
  }
  return false;
}

void WalkFolder(const std::u16string& root, WalkVisitor& visitor) {
  std::set<FolderIdentity> walked;
  Walk(root, 0, walked, visitor);
}

}  // namespace inspect
