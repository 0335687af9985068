#include "inspect/file_facts.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "inspect/inspection.h"
#include "platform/file.h"
#include "tags/byte_source.h"

namespace inspect {
namespace {

// How much of the end of a file is looked at for a FLAC frame header (where
// STREAMINFO does not tell the largest frame), and for an APEv2 tag that
// other bytes follow: an ID3v1 or a Lyrics3 tag, or a few KiB of junk.
constexpr uint32_t kTailBytes = 64 * 1024;
constexpr uint32_t kTagTailBytes = 16 * 1024;
constexpr int kMaxBlocks = 1024;
constexpr uint32_t kMaxTagItems = 1024;

// Bytes read from a file, not set before they are read.
class Bytes {
 public:
  explicit Bytes(uint64_t size) : size_(static_cast<std::size_t>(size)), bytes_(new unsigned char[size_]) {}
  unsigned char* data() { return bytes_.get(); }
  const unsigned char* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }
  unsigned char operator[](std::size_t i) const { return bytes_[i]; }
  const unsigned char* begin() const { return data(); }
  const unsigned char* end() const { return data() + size_; }

 private:
  std::size_t size_;
  std::unique_ptr<unsigned char[]> bytes_;
};

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }
std::u16string Number(uint64_t value) { return Widen(std::to_string(value)); }

uint32_t BigEndian(const unsigned char* b, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | b[i];
  return value;
}

uint32_t LittleEndian32(const unsigned char* b) {
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

// A file whose first bytes are read once: the headers of a FLAC or WAV
// file lie there, and each would otherwise be a read of its own.
class HeadFirstSource final : public ByteSource {
 public:
  explicit HeadFirstSource(ByteSource& file) : file_(file) {}

  bool GetSize(uint64_t& size) override { return file_.GetSize(size); }

  bool Read(uint64_t offset, void* buffer, uint32_t count, uint32_t& bytesRead) override {
    if (!headRead_) {
      headRead_ = true;
      if (!file_.Read(0, head_, sizeof head_, headSize_)) headSize_ = 0;
    }
    if (offset + count <= headSize_ || (headSize_ < sizeof head_ && offset <= headSize_)) {
      bytesRead = static_cast<uint32_t>(std::min<uint64_t>(count, headSize_ - offset));
      std::copy_n(head_ + offset, bytesRead, static_cast<unsigned char*>(buffer));
      return true;
    }
    return file_.Read(offset, buffer, count, bytesRead);
  }

 private:
  ByteSource& file_;
  bool headRead_ = false;
  unsigned char head_[4096];
  uint32_t headSize_ = 0;
};

bool ReadAt(ByteSource& source, uint64_t offset, void* buffer, uint32_t count) {
  uint32_t got = 0;
  return source.Read(offset, buffer, count, got) && got == count;
}

bool HasExtension(const std::u16string& path, std::initializer_list<std::u16string_view> extensions) {
  const std::size_t dot = path.rfind(u'.');
  if (dot == std::u16string::npos) return false;
  std::u16string extension = path.substr(dot + 1);
  for (char16_t& c : extension) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

std::u16string Duration(int64_t milliseconds) { return FormatPosition(static_cast<int32_t>(std::min<int64_t>(milliseconds, INT32_MAX))); }

// ---- FLAC ------------------------------------------------------------------

struct StreamInfo {
  uint32_t minBlock = 0, maxBlock = 0, minFrame = 0, maxFrame = 0, sampleRate = 0, channels = 0, bitsPerSample = 0;
  uint64_t totalSamples = 0;
};

StreamInfo ParseStreamInfo(const unsigned char* b) {
  StreamInfo info;
  info.minBlock = BigEndian(b, 2);
  info.maxBlock = BigEndian(b + 2, 2);
  info.minFrame = BigEndian(b + 4, 3);
  info.maxFrame = BigEndian(b + 7, 3);
  info.sampleRate = BigEndian(b + 10, 3) >> 4;
  info.channels = (b[12] >> 1 & 7) + 1;
  info.bitsPerSample = ((b[12] & 1) << 4 | b[13] >> 4) + 1;
  info.totalSamples = uint64_t{b[13] & 0x0Fu} << 32 | BigEndian(b + 14, 4);
  return info;
}

uint8_t Crc8(const unsigned char* b, std::size_t count) {
  uint8_t crc = 0;
  for (std::size_t i = 0; i < count; ++i) {
    crc ^= b[i];
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint8_t>(crc & 0x80 ? crc << 1 ^ 0x07 : crc << 1);
  }
  return crc;
}

// The samples up to the end of the frame whose header starts at `b` (with
// `left` bytes there), where the header is whole, its CRC right and its
// fields agree with STREAMINFO; 0 otherwise.
uint64_t FrameEnd(const unsigned char* b, std::size_t left, const StreamInfo& info) {
  if (left < 6 || b[0] != 0xFF || (b[1] & 0xFE) != 0xF8) return 0;
  const unsigned blockCode = b[2] >> 4, rateCode = b[2] & 0x0F, channelCode = b[3] >> 4, sizeCode = b[3] >> 1 & 7;
  if (blockCode == 0 || rateCode == 15 || channelCode > 10 || sizeCode == 3 || (b[3] & 1) != 0) return 0;
  const unsigned channels = channelCode < 8 ? channelCode + 1 : 2;
  if (channels != info.channels) return 0;
  // The coded number: a UTF-8-like sequence of up to 7 bytes.
  std::size_t at = 4;
  uint64_t number = b[at];
  int extra = 0;
  if (number >= 0xFE) {
    extra = 6;
    number = 0;
  } else if (number >= 0xC0) {
    extra = number >= 0xFC ? 5 : number >= 0xF8 ? 4 : number >= 0xF0 ? 3 : number >= 0xE0 ? 2 : 1;
    number &= 0x3Fu >> extra;
  } else if (number >= 0x80) {
    return 0;
  }
  ++at;
  for (int i = 0; i < extra; ++i, ++at) {
    if (at >= left || (b[at] & 0xC0) != 0x80) return 0;
    number = number << 6 | (b[at] & 0x3Fu);
  }
  uint64_t block = 0;
  if (blockCode == 1) {
    block = 192;
  } else if (blockCode <= 5) {
    block = 576u << (blockCode - 2);
  } else if (blockCode == 6) {
    if (at >= left) return 0;
    block = b[at++] + 1u;
  } else if (blockCode == 7) {
    if (at + 1 >= left) return 0;
    block = BigEndian(b + at, 2) + 1u;
    at += 2;
  } else {
    block = 256u << (blockCode - 8);
  }
  if (rateCode == 12) {
    at += 1;
  } else if (rateCode == 13 || rateCode == 14) {
    at += 2;
  }
  if (at >= left || Crc8(b, at) != b[at]) return 0;
  const bool variable = (b[1] & 1) != 0;
  return (variable ? number : number * info.maxBlock) + block;
}

// Where the last whole frame of `tail` (the file's last bytes) ends, in
// samples; 0 when no frame header is found there.
uint64_t LastFrameEnd(const Bytes& tail, const StreamInfo& info) {
  for (std::size_t i = tail.size(); i-- > 0;) {
    if (tail[i] != 0xFF) continue;
    if (const uint64_t end = FrameEnd(tail.data() + i, tail.size() - i, info); end != 0) return end;
  }
  return 0;
}

void ReadFLAC(ByteSource& source, uint64_t start, FileFacts& facts) {
  uint64_t offset = start + 4;
  StreamInfo info;
  bool haveInfo = false;
  for (int block = 0;; ++block) {
    unsigned char header[4];
    if (block == kMaxBlocks || !ReadAt(source, offset, header, 4)) {
      if (block < kMaxBlocks) facts.damage = u"the file is cut short inside its metadata";
      return;
    }
    const bool last = (header[0] & 0x80) != 0;
    const unsigned type = header[0] & 0x7F;
    const uint32_t length = BigEndian(header + 1, 3);
    if (offset + 4 + length > facts.size) {
      facts.damage = u"the file is cut short: its metadata block " + Number(static_cast<uint64_t>(block) + 1) +
                     u" (" + (type == 6 ? u"a picture" : u"type " + Number(type)) + u", " + Number(length) +
                     u" bytes) runs past the end of the file, which has " + Number(facts.size) + u" bytes";
      return;
    }
    if (type == 127) {
      facts.damage = u"metadata block " + Number(static_cast<uint64_t>(block) + 1) + u" is of the invalid type 127";
      return;
    }
    if (block == 0) {
      unsigned char b[34];
      if (type != 0 || length != 34 || !ReadAt(source, offset + 4, b, 34)) {
        facts.damage = u"it has no STREAMINFO block first";
        return;
      }
      info = ParseStreamInfo(b);
      haveInfo = info.sampleRate > 0;
    }
    offset += 4 + uint64_t{length};
    if (last) break;
  }
  if (!haveInfo || info.totalSamples == 0) return;
  const int64_t promised = static_cast<int64_t>(info.totalSamples * 1000 / info.sampleRate);
  const uint64_t audioBytes = facts.size - offset;
  unsigned char sync[2] = {};
  if (audioBytes == 0) {
    facts.damage = u"the file is cut short: it ends after its metadata, before any of its " + Duration(promised) +
                   u" of audio";
    facts.lengthKnown = true;
    return;
  }
  if (!ReadAt(source, offset, sync, audioBytes >= 2 ? 2 : 1) || sync[0] != 0xFF || (sync[1] & 0xFE) != 0xF8) {
    facts.damage = u"no FLAC frame starts where its metadata ends, at byte " + Number(offset);
    return;
  }
  facts.lengthKnown = true;
  facts.lengthMs = promised;
  if (info.minFrame > 0 && info.maxBlock > 0) {
    const uint64_t frames = (info.totalSamples + info.maxBlock - 1) / info.maxBlock;
    if (audioBytes < (frames - 1) * uint64_t{info.minFrame}) {
      facts.damage = u"the file is cut short: its STREAMINFO promises " + Duration(promised) + u" of audio in " +
                     Number(frames) + u" frames of at least " + Number(info.minFrame) + u" bytes, but only " +
                     Number(audioBytes) + u" bytes follow the metadata";
    }
  }
  // The last frame tells how far the audio reaches; the last two frames'
  // worth of bytes hold its header.
  const uint64_t tailSize =
      std::min<uint64_t>(audioBytes, info.maxFrame > 0 ? std::min<uint64_t>(2 * uint64_t{info.maxFrame} + 32, kTailBytes)
                                                       : kTailBytes);
  Bytes tail(tailSize);
  if (!ReadAt(source, facts.size - tailSize, tail.data(), static_cast<uint32_t>(tailSize))) return;
  const uint64_t end = LastFrameEnd(tail, info);
  if (end != 0 && end < info.totalSamples) {
    facts.lengthMs = static_cast<int64_t>(end * 1000 / info.sampleRate);
    if (facts.damage.empty()) {
      facts.damage = u"the file is cut short: its STREAMINFO promises " + Duration(promised) +
                     u" of audio, but its last frame ends at " + Duration(facts.lengthMs);
    }
  }
}

// ---- WAV -------------------------------------------------------------------

void ReadWAV(ByteSource& source, FileFacts& facts) {
  unsigned char riff[12];
  if (!ReadAt(source, 0, riff, 12) || std::string_view(reinterpret_cast<char*>(riff), 4) != "RIFF" ||
      std::string_view(reinterpret_cast<char*>(riff) + 8, 4) != "WAVE") {
    facts.damage = u"it does not start as a WAV file does (RIFF, then WAVE)";
    return;
  }
  uint32_t byteRate = 0;
  uint64_t offset = 12;
  for (int chunk = 0; chunk < kMaxBlocks; ++chunk) {
    unsigned char header[8];
    if (!ReadAt(source, offset, header, 8)) {
      facts.damage = u"the file is cut short: it ends before its data chunk";
      return;
    }
    const std::string_view id(reinterpret_cast<char*>(header), 4);
    const uint32_t length = LittleEndian32(header + 4);
    if (id == "fmt ") {
      unsigned char format[12];
      if (length < 12 || !ReadAt(source, offset + 8, format, 12)) {
        facts.damage = u"its fmt chunk is cut short";
        return;
      }
      byteRate = LittleEndian32(format + 8);
    } else if (id == "data") {
      const uint64_t start = offset + 8;
      // A writer that streams leaves the length open (0 or all ones).
      if (length == 0 || length == 0xFFFFFFFF) return;
      const uint64_t present = facts.size - start;
      const uint64_t held = std::min<uint64_t>(present, length);
      if (byteRate > 0) {
        facts.lengthKnown = true;
        facts.lengthMs = static_cast<int64_t>(held * 1000 / byteRate);
      }
      if (present < length) {
        facts.damage = u"the file is cut short: its data chunk should hold " + Number(length) + u" bytes" +
                       (byteRate > 0 ? u" (" + Duration(static_cast<int64_t>(uint64_t{length} * 1000 / byteRate)) + u")"
                                     : u"") +
                       u", but the file ends after " + Number(present);
      } else if (held == 0 || byteRate == 0) {
        facts.damage = byteRate == 0 ? u"its fmt chunk gives no byte rate" : u"its data chunk is empty";
      }
      return;
    }
    offset += 8 + uint64_t{length} + (length & 1);
  }
}

// ---- APEv2 -----------------------------------------------------------------

// Whether the APEv2 tag whose footer starts at `footer` holds an item whose
// key is CUESHEET in any letter case.
bool TagHasCueSheet(ByteSource& source, uint64_t footer, const unsigned char* b) {
  const uint32_t tagSize = LittleEndian32(b + 12);
  const uint32_t items = LittleEndian32(b + 16);
  if (tagSize < 32 || tagSize - 32 > footer) return false;
  uint64_t at = footer - (tagSize - 32);
  for (uint32_t i = 0; i < items && i < kMaxTagItems && at + 8 < footer; ++i) {
    unsigned char item[8 + 256];
    const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(sizeof item, footer - at));
    uint32_t got = 0;
    if (!source.Read(at, item, want, got) || got < 9) return false;
    const uint32_t valueSize = LittleEndian32(item);
    std::size_t keyEnd = 8;
    while (keyEnd < got && item[keyEnd] != 0) ++keyEnd;
    if (keyEnd == got) return false;
    std::string key(reinterpret_cast<char*>(item) + 8, keyEnd - 8);
    for (char& c : key) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (key == "CUESHEET") return true;
    at += keyEnd + 1 + uint64_t{valueSize};
  }
  return false;
}

void FindMisplacedTag(ByteSource& source, FileFacts& facts) {
  const uint64_t tailSize = std::min<uint64_t>(facts.size, kTagTailBytes);
  Bytes tail(tailSize);
  if (tailSize < 32 || !ReadAt(source, facts.size - tailSize, tail.data(), static_cast<uint32_t>(tailSize))) return;
  const uint64_t base = facts.size - tailSize;
  const bool id3v1 = facts.size >= 128 && tailSize >= 128 && tail[tailSize - 128] == 'T' &&
                     tail[tailSize - 127] == 'A' && tail[tailSize - 126] == 'G';
  // The last footer of the tail: the tag nearest the end.
  constexpr std::string_view kPreamble = "APETAGEX";
  const std::boyer_moore_horspool_searcher preamble(kPreamble.begin(), kPreamble.end());
  std::optional<std::size_t> last;
  for (auto at = tail.begin(); at + 32 <= tail.end();) {
    at = std::search(at, tail.end() - 24, preamble);
    if (at == tail.end() - 24) break;
    if ((at[23] & 0x20) == 0) last = static_cast<std::size_t>(at - tail.begin());  // a footer, not a header
    ++at;
  }
  if (last.has_value()) {
    const std::size_t i = *last;
    const unsigned char* b = tail.data() + i;
    const uint64_t end = base + i + 32;
    if (end == facts.size || (id3v1 && end == facts.size - 128)) return;  // where the plug-in reads it
    if (TagHasCueSheet(source, base + i, b)) {
      facts.misplacedCueTag = true;
      facts.bytesAfterTag = facts.size - end;
    }
  }
}

}  // namespace

FileFacts ReadFileFacts(const std::u16string& path, bool lookForTag) {
  FileFacts facts;
  platform::File file;
  if (!file.Open(path.c_str(), platform::FileAccess::kSequential) || !file.GetSize(facts.size)) return facts;
  facts.opened = true;
  FileByteSource fileSource(file);
  HeadFirstSource source(fileSource);
  unsigned char head[10] = {};
  uint32_t got = 0;
  source.Read(0, head, sizeof head, got);
  // A FLAC file may start with an ID3v2 tag, which libFLAC skips.
  uint64_t flacStart = 0;
  if (got == 10 && head[0] == 'I' && head[1] == 'D' && head[2] == '3') {
    flacStart = 10 + (uint64_t{head[6] & 0x7Fu} << 21 | uint64_t{head[7] & 0x7Fu} << 14 |
                      uint64_t{head[8] & 0x7Fu} << 7 | (head[9] & 0x7Fu)) + (head[5] & 0x10 ? 10 : 0);
  }
  unsigned char magic[4] = {};
  const bool flacMagic = ReadAt(source, flacStart, magic, 4) && std::string_view(reinterpret_cast<char*>(magic), 4) == "fLaC";
  facts.flac = flacMagic || HasExtension(path, {u"flac", u"fla"});
  facts.wav = !facts.flac && (std::string_view(reinterpret_cast<char*>(head), 4) == "RIFF" || HasExtension(path, {u"wav"}));
  if (facts.size == 0) return facts;
  if (facts.flac) {
    if (flacMagic) {
      ReadFLAC(source, flacStart, facts);
    } else {
      facts.damage = u"it does not start as a FLAC file does (fLaC)";
    }
  } else if (facts.wav) {
    ReadWAV(source, facts);
  }
  if (lookForTag) FindMisplacedTag(source, facts);
  return facts;
}

}  // namespace inspect
