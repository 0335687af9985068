#include "inspect/walk.h"

#include <algorithm>
#include <set>
#include <vector>

#include "inspect/system.h"
#include "platform/file.h"
#include "sources/folder_cue_search.h"

namespace inspect {
namespace {

constexpr std::u16string_view kPlayable[] = {u"aac", u"aif", u"aiff", u"ape", u"fla", u"flac", u"m4a",
                                             u"mp2", u"mp3", u"mp4",  u"mpc", u"oga", u"ofr",  u"ofs",
                                             u"ogg", u"opus", u"tak", u"tta", u"wav", u"wma",  u"wv"};

// Where the identity of a folder cannot be taken, this depth still ends a
// walk that goes round through links.
constexpr int kMaxDepth = 128;

void Walk(const std::u16string& folder, int depth, std::set<FolderIdentity>& walked, WalkVisitor& visitor) {
  FolderIdentity identity;
  const bool known = GetFolderIdentity(folder, identity);
  if (known ? !walked.insert(identity).second : depth > kMaxDepth) return;
  visitor.Folder(folder);
  FolderListing listing;
  uint32_t error = 0;
  if (!listing.List(FolderPrefix(folder), &error)) {
    visitor.FolderProblem(folder, FolderErrorText(error));
    return;
  }
  const std::vector<FolderListing::Entry>& entries = listing.Entries();
  std::vector<std::size_t> order(entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&entries](std::size_t a, std::size_t b) { return entries[a].name < entries[b].name; });
  for (const std::size_t i : order) {
    const FolderListing::Entry& entry = entries[i];
    if (entry.kind == platform::EntryKind::kFolder) {
      Walk(EntryPath(listing.Prefix(), entry.name), depth + 1, walked, visitor);
    } else if (IsPlayable(entry.name)) {
      visitor.File(listing.Prefix() + entry.name, entry.kind == platform::EntryKind::kFile, listing,
                   known ? &identity : nullptr);
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

void WalkFolder(const std::u16string& root, WalkVisitor& visitor, std::set<FolderIdentity>& walked) {
  Walk(root, 0, walked, visitor);
}

std::u16string FolderPrefix(const std::u16string& folder) {
  if (folder.empty() || folder.ends_with(kPathSeparator) || folder.ends_with(u'/')) return folder;
  return folder + kPathSeparator;
}

}  // namespace inspect
