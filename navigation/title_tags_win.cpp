// The six title tags of the cue track playing now, slipped into the player's
// title formatting for the playing file.
#include <cwchar>

#include "plugin/rudara_plugin.h"

namespace {
enum class SubTag { kNone, kNumber, kNumberTotal, kTitle, kArtist, kMainTitle, kMainArtist };

SubTag FindSubTag(const wchar_t* name) {
  static constexpr struct {
    const wchar_t* name;
    SubTag tag;
  } kTags[] = {
      {L"subnum", SubTag::kNumber},         {L"subnumtotal", SubTag::kNumberTotal},
      {L"subtitle", SubTag::kTitle},        {L"subartist", SubTag::kArtist},
      {L"submaintitle", SubTag::kMainTitle}, {L"submainartist", SubTag::kMainArtist},
  };
  for (const auto& entry : kTags) {
    if (std::wcscmp(name, entry.name) == 0) return entry.tag;
  }
  return SubTag::kNone;
}
}  // namespace

bool CRUDARAPlugin::HookTitleFormat(WPARAM wParam, LPARAM, LRESULT*) {
  auto* request = reinterpret_cast<TitleFormatRequest*>(wParam);
  if (request == nullptr || request->fileName == nullptr) return false;
  // A request that already carries the plug-in's functions keeps the player's
  // saved ones: saving its own would make every other tag call itself.
  if (request->tagFunction == &StaticGetTitleTag) return false;
  const wchar_t* file = GetCurrentPlaylistFile();
  if (file == nullptr || std::wcscmp(request->fileName, file) != 0) return false;
  playerTagFunction = request->tagFunction;
  playerFreeFunction = request->tagFreeFunction;
  request->tagFunction = &StaticGetTitleTag;
  request->tagFreeFunction = &StaticFreeTitleTag;
  return false;
}

const char16_t* CRUDARAPlugin::AnswerTitleTag(const wchar_t* tag) {
  const SubTag which = FindSubTag(tag);
  if (which == SubTag::kNone) return nullptr;
  const wchar_t* file = GetCurrentPlaylistFile();
  if (file == nullptr || file[0] == L'\0') return nullptr;
  const CueTrack* track = nullptr;
  int32_t singlePerformer = 0;
  if (!GetCurrentCueTrack(file, track, singlePerformer)) return nullptr;

  auto number = [this](int32_t value) {
    wchar_t buffer[16];
    wsprintfW(buffer, L"%d", value);
    numberText.assign(reinterpret_cast<const char16_t*>(buffer));
    return numberText.c_str();
  };
  switch (which) {
    case SubTag::kNumber: return number(track->number);
    case SubTag::kNumberTotal: return number(track->trackCount);
    case SubTag::kTitle: return track->title.c_str();
    case SubTag::kArtist: return singlePerformer != 0 ? nullptr : track->performer.c_str();
    case SubTag::kMainTitle: return track->albumTitle->c_str();
    case SubTag::kMainArtist: return track->albumPerformer->c_str();
    case SubTag::kNone: break;
  }
  return nullptr;
}

wchar_t* CRUDARAPlugin::GetTitleTag(const wchar_t* tag, void* context) {
  ownAnswer = nullptr;
  if (tag != nullptr) ownAnswer = AnswerTitleTag(tag);
  if (ownAnswer != nullptr) {
    if (!handedOut.contains(ownAnswer)) handedOut.insert(ownAnswer);
    // Text the plug-in owns and the player only reads.
    return const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(ownAnswer));
  }
  return playerTagFunction != nullptr ? playerTagFunction(tag, context) : nullptr;
}

// Decided by the value, not by the last tag call: the plug-in's own answers
// never reach the player's free function, in whatever order the player asks
// for tags and frees them.
void CRUDARAPlugin::FreeTitleTag(wchar_t* value, void* context) {
  if (handedOut.contains(reinterpret_cast<const char16_t*>(value))) return;
  if (playerFreeFunction != nullptr) playerFreeFunction(value, context);
}

wchar_t* __cdecl CRUDARAPlugin::StaticGetTitleTag(const wchar_t* tag, void* context) {
  return instance->GetTitleTag(tag, context);
}

void __cdecl CRUDARAPlugin::StaticFreeTitleTag(wchar_t* value, void* context) {
  instance->FreeTitleTag(value, context);
}
