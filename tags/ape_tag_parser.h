// The APEv2 reader: a tag whose 32-byte footer ends the file, or lies right
// before an ID3v1 tag that ends it.
#pragma once

#include <cstdint>
#include <string>

#include "sources/cue_text_source.h"
#include "tags/byte_source.h"
#include "tags/tag_parser.h"
#include "text/code_page_detection.h"

enum class APECueStatus { kNoTag, kNoItem, kFound, kUnreadable, kTooLarge };

struct APECueResult {
  APECueStatus status = APECueStatus::kNoTag;
  bool beforeID3v1 = false;  // the tag was found right before an ID3v1 tag
  uint32_t itemBytes = 0;    // size of the CUESHEET value, when found
  TagCodePage codePage = {};  // where the value was no UTF-8
  // False where the file's first bytes are neither FLAC's signature nor an
  // ID3v2 tag (which libFLAC skips): libFLAC would only say it is no FLAC
  // file, and need not be asked. Taken by the read from a path.
  bool mayBeFLAC = true;
};

// A lookup reads at most this many bytes of a file besides the CUESHEET
// value, however large the tag and its other items are.
constexpr uint32_t kAPECueReadLimit = 64 * 1024;

// The CUESHEET item of the file's APEv2 tag: the tag that ends the file,
// else the one right before an ID3v1 tag that ends it.
// kNoTag: the file was read and has no APEv2 tag there, or none readable;
// kNoItem: a tag without a usable CUESHEET; kFound: `text` holds the decoded
// value; kTooLarge: the value is larger than kCueTextLimit (itemBytes says
// how large; none of it is read), or memory ran out for it; kUnreadable: the
// file could not be opened, its size taken, or a read failed (another try
// may succeed).
// `text` is written only when kFound. No exception leaves it but the one
// that the thread's storage guard throws to abandon the lookup.
//
// The item headers are walked as ParseAPEItems walks them, and only the
// CUESHEET value is read and decoded; other values are skipped unread. It is
// used only when ParseAPEItems would report the walk whole; a walk that
// needs more than kAPECueReadLimit bytes of headers ends as kNoItem.
APECueResult ReadAPEv2Cue(const char16_t* path, std::u16string& text);
// The same over the bytes of `source`, as over a file.
APECueResult ReadAPEv2Cue(ByteSource& source, std::u16string& text);

// The walk of ReadAPEv2Cue over the items region of `regionSize` bytes at
// `regionStart` in `source`, reading at most `readLimit` bytes besides the
// CUESHEET value. kNoItem, kFound or kUnreadable, as for ReadAPEv2Cue.
APECueResult ReadAPECueItem(ByteSource& source, uint64_t regionStart, uint32_t regionSize,
                            uint32_t readLimit, std::u16string& text);


// Reads every item of the APEv2 tag that ends the file.
class CAPETagParser final : public CTagParser {
 public:
  bool Parse(const char16_t* path) override;
};

// Reads the items region of the APEv2 tag that ends the file into `data`
// (replacing its content): the tag size minus the footer, ending where the
// footer begins. A tag header is never read. False when the file has no
// readable tag, or the region does not fit in memory.
bool ReadAPETagData(const char16_t* path, std::string& data);

// Walks the items region: each item is stored under its upper-cased key, the
// last of equal keys winning. True exactly when an item that was stored ends
// at the last byte of `data`; stored items stay in `items` either way.
bool ParseAPEItems(const std::string& data, TagItems& items);
