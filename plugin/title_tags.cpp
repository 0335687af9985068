// The title tags of the cue track playing now, for the playing file: slipped
// into the title-format requests (298) that other plug-ins send, and given
// as the answer to the player's own tag lookups (3027) for its main window
// and playlist titles. Both answer through AnswerTitleTag, so they agree.
#include <algorithm>
#include <cwchar>
#include <string>

#include "navigation/navigator.h"
#include "platform/utf16_view_win.h"
#include "plugin/rudara_plugin.h"

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

const char16_t* CRUDARAPlugin::AnswerTitleTag(const wchar_t* tag, const wchar_t* requestFile) {
  const TitleTag which = FindTitleTag(platform::AsUtf16(tag));
  if (which == TitleTag::kNone) return nullptr;
  const wchar_t* file = GetCurrentPlaylistFile();
  if (file == nullptr || file[0] == L'\0') return nullptr;
  if (requestFile != nullptr && std::wcscmp(requestFile, file) != 0) return nullptr;
  const CueSheet* sheet = nullptr;
  const CueTrack* track = GetCurrentCueTrack(file, sheet);
  if (track == nullptr) return nullptr;

  const TitleTagAnswer answer = ::AnswerTitleTag(which, *sheet, *track);
  switch (answer.kind) {
    case TitleTagAnswer::Kind::kNumber: {
      wchar_t buffer[16];
      wsprintfW(buffer, L"%d", answer.number);
      numberText.assign(platform::AsUtf16(buffer));
      return numberText.c_str();
    }
    case TitleTagAnswer::Kind::kText: return answer.text->c_str();
    case TitleTagAnswer::Kind::kPlayer: break;
  }
  return nullptr;
}

namespace {

// Tags whose value is a number or a count: cut, it would be another number.
bool IsNumberTag(TitleTag tag) {
  return tag == TitleTag::kNumber || tag == TitleTag::kNumberTotal || tag == TitleTag::kDisc ||
         tag == TitleTag::kDiscTotal;
}

}  // namespace

// The player copies the value out of `ret` at once, so the answer is copied
// in; nothing of the plug-in's is handed over. Text is cut to fit; a number
// that does not fit is left to the player, as a tag the plug-in does not
// answer is.
bool CRUDARAPlugin::AnswerExtendedFileInfo(WPARAM wParam, LPARAM, LRESULT* result) {
  auto* request = reinterpret_cast<ExtendedFileInfoRequest*>(wParam);
  if (request == nullptr || request->filename == nullptr || request->metadata == nullptr ||
      request->ret == nullptr || request->retlen == 0) {
    return false;
  }
  const char16_t* answer = AnswerTitleTag(request->metadata, request->filename);
  if (answer == nullptr) return false;
  const std::size_t whole = std::char_traits<char16_t>::length(answer);
  if (whole > request->retlen - 1 && IsNumberTag(FindTitleTag(platform::AsUtf16(request->metadata)))) {
    return false;
  }
  const std::size_t length = std::min(whole, request->retlen - 1);
  std::copy_n(platform::AsWide(answer), length, request->ret);
  request->ret[length] = L'\0';
  *result = 1;
  return true;
}

wchar_t* CRUDARAPlugin::GetTitleTag(const wchar_t* tag, void* context) {
  ownAnswer = nullptr;
  // An answer that cannot be recorded as the plug-in's is not given: its
  // free would reach the player's free function. The tag then goes to the
  // player, as does any tag whose answer failed.
  try {
    if (tag != nullptr) ownAnswer = AnswerTitleTag(tag);
    if (ownAnswer != nullptr && !handedOut.contains(ownAnswer)) handedOut.insert(ownAnswer);
  } catch (...) {
    ownAnswer = nullptr;
  }
  if (ownAnswer != nullptr) {
    // Text the plug-in owns and the player only reads.
    return const_cast<wchar_t*>(platform::AsWide(ownAnswer));
  }
  return playerTagFunction != nullptr ? playerTagFunction(tag, context) : nullptr;
}

// Decided by the value, not by the last tag call: the plug-in's own answers
// never reach the player's free function, in whatever order the player asks
// for tags and frees them.
void CRUDARAPlugin::FreeTitleTag(wchar_t* value, void* context) {
  if (handedOut.contains(platform::AsUtf16(value))) return;
  if (playerFreeFunction != nullptr) playerFreeFunction(value, context);
}

wchar_t* __cdecl CRUDARAPlugin::StaticGetTitleTag(const wchar_t* tag, void* context) {
  return instance->GetTitleTag(tag, context);
}

void __cdecl CRUDARAPlugin::StaticFreeTitleTag(wchar_t* value, void* context) {
  instance->FreeTitleTag(value, context);
}
