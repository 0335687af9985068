// The few parts of libFLAC's metadata object that the FLAC reader reads, laid
// out as FLAC/format.h of libFLAC 1.x declares them. The library is loaded at
// run time, so its headers are not part of the plug-in's build.
#pragma once

#include <cstdint>

namespace flac {

constexpr uint32_t kVorbisCommentType = 4;  // FLAC__METADATA_TYPE_VORBIS_COMMENT

// FLAC__StreamMetadata_VorbisComment_Entry: `length` bytes at `entry`, which
// libFLAC keeps NUL-terminated beyond the length.
struct VorbisCommentEntry {
  uint32_t length;
  unsigned char* entry;
};

// FLAC__StreamMetadata_VorbisComment.
struct VorbisComment {
  VorbisCommentEntry vendorString;
  uint32_t commentCount;
  VorbisCommentEntry* comments;
};

// FLAC__StreamMetadata, up to the member of its data union that is read.
// The union also holds the stream info block with its 64-bit sample count,
// which sets the union's alignment; `alignment` stands for it.
struct StreamMetadata {
  uint32_t type;  // FLAC__MetadataType, an int-sized enum
  int32_t isLast;
  uint32_t length;
  union {
    uint64_t alignment;
    VorbisComment vorbisComment;
  } data;
};

// FLAC__metadata_get_tags: true (nonzero) when `*tags` received a new object,
// which the caller releases with FLAC__metadata_object_delete.
using GetTagsFunction = int (*)(const char* fileName, StreamMetadata** tags);
using ObjectDeleteFunction = void (*)(StreamMetadata* object);

}  // namespace flac
