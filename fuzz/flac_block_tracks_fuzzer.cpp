// The CUESHEET block's track starts on arbitrary blocks. The input is a
// sample rate (4 bytes), a track count (1 byte) and per track an offset
// (8 bytes), an index count (1 byte) and per index an offset (8 bytes) and a
// number (1 byte), little-endian; missing bytes read as zero. Every track but
// the last must give one result in order, and each start must be the one that
// exact 128-bit arithmetic gives, or none where that is past INT32_MAX ms.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tags/flac_tag_parser.h"

namespace {

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t at = 0;
  const auto take = [&](int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i, ++at) {
      value |= static_cast<uint64_t>(at < size ? data[at] : 0) << (8 * i);
    }
    return value;
  };
  const auto sampleRate = static_cast<uint32_t>(take(4));
  const auto trackCount = static_cast<uint32_t>(take(1));
  std::vector<flac::CueSheetTrack> tracks(trackCount);
  std::vector<std::vector<flac::CueSheetIndex>> indices(trackCount);
  for (uint32_t i = 0; i < trackCount; ++i) {
    tracks[i].offset = take(8);
    indices[i].resize(take(1));
    for (flac::CueSheetIndex& index : indices[i]) {
      index.offset = take(8);
      index.number = static_cast<unsigned char>(take(1));
    }
    tracks[i].indexCount = static_cast<unsigned char>(indices[i].size());
    tracks[i].indices = indices[i].empty() ? nullptr : indices[i].data();
  }
  flac::CueSheet block = {};
  block.trackCount = trackCount;
  block.tracks = tracks.empty() ? nullptr : tracks.data();

  const std::vector<FLACCueTrack> result = GetFLACBlockTracks(block, sampleRate);
  Check(result.size() == (trackCount > 0 ? trackCount - 1 : 0));
  for (size_t i = 0; i < result.size(); ++i) {
    const flac::CueSheetIndex* index1 = nullptr;
    for (const flac::CueSheetIndex& index : indices[i]) {
      if (index.number == 1) {
        index1 = &index;
        break;
      }
    }
    bool expected = index1 != nullptr && sampleRate != 0;
    unsigned __int128 ms = 0;
    if (expected) {
      const unsigned __int128 samples = static_cast<unsigned __int128>(tracks[i].offset) + index1->offset;
      ms = samples * 1000 / sampleRate;
      expected = samples <= UINT64_MAX && ms <= INT32_MAX;
    }
    Check(result[i].hasIndex1 == expected);
    Check(result[i].start >= 0);
    Check(result[i].start == (expected ? static_cast<int32_t>(ms) : 0));
  }
  return 0;
}
