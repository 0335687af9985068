#include "navigation/navigator.h"

namespace {

// How far ahead of the position a track already counts as playing.
constexpr int32_t kPlayingMargin = CueSheet::kAheadMargin;

TitleTagAnswer Number(int32_t value) { return {TitleTagAnswer::Kind::kNumber, value, nullptr}; }
TitleTagAnswer Text(const std::u16string& value) { return {TitleTagAnswer::Kind::kText, 0, &value}; }

// The fields beyond the first six answer only where the sheet has a value:
// unlike a track's title, a missing date has no empty value to show.
TitleTagAnswer TextIfCarried(const std::u16string& value) { return value.empty() ? TitleTagAnswer{} : Text(value); }

}  // namespace

bool FindJumpTarget(const CueSheet& sheet, CueCommand command, int32_t position, int32_t& target) {
  if (position < 0) {
    return false;
  }
  int32_t start = 0;
  const CueTrack* track = nullptr;
  const bool found = command == CueCommand::kNext ? sheet.FindNextTrack(position, start, track)
                                                  : sheet.FindPreviousTrack(position, start, track);
  if (!found) {
    return false;
  }
  target = start;
  return true;
}

const CueTrack* FindPlayingTrack(const CueSheet& sheet, int32_t position) {
  if (position < 0) {
    return nullptr;
  }
  int32_t start = 0;
  const CueTrack* track = nullptr;
  return sheet.FindTrackBefore(position, kPlayingMargin, start, track) ? track : nullptr;
}

bool IsTrackChange(const CueTrack* lastSeen, const CueTrack& current) {
  // The same track object, the usual case while a track plays, needs no
  // string comparison.
  return lastSeen != &current && (lastSeen == nullptr || !(*lastSeen == current));
}

namespace {
constexpr TitleTagName kTitleTags[] = {
    {u"subnum", TitleTag::kNumber},         {u"subnumtotal", TitleTag::kNumberTotal},
    {u"subtitle", TitleTag::kTitle},        {u"subartist", TitleTag::kArtist},
    {u"submaintitle", TitleTag::kMainTitle}, {u"submainartist", TitleTag::kMainArtist},
    {u"subdate", TitleTag::kDate},          {u"subgenre", TitleTag::kGenre},
    {u"subcomposer", TitleTag::kComposer},  {u"subdisc", TitleTag::kDisc},
    {u"subdisctotal", TitleTag::kDiscTotal},
};
}  // namespace

std::span<const TitleTagName> TitleTagNames() { return kTitleTags; }

TitleTag FindTitleTag(std::u16string_view name) {
  for (const auto& entry : kTitleTags) {
    if (name == entry.name) {
      return entry.tag;
    }
  }
  return TitleTag::kNone;
}

TitleTagAnswer AnswerTitleTag(TitleTag tag, const CueSheet& sheet, const CueTrack& track) {
  // The player knows the titles of a file whose sheet has only track starts
  // from its own tags; empty answers would hide them.
  if (!sheet.carriesText && tag != TitleTag::kNumber && tag != TitleTag::kNumberTotal) {
    return {};
  }
  switch (tag) {
    case TitleTag::kNumber: return Number(track.number);
    case TitleTag::kNumberTotal: return Number(track.trackCount);
    case TitleTag::kTitle: return Text(track.title);
    // A sheet whose every track has the album's performer leaves the artist
    // to the player, which knows it from the file's own tags.
    case TitleTag::kArtist: return sheet.singlePerformer != 0 ? TitleTagAnswer{} : Text(track.performer);
    case TitleTag::kMainTitle: return Text(*track.albumTitle);
    case TitleTag::kMainArtist: return Text(*track.albumPerformer);
    case TitleTag::kDate: return TextIfCarried(sheet.albumDate);
    case TitleTag::kGenre: return TextIfCarried(sheet.albumGenre);
    case TitleTag::kComposer:
      return TextIfCarried(track.composer.empty() ? sheet.albumComposer : track.composer);
    case TitleTag::kDisc: return TextIfCarried(sheet.discNumber);
    case TitleTag::kDiscTotal: return TextIfCarried(sheet.totalDiscs);
    case TitleTag::kNone: break;
  }
  return {};
}
