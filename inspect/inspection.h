// One file inspected as the plug-in sees it: every place of its cue sheet in
// the plug-in's order, how the text was decoded and parsed, the sheet, and
// what Previous, Next and the title tags do at a position.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/report.h"
#include "inspect/system.h"

class FolderListing;

// A position as plain seconds, m:ss or h:mm:ss (the first field of any
// length, the others of two digits below 60), each with a fraction of one to
// three digits after a dot (0:01.5, 90, 1:02:03.250), in milliseconds. False
// for anything else and for positions beyond the player's 32-bit
// milliseconds.
bool ParsePosition(std::u16string_view text, int32_t& milliseconds);

// A position in milliseconds as m:ss.mmm.
std::u16string FormatPosition(int32_t milliseconds);

struct InspectOptions {
  std::optional<int32_t> at;
  std::vector<inspect::FLACCandidate> flacCandidates;  // where libFLAC was looked for
};

// Runs the plug-in's own lookup for `path` (a fresh cache, as the plug-in's
// first lookup of the file) and writes what it saw into `report`. True when
// the file has a cue sheet.
bool InspectFile(const std::u16string& path, const InspectOptions& options, ReportObject& report,
                 FolderListing* listing = nullptr);
