// The player's side of the general purpose plug-in interface: the records it
// exchanges with the plug-in and the window messages the plug-in relies on.
// These are the player's wire format; on the shipped 32-bit build every field
// and pointer is 32 bits wide and the layout below is pinned by static_asserts.
#pragma once

#include <windows.h>

#include <cstddef>

extern "C" {

// Every function in the player's records uses the C calling convention.
typedef int(__cdecl* PluginInitEntry)();
typedef void(__cdecl* PluginConfigEntry)();
typedef void(__cdecl* PluginQuitEntry)();

struct PluginDescriptor {
  int version;              // always 16
  const char* description;  // 8-bit, zero-terminated, owned by the plug-in
  PluginInitEntry init;     // 0 for success, -1 for failure
  PluginConfigEntry config;
  PluginQuitEntry quit;
  HWND mainWindow;          // written by the player before init
  HINSTANCE moduleHandle;   // written by the player before init
};

// Returns the value of a title tag (wide, zero-terminated) or null when there
// is none. The context is the player's and is passed back unchanged.
typedef wchar_t*(__cdecl* TagFunction)(const wchar_t* tag, void* context);
// Releases a value that the TagFunction of the same request returned.
typedef void(__cdecl* TagFreeFunction)(wchar_t* value, void* context);

// Owned by the player and passed by pointer in wParam of WM_USER/298. The
// plug-in reads fileName and swaps tagFunction/tagFreeFunction; it never
// touches the fields between them.
struct TitleFormatRequest {
  const wchar_t* fileName;
  int useExtendedInfo;
  const wchar_t* formatSpec;
  void* context;
  wchar_t* output;
  int outputLength;
  TagFunction tagFunction;
  TagFreeFunction tagFreeFunction;
};

// Owned by the player and passed by pointer in wParam of WM_USER/3027, which
// the player sends to its own main window for every tag of the titles that it
// formats itself (main window, playlist). Whoever fills `ret` (at most `retlen`
// wide characters, terminator included) answers with a non-zero result; 0
// means no value. The player copies `ret` at once and frees nothing.
struct ExtendedFileInfoRequest {
  const wchar_t* filename;
  const wchar_t* metadata;  // the tag's name
  wchar_t* ret;
  size_t retlen;
};

typedef PluginDescriptor*(__cdecl* GetGeneralPurposePluginEntry)();

}  // extern "C"

// WM_USER message ids (in lParam) understood by the player's main window.
namespace player_message {
constexpr LPARAM kGetPosition = 105;         // sent: position in ms, negative: none
constexpr LPARAM kJumpTo = 106;              // sent: wParam = position in ms
constexpr LPARAM kGetPlaylistPosition = 125; // sent: current entry, negative: none
constexpr LPARAM kGetPlaylistFile = 214;     // sent: wParam = index, wide path or null
constexpr LPARAM kRefreshTitlesFirst = 247;  // posted, always followed by 243
constexpr LPARAM kRefreshTitlesSecond = 243; // posted
constexpr LPARAM kFormatTitle = 298;         // wParam = TitleFormatRequest*
constexpr LPARAM kGetExtendedFileInfo = 3027; // wParam = ExtendedFileInfoRequest*
}  // namespace player_message

// WM_COMMAND ids (the whole wParam) of the player's buttons.
namespace player_command {
constexpr WPARAM kPrevious = 40044;
constexpr WPARAM kStop = 40047;
constexpr WPARAM kNext = 40048;
// The same ids arrive as WM_SYSCOMMAND from the player's menu in the window's
// system menu. The taskbar thumbnail buttons arrive as WM_COMMAND with
// THBN_CLICKED in the high word and the button in the low word.
constexpr WORD kThumbnailClicked = 0x1800;  // THBN_CLICKED
constexpr WORD kThumbnailPrevious = 0;
constexpr WORD kThumbnailNext = 4;
}  // namespace player_command

constexpr int kPluginDescriptorVersion = 16;

#if defined(_WIN64)
static_assert(offsetof(TitleFormatRequest, tagFunction) == 48);
static_assert(offsetof(TitleFormatRequest, tagFreeFunction) == 56);
static_assert(offsetof(ExtendedFileInfoRequest, retlen) == 24);
#else
static_assert(sizeof(PluginDescriptor) == 28);
static_assert(offsetof(PluginDescriptor, mainWindow) == 20);
static_assert(offsetof(PluginDescriptor, moduleHandle) == 24);
static_assert(offsetof(TitleFormatRequest, tagFunction) == 24);
static_assert(offsetof(TitleFormatRequest, tagFreeFunction) == 28);
static_assert(sizeof(ExtendedFileInfoRequest) == 16);
static_assert(offsetof(ExtendedFileInfoRequest, metadata) == 4);
static_assert(offsetof(ExtendedFileInfoRequest, ret) == 8);
static_assert(offsetof(ExtendedFileInfoRequest, retlen) == 12);
#endif
static_assert(offsetof(TitleFormatRequest, fileName) == 0);
