// What the inspector needs of the system beyond the plug-in's platform layer:
// its arguments, its output, its console, folders, and a first look at each
// file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace inspect {

// The program, given its arguments after the program name; returns the exit
// status. The system's entry point (main, or wmain on Windows) calls it.
int Run(const std::vector<std::u16string>& arguments);

// Writes to standard output or standard error: wide text to a console, UTF-8
// to a pipe or a file.
void WriteOutput(std::u16string_view text);
void WriteError(std::u16string_view text);

// Whether standard output or standard error is a console (a terminal):
// progress is shown there, never in a pipe or a file.
bool OutputIsConsole();
bool ErrorIsConsole();

// True only when a person plainly started the program from Explorer, by a
// double click or a file dropped on it: its console was made for it alone,
// the console window is visible, and standard input and output are that
// console. Then the window would close with the report, and WaitForKey waits
// for a key press. A program started hidden, with its output redirected, or
// on a console it shares never waits.
bool StartedFromExplorer();
void WaitForKey();

enum class InputState { kReadable, kMissing, kDirectory, kNotRegular, kNoPermission, kUnreadable };
// Looks at a path without reading it: a FIFO or a device is never opened.
InputState CheckInput(const std::u16string& path);

// Why the file at `path` cannot be opened for reading, in the system's
// words; empty when it opens.
std::u16string OpenErrorText(const std::u16string& path);

// How many characters a line of the console of standard error holds; 80
// where it cannot be told.
std::size_t ErrorConsoleWidth();

// The separator that the system puts between a folder and a name.
extern const char16_t kPathSeparator;

// The path of the entry `name` of the folder whose path, ending in a
// separator, is `prefix`. Windows drops a dot or a space at the end of a
// name from a path in its usual form, so that such a folder is not found:
// there a path to one is given in the \\?\ form, which keeps every character.
std::u16string EntryPath(const std::u16string& prefix, const std::u16string& name);

// A path given by the user, in the form that reaches it (see EntryPath).
std::u16string ArgumentPath(const std::u16string& path);

// Whether a name of a path keeps the player from opening it: on Windows, a
// name that ends in a dot or a space, which programs that open files by
// their usual paths, the player among them, cannot reach.
bool NameUnreachable(std::u16string_view name);

// Why a folder could not be listed, from the system's error number.
std::u16string FolderErrorText(uint32_t error);

// What tells a folder apart from every other, however it is reached (through
// links or junctions): its volume and its file number. False when it cannot
// be taken.
struct FolderIdentity {
  uint64_t volume = 0;
  uint64_t file = 0;
  auto operator<=>(const FolderIdentity&) const = default;
};
bool GetFolderIdentity(const std::u16string& folder, FolderIdentity& identity);

// Before any lookup: loads libFLAC from the first of the candidate folders
// that holds it, so that the lookup's load by name finds that one. The
// candidates tried are kept for the report, each with why it was not loaded
// where a file was there but would not load. Natively the system's libFLAC
// is loaded by the lookup itself and nothing is done here.
struct FLACCandidate {
  std::u16string path;
  std::u16string problem;  // empty: not there, or loaded
};
void PreloadFLAC(std::vector<FLACCandidate>& candidates);

// The product and its version, as the plug-in lists itself in the player.
std::u16string VersionText();

}  // namespace inspect
