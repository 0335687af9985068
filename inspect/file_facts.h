// What the inspector reads of an audio file itself, beyond what the lookup
// reads: its size, the length and the damage that a FLAC or WAV header can
// tell, and an APEv2 tag that is there but not where the plug-in reads it.
// Only the headers are read, never the audio.
#pragma once

#include <cstdint>
#include <string>

namespace inspect {

struct FileFacts {
  bool opened = false;  // false: nothing below is known
  uint64_t size = 0;
  bool flac = false;    // a FLAC file by its name or its first bytes
  bool wav = false;     // a WAV file by its name or its first bytes
  // The length of the audio, where a FLAC STREAMINFO block or a WAV header
  // tells it: what the file holds, not what the header promised.
  bool lengthKnown = false;
  int64_t lengthMs = 0;
  // How the file is damaged, in a sentence; empty where nothing was seen.
  std::u16string damage;
  // An APEv2 tag with a CUESHEET item that neither ends the file nor stands
  // right before an ID3v1 tag that ends it.
  bool misplacedCueTag = false;
  uint64_t bytesAfterTag = 0;
};

// Reads the facts of the file at `path`. `lookForTag`: also look at the end
// of the file for an APEv2 tag that the plug-in does not read.
FileFacts ReadFileFacts(const std::u16string& path, bool lookForTag);

}  // namespace inspect
