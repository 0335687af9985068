// Previous and next inside the playing file, and the title refresh when
// playback crosses into another cue track.
#include "plugin/rudara_plugin.h"

namespace {
// The player's wide strings and the core's UTF-16 strings are the same code
// units on Windows; the build relaxes strict aliasing for exactly this view.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
const char16_t* AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
}  // namespace

const CueSheet* CRUDARAPlugin::GetCueSheet(const wchar_t* path) {
  return cueSheetCache.GetCueSheet(AsUtf16(path));
}

bool CRUDARAPlugin::LoadSideCueFile(const wchar_t* path) {
  return cueSheetCache.LoadSideCueFile(AsUtf16(path));
}

const wchar_t* CRUDARAPlugin::GetCurrentPlaylistFile(int* index) {
  // The player answers with an int; only its low 32 bits are meaningful.
  const int current = static_cast<int>(
      SendMessageW(descriptor.mainWindow, WM_USER, 0, player_message::kGetPlaylistPosition));
  if (current < 0) return nullptr;
  const auto* path = reinterpret_cast<const wchar_t*>(
      SendMessageW(descriptor.mainWindow, WM_USER, static_cast<WPARAM>(current), player_message::kGetPlaylistFile));
  if (index != nullptr) *index = current;
  return path;
}

bool CRUDARAPlugin::GetPlayingPosition(int32_t& position) {
  position = static_cast<int32_t>(SendMessageW(descriptor.mainWindow, WM_USER, 0, player_message::kGetPosition));
  return position >= 0;
}

bool CRUDARAPlugin::OnPrevNextCommand(WPARAM wParam, LPARAM, LRESULT* result) {
  if (wParam != player_command::kPrevious && wParam != player_command::kNext) return false;
  const wchar_t* file = GetCurrentPlaylistFile();
  if (file == nullptr) return false;

  bool jumped = false;
  int32_t position = 0;
  if (const CueSheet* sheet = GetCueSheet(file); sheet != nullptr && GetPlayingPosition(position)) {
    int32_t start = 0;
    const CueTrack* target = nullptr;
    const bool found = wParam == player_command::kNext ? sheet->FindNextTrack(position, start, target)
                                                       : sheet->FindPreviousTrack(position, start, target);
    if (found) {
      *result = SendMessageW(descriptor.mainWindow, WM_USER, static_cast<WPARAM>(start), player_message::kJumpTo);
      jumped = true;
    }
  }
  // Also when the command goes on to the player: the refresh is posted and so
  // runs after the player has handled it.
  PostTitleRefresh();
  return jumped;
}

// A cue track counts as current from one second before its start, the same
// margin by which the next command passes over a track that is about to begin.
bool CRUDARAPlugin::GetCurrentCueTrack(const wchar_t* path, const CueTrack*& track, int32_t& singlePerformer) {
  const CueSheet* sheet = GetCueSheet(path);
  if (sheet == nullptr) return false;
  int32_t position = 0;
  if (!GetPlayingPosition(position)) return false;
  int32_t start = 0;
  const CueTrack* current = nullptr;
  if (!sheet->FindTrackBefore(position, 1000, start, current)) return false;
  track = current;
  singlePerformer = sheet->singlePerformer;
  return true;
}

void CRUDARAPlugin::OnTimer(HWND, UINT, UINT_PTR timerEvent, DWORD) {
  if (timerEvent != timerId) return;
  const wchar_t* file = GetCurrentPlaylistFile();
  if (file == nullptr || file[0] == L'\0') return;
  const CueTrack* current = nullptr;
  int32_t singlePerformer = 0;
  if (!GetCurrentCueTrack(file, current, singlePerformer)) return;
  // By value: the same track of another file with equal fields posts nothing.
  // The same track object, the usual case while a track plays, needs no
  // string comparison.
  if (lastTrack == current || (lastTrack != nullptr && *lastTrack == *current)) return;
  lastTrack = current;
  PostTitleRefresh();
}
