// Command-line front end of the player host: loads a plug-in into the
// simulated player, runs a script of player actions and prints every event
// the player sees, one per line.
//
//   sheetwalk_host [--plugin <dll>] [--play <file> [--tag <name>=<value>]...]...
//                  [--format <title format>] [--script <step>,<step>,...] [--brief] [--waits] [--smoke]
//
// Without --plugin, gen_Sheetwalk.dll beside this program is loaded. The
// first --play entry is current and plays from 0:00 in real time. Steps:
//   init, config, quit, export, unload   the player's calls into the plug-in
//   prev, next, stop                     the player's buttons (WM_COMMAND)
//   thumbprev, thumbnext                 the taskbar thumbnail buttons
//   sysprev, sysnext                     the player's items in the system menu
//   play[:ms], pos:<ms>                  play in real time / hold the position
//   entry:<index>                        make another playlist entry current
//   title                                format the playing title as the player does
//   request                              ask for it as another plug-in does (298)
//   subclass                             another plug-in subclasses the main window
//   exit                                 destroy the main window, then quit
//   logoff                               quit from inside the window procedure
//   tick                                 run the message loop until a timer tick
//   wait:<ms>                            run the message loop for a while
// --brief prints only the commands that reach the player, the seeks and the
// titles. --waits measures, from the first step to the last, how long the
// player's thread kept its messages waiting and prints the longest wait at
// the end. --smoke runs a fixed check of the plug-in shell and exits 0 only when it
// passes.
#include "tools/host_simulator/player_host.h"

#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

using host_simulator::Event;
using host_simulator::EventKind;
using host_simulator::PlayerHost;

namespace {

constexpr wchar_t kDefaultScript[] = L"init,tick,title,stop,wait:300,quit";

// A console gets wide text; a pipe or file gets UTF-8 bytes.
void Print(const std::wstring& line) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const std::wstring text = line + L"\n";
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(out, &mode)) {
    WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const std::string bytes = host_simulator::ToUtf8(text);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

std::wstring Widen(const std::string& utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
  return out;
}

// The description is 8-bit text in the system's code page.
std::wstring Description(const PluginDescriptor* descriptor) {
  if (descriptor == nullptr || descriptor->description == nullptr) return L"(none)";
  wchar_t wide[1024] = {};
  MultiByteToWideChar(CP_ACP, 0, descriptor->description, -1, wide, 1023);
  return wide;
}

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::wstring::npos) return parts;
    start = end + 1;
  }
}

std::wstring YesNo(bool value) { return value ? L"yes" : L"no"; }

bool RunStep(PlayerHost& host, const std::wstring& step, const std::wstring& format) {
  const size_t colon = step.find(L':');
  const std::wstring name = step.substr(0, colon);
  const int argument = colon == std::wstring::npos ? 0 : _wtoi(step.c_str() + colon + 1);
  Print(L"> " + step);
  if (name == L"export") {
    const auto entries = host.CallExport();
    Print(L"export: " + std::wstring(entries.descriptor ? L"descriptor version " +
                                                               std::to_wstring(entries.descriptor->version)
                                                         : L"no descriptor"));
  } else if (name == L"init") {
    if (host.latest().descriptor == nullptr) RunStep(host, L"export", format);
    const int result = host.Init();
    Print(L"init returned " + std::to_wstring(result) + L", main window hooked: " +
          YesNo(!host.PlayerProcedureInstalled()));
    Print(L"description: " + Description(host.latest().descriptor));
  } else if (name == L"config") {
    host.Config();
  } else if (name == L"quit") {
    host.Quit();
    Print(L"player's window procedure back: " + YesNo(host.PlayerProcedureInstalled()));
  } else if (name == L"unload") {
    host.UnloadPlugin();
  } else if (name == L"subclass") {
    host.SubclassAsLaterPlugin();
  } else if (name == L"exit") {
    host.DestroyMainWindow();
    host.Quit();
  } else if (name == L"logoff") {
    host.LogOff();
  } else if (name == L"prev" || name == L"next" || name == L"stop" || name == L"thumbprev" ||
             name == L"thumbnext" || name == L"sysprev" || name == L"sysnext") {
    const bool previous = name.ends_with(L"prev");
    LRESULT result = 0;
    if (name.starts_with(L"thumb")) {
      result = host.PressThumbnailButton(previous ? PlayerHost::kThumbnailPrevious : PlayerHost::kThumbnailNext);
    } else if (name.starts_with(L"sys")) {
      result = host.ChooseSystemMenuItem(previous ? player_command::kPrevious : player_command::kNext);
    } else {
      result = host.SendCommand(previous ? player_command::kPrevious
                                : name == L"next" ? player_command::kNext
                                                  : player_command::kStop);
    }
    Print(L"command returned " + std::to_wstring(result) + L", entry " +
          std::to_wstring(host.currentIndex()) + L", position " + std::to_wstring(host.Position()));
    host.Pump(0);
  } else if (name == L"play") {
    host.Play(argument);
  } else if (name == L"pos") {
    host.SetPosition(argument);
  } else if (name == L"entry") {
    host.SetCurrentIndex(argument);
  } else if (name == L"title") {
    host.FormatOwnTitle(host.EntryPath(host.currentIndex()), format);
  } else if (name == L"request") {
    host.FormatTitle(host.EntryPath(host.currentIndex()), format);
  } else if (name == L"tick") {
    const size_t ticks = host.Count(EventKind::kTimerTick);
    if (!host.PumpUntil([&] { return host.Count(EventKind::kTimerTick) > ticks; }, 10000)) {
      Print(L"no timer tick within 10 s");
    }
  } else if (name == L"wait") {
    host.Pump(static_cast<DWORD>(argument));
  } else {
    Print(L"unknown step: " + step);
    return false;
  }
  return true;
}

// Hook after init, a tick, the stop command's result with the refresh pair
// posted after it, and the player's procedure back and no tick after quit.
int Smoke(PlayerHost& host) {
  int failures = 0;
  auto check = [&](bool holds, const std::wstring& what) {
    Print((holds ? L"ok: " : L"FAILED: ") + what);
    if (!holds) ++failures;
    return holds;
  };
  // A playing entry with tags of the player's own, so that the title after
  // stop goes through whatever tag functions the plug-in put in the request.
  // An entry given with --play should carry a cue sheet: the smoke then also
  // jumps inside it and asks for the cue track tags.
  const bool withCueSheet = host.EntryPath(host.currentIndex()) != nullptr;
  if (!withCueSheet) {
    host.SetPlaylist({L"C:\\music\\smoke.flac"}, 0);
    host.SetPosition(1000);
    host.Pump(0);  // the refresh that next posted, before stop is checked
  }
  const std::wstring file = host.EntryPath(host.currentIndex());
  host.SetFileTags(file, {{L"artist", L"Smoke"}, {L"title", L"Test"}});
  host.SetTitleFormat(L"[%artist% - ]%title%");

  const auto entries = host.CallExport();
  if (!check(entries.descriptor != nullptr, L"the export returns a descriptor")) return 1;
  check(entries.descriptor->version == kPluginDescriptorVersion, L"descriptor version is 16");
  check(host.Init() == 0, L"init returns 0");
  check(!host.PlayerProcedureInstalled(), L"the main window is hooked after init");
  check(host.PumpUntil([&] { return host.Count(EventKind::kTimerTick) > 0; }, 20000),
        L"a timer tick arrives");

  if (withCueSheet) {
    host.SetPosition(0);
    const size_t before = host.events().size();
    host.SendCommand(player_command::kNext);
    const size_t seek = host.Find(EventKind::kSeek, before);
    check(seek != PlayerHost::npos && host.events()[seek].value > 1000 &&
              host.Find(EventKind::kCommand, before) == PlayerHost::npos,
          L"next jumps to the next cue track inside the file");
    // The player's own tag function knows no cue track tags.
    const std::wstring numbers = host.FormatTitle(file.c_str(), L"%subnum%/%subnumtotal%");
    check(numbers == L"2/" + numbers.substr(numbers.find(L'/') + 1) && numbers.size() > 2,
          L"the cue track tags answer from the cue sheet: " + numbers);
    check(host.FormatOwnTitle(file.c_str(), L"%subnum%/%subnumtotal%") == numbers,
          L"the player's own title gets the same cue track tags");
    host.SetPosition(1000);
    host.Pump(0);  // the refresh that next posted, before stop is checked
  }

  constexpr LRESULT kStopResult = 0x5EED;
  host.SetCommandResult(kStopResult);
  host.SetPumpDuringStop(true);
  const size_t before = host.events().size();
  check(host.SendCommand(player_command::kStop) == kStopResult, L"stop returns the player's result");
  host.PumpUntil([&] { return host.Find(EventKind::kRefreshSecond, before) != PlayerHost::npos; }, 5000);
  const size_t done = host.Find(EventKind::kCommandResult, before, player_command::kStop);
  const size_t first = host.Find(EventKind::kRefreshFirst, before);
  const size_t second = host.Find(EventKind::kRefreshSecond, before);
  check(done != PlayerHost::npos && first != PlayerHost::npos && second != PlayerHost::npos && done < first &&
            first < second && host.events()[first].flag && host.events()[second].flag,
        L"247 then 243 are posted and arrive after the player handled stop");

  const size_t title = host.Find(EventKind::kTitle, second == PlayerHost::npos ? before : second);
  check(title != PlayerHost::npos && host.events()[title].text == L"Smoke - Test",
        L"the refresh formats the playing title with the player's tags");

  host.Quit();
  check(host.PlayerProcedureInstalled(), L"the player's window procedure is back after quit");
  const size_t ticks = host.Count(EventKind::kTimerTick);
  host.Pump(1000);
  check(host.Count(EventKind::kTimerTick) == ticks, L"no tick arrives after quit");
  host.UnloadPlugin();
  check(host.Count(EventKind::kViolation) == 0, L"no violation of the player's heap or functions");
  Print(failures == 0 ? L"smoke: passed" : L"smoke: " + std::to_wstring(failures) + L" check(s) failed");
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring plugin = host_simulator::BesideExecutable(L"gen_Sheetwalk.dll");
  std::wstring format = L"[%artist% - ]%title%";
  std::wstring script = kDefaultScript;
  std::vector<std::optional<std::wstring>> playlist;
  std::vector<std::pair<std::wstring, std::map<std::wstring, std::wstring>>> tags;
  bool smoke = false;
  bool brief = false;
  bool waits = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring option = argv[i];
    const bool hasValue = i + 1 < argc;
    if (option == L"--smoke") {
      smoke = true;
    } else if (option == L"--brief") {
      brief = true;
    } else if (option == L"--waits") {
      waits = true;
    } else if (option == L"--plugin" && hasValue) {
      plugin = argv[++i];
    } else if (option == L"--play" && hasValue) {
      playlist.emplace_back(argv[++i]);
      tags.emplace_back(*playlist.back(), std::map<std::wstring, std::wstring>{});
    } else if (option == L"--tag" && hasValue && !tags.empty()) {
      const std::wstring pair = argv[++i];
      const size_t equals = pair.find(L'=');
      tags.back().second[pair.substr(0, equals)] = equals == std::wstring::npos ? L"" : pair.substr(equals + 1);
    } else if (option == L"--format" && hasValue) {
      format = argv[++i];
    } else if (option == L"--script" && hasValue) {
      script = argv[++i];
    } else {
      Print(L"usage: sheetwalk_host [--plugin <dll>] [--play <file> [--tag <name>=<value>]...]... "
            L"[--format <title format>] [--script <steps>] [--brief] [--waits] [--smoke]");
      return 2;
    }
  }
  LocalFree(argv);

  PlayerHost host;
  host.SetEventListener([brief](const Event& event) {
    // Brief: what a user sees of the plug-in, the jumps and the titles.
    const bool shown = !brief || event.kind == EventKind::kSeek || event.kind == EventKind::kTitle ||
                       event.kind == EventKind::kCommand || event.kind == EventKind::kViolation;
    if (shown) Print(L"  " + Widen(host_simulator::Describe(event)));
  });
  host.SetTitleFormat(format);
  for (auto& [path, fileTags] : tags) host.SetFileTags(path, fileTags);
  host.SetPlaylist(playlist, playlist.empty() ? PlayerHost::kNoIndex : 0);
  if (!playlist.empty()) host.Play(0);

  if (!host.LoadPlugin(plugin)) {
    Print(L"cannot load " + plugin + L" (error " + std::to_wstring(GetLastError()) + L")");
    return 1;
  }
  Print(L"loaded " + plugin);
  if (smoke) return Smoke(host);
  if (waits) host.StartWaitProbe();
  for (const std::wstring& step : Split(script, L',')) {
    if (!step.empty() && !RunStep(host, step, format)) return 2;
  }
  if (waits) {
    host.StopWaitProbe();
    Print(L"the player's thread waited at most " + std::to_wstring(static_cast<int>(host.LongestWaitMs() + 0.5)) +
          L" ms for its messages");
  }
  return host.Count(EventKind::kViolation) == 0 ? 0 : 1;
}
