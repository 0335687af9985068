// Why a file is not navigable, what is wrong with one that is, and what to
// do about it: each as a short, stable code, a sentence and a fix of one
// line, from what the plug-in's lookup saw and what the inspector reads of
// the file itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "inspect/file_facts.h"
#include "inspect/inspection.h"
#include "navigation/cue_sheet_cache.h"

class FolderListing;

namespace inspect {

// One reason or warning. The codes, and whether a person need do anything:
//   none                 navigable, nothing to say                       no
//   per-track            a per-track rip: no cue text of its own          no
//   image-without-sheet  a single audio file without any cue text        no
//   empty-sheet          cue text without a track                         yes
//   lowercase-keywords   keywords not in capitals                         yes
//   parse-stopped        a track without INDEX 01                         yes
//   names-other-file     a cue file that names another file of the folder yes
//   names-missing-file   a cue file that names a file not in the folder   yes
//   names-several-files  a cue file that names several files              yes
//   names-no-file        a cue file without a FILE line                   yes
//   cue-limit            its cue file is past the first 16 of the folder  yes
//   flac-refused         FLAC metadata that libFLAC refuses               yes
//   libflac-missing      no libFLAC, or one without a function it needs   yes
//   tag-misplaced        an APEv2 tag that does not end the file          yes
//   over-limit           cue text over the 4 MiB limit                    yes
//   unreadable           a file or folder that could not be read          yes
//   empty-audio          the audio file is empty                          yes
//   damaged-audio        the audio file's header says it is damaged       yes
//   track-past-end       a track starts after the end of the audio        yes
//   code-page-close-call the code page was a close call                   yes
//   unreachable-name     a name ending in a dot or a space (Windows)       yes
struct Finding {
  std::string code;
  std::u16string why;
  std::u16string fix;
};

// Whether a finding of this code asks for a person.
bool NeedsAPerson(std::u16string_view code);

struct Diagnosis {
  std::u16string verdict;         // navigable, no-sheet, stopped, unreadable
  Finding reason;                 // the first warning, or "none", for a navigable file
  std::vector<Finding> warnings;  // for a file the plug-in has a sheet for
  FileFacts facts;                // what the inspector read of the file itself
};

// `path`, `lookup` and `sheet` are what InspectFile saw; `listing` (may be
// null) the listing of the file's folder.
Diagnosis Diagnose(const std::u16string& path, const CueLookupReport& lookup, const CueSheet* sheet,
                   FolderListing* listing, const InspectOptions& options);

// Why libFLAC is not bound, in a sentence.
std::u16string NoLibFLAC(const InspectOptions& options);

}  // namespace inspect
