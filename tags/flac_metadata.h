// The parts of libFLAC's metadata interface that the FLAC reader uses: the
// simple metadata iterator, and of the metadata objects it hands out the
// stream info, Vorbis comment and cue sheet blocks, laid out as FLAC/format.h
// of libFLAC 1.x declares them. The library is loaded at run time, so its
// headers are not part of the plug-in's build.
//
// The declarations use the same member types (64-bit offsets, bit-fields) as
// libFLAC's, so a compiler lays them out as it laid out the library built
// with it: 64-bit members are 8-aligned on x86_64 and on i686 MinGW alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flac {

// FLAC__MetadataType, an int-sized enum.
constexpr uint32_t kStreamInfoType = 0;     // FLAC__METADATA_TYPE_STREAMINFO
constexpr uint32_t kVorbisCommentType = 4;  // FLAC__METADATA_TYPE_VORBIS_COMMENT
constexpr uint32_t kCueSheetType = 5;       // FLAC__METADATA_TYPE_CUESHEET

// FLAC__Metadata_SimpleIteratorStatus, the values the reader tells apart.
enum class IteratorStatus : int {
  kOk = 0,
  kErrorOpeningFile = 2,
  kNotAFLACFile = 3,
  kBadMetadata = 5,
  kReadError = 6,
  kSeekError = 7,
  kMemoryAllocationError = 11,
};

// FLAC__StreamMetadata_StreamInfo.
struct StreamInfo {
  uint32_t minBlockSize;
  uint32_t maxBlockSize;
  uint32_t minFrameSize;
  uint32_t maxFrameSize;
  uint32_t sampleRate;
  uint32_t channels;
  uint32_t bitsPerSample;
  uint64_t totalSamples;
  unsigned char md5[16];
};
static_assert(offsetof(StreamInfo, sampleRate) == 16);
static_assert(offsetof(StreamInfo, totalSamples) == 32 && sizeof(StreamInfo) == 56);

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

// FLAC__StreamMetadata_CueSheet_Index: `offset` in samples from the start of
// its track.
struct CueSheetIndex {
  uint64_t offset;
  unsigned char number;
};
static_assert(offsetof(CueSheetIndex, number) == 8 && sizeof(CueSheetIndex) == 16);

// FLAC__StreamMetadata_CueSheet_Track: `offset` in samples from the start of
// the stream. The two flags are bit-fields of a 32-bit type: the Windows
// compilers give them a 4-byte unit of their own after `isrc` (numIndices at
// 28), the System V ABI packs them into the byte after it (numIndices at 23).
struct CueSheetTrack {
  uint64_t offset;
  unsigned char number;
  char isrc[13];
  uint32_t type : 1;
  uint32_t preEmphasis : 1;
  unsigned char indexCount;
  CueSheetIndex* indices;
};
static_assert(offsetof(CueSheetTrack, number) == 8 && offsetof(CueSheetTrack, isrc) == 9);
static_assert(offsetof(CueSheetTrack, indexCount) == 28 || offsetof(CueSheetTrack, indexCount) == 23);

// FLAC__StreamMetadata_CueSheet. The last track is the lead-out.
struct CueSheet {
  char mediaCatalogNumber[129];
  uint64_t leadIn;
  int32_t isCD;  // FLAC__bool
  uint32_t trackCount;
  CueSheetTrack* tracks;
};
static_assert(offsetof(CueSheet, leadIn) == 136 && offsetof(CueSheet, isCD) == 144);
static_assert(offsetof(CueSheet, trackCount) == 148 && offsetof(CueSheet, tracks) == 152);
static_assert(sizeof(CueSheet) == 160);

// FLAC__StreamMetadata, up to the members of its data union that are read.
// The stream info's 64-bit sample count sets the union's alignment.
struct StreamMetadata {
  uint32_t type;  // FLAC__MetadataType
  int32_t isLast;
  uint32_t length;
  union {
    StreamInfo streamInfo;
    VorbisComment vorbisComment;
    CueSheet cueSheet;
  } data;
};
static_assert(offsetof(StreamMetadata, data) == 16);

// FLAC__Metadata_SimpleIterator, opaque.
struct SimpleIterator;

// FLAC__metadata_simple_iterator_new: null when memory ran out.
using IteratorNewFunction = SimpleIterator* (*)();
using IteratorDeleteFunction = void (*)(SimpleIterator* iterator);
// FLAC__metadata_simple_iterator_status: the last failure's status, which
// the call resets to kOk.
using IteratorStatusFunction = IteratorStatus (*)(SimpleIterator* iterator);
// FLAC__metadata_simple_iterator_init(iterator, fileName, readOnly,
// preserveFileStats): nonzero when the file opened, starts as FLAC (after an
// ID3v2 tag at most) and its first block header was read.
using IteratorInitFunction = int (*)(SimpleIterator* iterator, const char* fileName, int readOnly,
                                     int preserveFileStats);
// FLAC__metadata_simple_iterator_next: seeks past the current block and reads
// the next header; zero after the last block (status kOk) or on failure.
using IteratorNextFunction = int (*)(SimpleIterator* iterator);
using IteratorGetBlockTypeFunction = uint32_t (*)(const SimpleIterator* iterator);
// FLAC__metadata_simple_iterator_get_block_length: the length in the current
// block's header, without reading the block.
using IteratorGetBlockLengthFunction = uint32_t (*)(const SimpleIterator* iterator);
// FLAC__metadata_simple_iterator_get_block: a new object holding the current
// block, which the caller releases with FLAC__metadata_object_delete; null on
// failure, after which the iterator's read position is undefined.
using IteratorGetBlockFunction = StreamMetadata* (*)(SimpleIterator* iterator);
using ObjectDeleteFunction = void (*)(StreamMetadata* object);

}  // namespace flac
