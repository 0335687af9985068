// The plug-in object: the player's main window hook, the timer, the lookups
// of cue sheets and the title tag state. Everything here runs on the
// player's UI thread, which never waits for storage: the lookups themselves
// run on the plug-in's worker (LookupWorker). It is the one place that talks
// to the player: the rules of navigation and of the title tags are the
// navigator's, the cue sheets the cache's.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "cuesheet/cue_sheet.h"
#include "plugin/general_purpose_plugin.h"
#include "plugin/lookup_worker.h"

class CRUDARAPlugin final : public CGeneralPurposePluginBase<CRUDARAPlugin> {
 public:
  CRUDARAPlugin();

  bool Init() override;
  void Config() override;
  void Quit() override;

  // A later object made by a second call of the export takes over the window
  // hook and the timer of the earlier one, which stays allocated because the
  // player may still hold its descriptor.
  void TakeOverFrom(CRUDARAPlugin& earlier);

  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnTimer(HWND window, UINT message, UINT_PTR timerEvent, DWORD time);

 private:
  void HookWindow(HWND window);
  void UnhookWindow(HWND window);
  void StartTimer();
  void StopTimer();

  bool OnPrevNextCommand(WPARAM wParam, LPARAM lParam, LRESULT* result);
  bool OnStopCommand(WPARAM wParam, LPARAM lParam, LRESULT* result);
  bool HookTitleFormat(WPARAM wParam, LPARAM lParam, LRESULT* result);
  bool AnswerExtendedFileInfo(WPARAM wParam, LPARAM lParam, LRESULT* result);

  // The sheet of the playing file, as far as it is known now; a `command`
  // (Previous, Next) waits a short while for a lookup that is running.
  const CueSheet* GetCueSheet(const wchar_t* path, bool command = false);
  const wchar_t* GetCurrentPlaylistFile(int* index = nullptr);
  // The player's position in ms; negative when nothing plays.
  int32_t GetPlayingPosition();
  // The cue track playing now in the file at `path`, with its sheet; null
  // when the file has no cue sheet, nothing plays or no track has begun.
  const CueTrack* GetCurrentCueTrack(const wchar_t* path, const CueSheet*& sheet);

  wchar_t* GetTitleTag(const wchar_t* tag, void* context);
  void FreeTitleTag(wchar_t* value, void* context);
  // The plug-in's answer for `tag` of the playing file, or null when the tag
  // is left to the player; with `requestFile`, also null unless that is the
  // playing file. Numbers are written into numberText.
  const char16_t* AnswerTitleTag(const wchar_t* tag, const wchar_t* requestFile = nullptr);

  // 247 names `file` (null: every file) as the one whose titles are stale.
  void PostTitleRefresh(const wchar_t* file);

  // Forwards to the running object's WindowProc; without one (after quit, or
  // in a window the plug-in left) it only passes every message on.
  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static void CALLBACK StaticTimerProc(HWND window, UINT message, UINT_PTR timerEvent, DWORD time);
  static wchar_t* __cdecl StaticGetTitleTag(const wchar_t* tag, void* context);
  static void __cdecl StaticFreeTitleTag(wchar_t* value, void* context);

  // Every member below is the player's UI thread's alone; the worker's
  // state lives in LookupWorker.
  HWND ownWindow = nullptr;  // the plug-in has no window; kept for Config
  WNDPROC previousWindowProc = nullptr;
  TagFunction playerTagFunction = nullptr;
  TagFreeFunction playerFreeFunction = nullptr;
  std::u16string numberText;
  const char16_t* ownAnswer = nullptr;
  const CueTrack* lastTrack = nullptr;
  UINT_PTR timerId = 0;
  LookupWorker lookups;

  // Every text the plug-in has answered a title tag with. These stay the
  // plug-in's memory until quit (the number buffer never moves, the cache
  // never drops a string), so no value of the player's can ever be among them.
  std::unordered_set<const char16_t*> handedOut;

  // Where StaticWindowProc forwards once the plug-in has quit while another
  // procedure, put in after its own, still calls it: not members, since the
  // object is gone by then. The module is pinned, so the code stays too.
  static inline HWND passThroughWindow = nullptr;
  static inline WNDPROC passThroughProc = nullptr;
};
