// Previous and next inside the playing file, and the title refresh when
// playback crosses into another cue track: the player's messages turned into
// the navigator's questions, and its answers back into seeks and posts.
#include "navigation/navigator.h"
#include "platform/utf16_view_win.h"
#include "plugin/rudara_plugin.h"

const CueSheet* CRUDARAPlugin::GetCueSheet(const wchar_t* path, bool command) {
  return lookups.Find(platform::AsUtf16(path), command);
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

int32_t CRUDARAPlugin::GetPlayingPosition() {
  return static_cast<int32_t>(SendMessageW(descriptor.mainWindow, WM_USER, 0, player_message::kGetPosition));
}

bool CRUDARAPlugin::OnPrevNextCommand(WPARAM wParam, LPARAM, LRESULT* result) {
  if (wParam != player_command::kPrevious && wParam != player_command::kNext) return false;
  const wchar_t* file = GetCurrentPlaylistFile();
  if (file == nullptr) return false;

  bool jumped = false;
  if (const CueSheet* sheet = GetCueSheet(file, /*command=*/true); sheet != nullptr) {
    const CueCommand command = wParam == player_command::kNext ? CueCommand::kNext : CueCommand::kPrevious;
    int32_t target = 0;
    if (FindJumpTarget(*sheet, command, GetPlayingPosition(), target)) {
      *result = SendMessageW(descriptor.mainWindow, WM_USER, static_cast<WPARAM>(target), player_message::kJumpTo);
      jumped = true;
    }
  }
  // Also when the command goes on to the player: the refresh is posted and so
  // runs after the player has handled it.
  PostTitleRefresh(file);
  return jumped;
}

const CueTrack* CRUDARAPlugin::GetCurrentCueTrack(const wchar_t* path, const CueSheet*& sheet) {
  sheet = GetCueSheet(path);
  if (sheet == nullptr) return nullptr;
  return FindPlayingTrack(*sheet, GetPlayingPosition());
}

void CRUDARAPlugin::OnTimer(HWND, UINT, UINT_PTR timerEvent, DWORD) {
  if (timerEvent != timerId) return;
  const wchar_t* file = GetCurrentPlaylistFile();
  if (file == nullptr || file[0] == L'\0') return;
  const CueSheet* sheet = nullptr;
  const CueTrack* current = GetCurrentCueTrack(file, sheet);
  if (current == nullptr || !IsTrackChange(lastTrack, *current)) return;
  lastTrack = current;
  PostTitleRefresh(file);
}
