// The APEv2 reader: a tag whose 32-byte footer is the very end of the file.
#pragma once

#include <string>

#include "tags/cue_text_source.h"
#include "tags/tag_parser.h"

class CAPETagParser final : public CTagParser {
 public:
  bool Parse(const char16_t* path) override;
};

// The CUESHEET item of the APEv2 tag that ends the file.
CueTextOutcome ReadAPEv2CueText(const char16_t* path, std::u16string& text);

// Reads the items region of the APEv2 tag that ends the file into `data`
// (replacing its content): the tag size minus the footer, ending where the
// footer begins. A tag header is never read. False when the file has no
// readable tag.
bool ReadAPETagData(const char16_t* path, std::string& data);

// Walks the items region: each item is stored under its upper-cased key, the
// last of equal keys winning. True exactly when an item that was stored ends
// at the last byte of `data`; stored items stay in `items` either way.
bool ParseAPEItems(const std::string& data, TagItems& items);
