// What the inspector needs of the system beyond the plug-in's platform layer:
// its arguments, its output, its console, and a first look at each file.
#pragma once

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

// True when the program has a console of its own, as when a file is dropped
// on it in Explorer: the window would close with the report. Then
// WaitForKey waits for a key press.
bool OwnsConsole();
void WaitForKey();

enum class InputState { kReadable, kMissing, kDirectory, kNoPermission, kUnreadable };
InputState CheckInput(const std::u16string& path);

// Before any lookup: loads libFLAC from the first of the candidate folders
// that holds it, so that the lookup's load by name finds that one. The
// candidates tried are kept for the report. Natively the system's libFLAC
// is loaded by the lookup itself and nothing is done here.
void PreloadFLAC(std::vector<std::u16string>& candidates);

}  // namespace inspect
