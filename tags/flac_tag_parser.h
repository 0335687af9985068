// The FLAC reader: the Vorbis comments and the CUESHEET metadata block of a
// FLAC file, read through libFLAC's metadata iterator. libFLAC is loaded on
// first use and kept for the life of the process. One read walks the block
// headers once, reads only the blocks it needs and seeks past every other
// block (pictures, padding, seek table, application data) unread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sources/cue_text_source.h"
#include "tags/flac_metadata.h"
#include "tags/tag_parser.h"
#include "text/code_page_detection.h"

class CFLACTagParser final : public CTagParser {
 public:
  // False when libFLAC is not available (on this and every later call of the
  // process), the file is not FLAC, has no Vorbis comment block, or its
  // metadata cannot be read to the end; nothing is stored then. The item map
  // is not emptied first: a reader object reads one file.
  bool Parse(const char16_t* path) override;
};

enum class FLACReadStatus { kRead, kLibraryMissing, kNotFLAC, kTooManyBlocks, kUnreadable, kRefused };

// Past this many metadata blocks the reader stops walking a file. Real files
// have a few dozen at most; a file of nothing but empty block headers would
// otherwise be walked four bytes at a time on the player's thread, each step
// a seek (some 30 us under Wine).
constexpr int kMaxFLACBlocks = 1024;

struct FLACCueTrack {
  bool hasIndex1 = false;
  int32_t start = 0;  // ms; 0 without index 1

  friend bool operator==(const FLACCueTrack&, const FLACCueTrack&) = default;
};

struct FLACCueData {
  FLACReadStatus status = FLACReadStatus::kUnreadable;
  bool hasComment = false;     // a CUESHEET Vorbis comment
  bool commentTooLarge = false;  // the comment block was too large to be read
  std::u16string commentText;  // its value, decoded as CFLACTagParser does
  TagCodePage commentCodePage;  // how, where it was no UTF-8
  bool hasBlock = false;       // a CUESHEET metadata block
  std::vector<FLACCueTrack> blockTracks;  // every track but the lead-out, in block order
};

// Reads the FLAC file at `path` (NUL-terminated, borrowed) into `data`, which
// is reset first.
// - kRead: the file is FLAC and its metadata was walked to the end (or up to
//   the first audio frame).
// - kLibraryMissing: libFLAC is not available in this process (not found, or
//   without a function the reader needs); the file was not touched.
// - kNotFLAC: the file was read and is not FLAC, or its metadata is damaged
//   beyond walking; another try gives the same.
// - kTooManyBlocks: a FLAC file with more than kMaxFLACBlocks metadata
//   blocks, which the reader does not walk to the end; another try gives the
//   same.
// - kUnreadable: it could not be opened, or its name cannot be handed to
//   libFLAC; another try may succeed.
// - kRefused: it opened, but libFLAC refused its metadata (a block that runs
//   past the end of the file or past its own length, a failed read) or memory
//   ran out for it; another try of the unchanged file gives the same.
// The caller only looks at the rest when the status is kRead. Of several
// comment blocks the first counts, of several CUESHEET blocks the first whole
// one: a CUESHEET block whose tracks do not fill its length exactly is
// damaged and counts as absent. A comment block too large to hold a CUESHEET
// comment within kCueTextLimit and little else is not read (where libFLAC
// tells a block's length before reading it): commentTooLarge.
void ReadFLACCueData(const char16_t* path, FLACCueData& data);

// Where the bound libFLAC was loaded from (full path), false when it is not
// bound. Binds libFLAC if nothing has tried to yet.
bool GetFLACLibraryPath(std::u16string& path);

// Loads libFLAC now, as the first lookup of a FLAC file would: a thread that
// will look files up can pay for the load before the first one is asked for.
void LoadFLACLibrary();

// When a libFLAC was loaded but lacks a function that the reader needs: the
// name of the first such function, and where the library was loaded from
// (empty when the system does not tell). Null when libFLAC is bound or none
// was loaded. Binds libFLAC if nothing has tried to yet.
const char* GetFLACMissingFunction(std::u16string& path);

// The tracks of a CUESHEET block, the last track (the lead-out) left out.
// A track's start is its offset plus the offset of its first index numbered
// 1, in samples, turned into ms with `sampleRate` and rounded down. A track
// without such an index, and one whose start cannot be told (a sample rate of
// 0, a sum past 64 bits, a start past INT32_MAX ms), has hasIndex1 false.
// Null track or index lists with nonzero counts are read as empty.
std::vector<FLACCueTrack> GetFLACBlockTracks(const flac::CueSheet& block, uint32_t sampleRate);


// Stores one comment, `length` bytes of UTF-8 of the form KEY=value, as
// libFLAC hands it over: the key before the first '=' upper-cased, the value
// after it up to a NUL character. A comment that is no UTF-8 (some old
// taggers wrote the ANSI code page) is read as DecodeTagText reads it, and
// `codePage` (may be null) learns how it was read. Empty comments and
// comments without '=' are skipped. True when an item was stored.
bool AddFLACComment(const unsigned char* bytes, uint32_t length, TagItems& items, TagCodePage* codePage = nullptr);

// The 8-bit name in the system's ANSI code page that libFLAC releases taking
// ANSI names are given: the path's own, or where that loses characters the
// code page lacks, its short (8.3) form. False when neither names the file.
bool GetFLACAnsiFileName(const char16_t* path, std::string& name);

// How libFLAC's Windows build takes 8-bit file names, by the version text it
// exports: 1.3.0 and 1.3.1 and from 1.4.0 on UTF-8, 1.3.2 to 1.3.4 and up to
// 1.2 the ANSI code page. Text that names no known release (null, builds from
// source control) gives kUtf8ThenAnsi.
enum class FLACFileNameEncoding { kUtf8, kAnsi, kUtf8ThenAnsi };
FLACFileNameEncoding GetFLACFileNameEncoding(const char* versionText);
