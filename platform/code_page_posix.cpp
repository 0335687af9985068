// The native stand-in for the player's system: the ANSI code page is
// Windows-1252, and both directions behave as MultiByteToWideChar and
// WideCharToMultiByte do with no flags.
#include "platform/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace {

// Windows-1252 bytes 0x80 to 0x9F. The five bytes that the code page leaves
// undefined map to the C1 controls of the same value, as on Windows.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char kDefaultChar = '?';

// Collects output units; past the room it only counts, and the caller fails.
template <typename Unit>
class Output {
 public:
  Output(Unit* out, int32_t capacity) : out_(out), capacity_(capacity) {}

  void Put(Unit unit) {
    if (count_ < capacity_) {
      out_[count_] = unit;
    }
    if (count_ < INT32_MAX) {
      ++count_;
    }
  }

  // Windows' result: the size asked for, the units written, or 0.
  int32_t Result() const {
    if (capacity_ == 0) {
      return count_;
    }
    return count_ <= capacity_ ? count_ : 0;
  }

 private:
  Unit* out_;
  int32_t capacity_;
  int32_t count_ = 0;
};

char16_t Windows1252ToWide(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) {
    return kWindows1252High[byte - 0x80];
  }
  return byte;
}

char WideToWindows1252(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    return static_cast<char>(unit);
  }
  for (int i = 0; i < 32; ++i) {
    if (kWindows1252High[i] == unit) {
      return static_cast<char>(0x80 + i);
    }
  }
  return kDefaultChar;
}

void PutCodePoint(Output<char16_t>& out, char32_t codePoint) {
  if (codePoint >= 0x10000) {
    codePoint -= 0x10000;
    out.Put(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.Put(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
  } else {
    out.Put(static_cast<char16_t>(codePoint));
  }
}

constexpr char32_t kInvalid = 0xFFFFFFFF;

int TrailCount(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  return 0;
}

// One sequence after its lead byte, which `i` has passed; `i` moves past the
// bytes taken. Windows takes the bytes of a malformed sequence up to the one
// that shows it malformed: a trail byte that is no continuation byte, or that
// would leave the Unicode range, is left for the next character; one that
// completes an overlong form or a surrogate is taken with it. A sequence cut
// off by the end of the text takes the rest of the text.
char32_t DecodeSequence(const unsigned char* in, size_t n, size_t& i, unsigned char lead) {
  const int trail = TrailCount(lead);
  if (trail == 0) {
    return kInvalid;
  }
  if (static_cast<size_t>(trail) > n - i) {
    i = n;
    return kInvalid;
  }
  char32_t codePoint = lead & (0x7F >> (trail + 1));
  for (int left = trail; left >= 1; --left) {
    const unsigned char byte = in[i];
    if ((byte & 0xC0) != 0x80) {
      return kInvalid;
    }
    codePoint = codePoint << 6 | (byte & 0x3F);
    if (left == 2 && codePoint >= (0x110000 >> 6)) {
      return kInvalid;
    }
    ++i;
    if (left == 3 && codePoint < 0x10) {
      return kInvalid;  // overlong four-byte form
    }
    if (left == 2 && (codePoint < 0x20 || (codePoint >= (0xD800 >> 6) && codePoint <= (0xDFFF >> 6)))) {
      return kInvalid;  // overlong three-byte form, or a surrogate
    }
  }
  return codePoint;
}

// Each malformed sequence becomes one U+FFFD; the rest is still converted.
void DecodeUtf8(const unsigned char* in, size_t n, Output<char16_t>& out) {
  size_t i = 0;
  while (i < n) {
    const unsigned char lead = in[i++];
    if (lead < 0x80) {
      out.Put(lead);
      continue;
    }
    const char32_t codePoint = DecodeSequence(in, n, i, lead);
    if (codePoint == kInvalid) {
      out.Put(0xFFFD);
    } else {
      PutCodePoint(out, codePoint);
    }
  }
}

// An unpaired surrogate is encoded as U+FFFD.
void EncodeUtf8(const char16_t* in, size_t n, Output<char>& out) {
  for (size_t i = 0; i < n; ++i) {
    char32_t c = in[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.Put(static_cast<char>(c));
    } else if (c < 0x800) {
      out.Put(static_cast<char>(0xC0 | (c >> 6)));
      out.Put(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.Put(static_cast<char>(0xE0 | (c >> 12)));
      out.Put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.Put(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.Put(static_cast<char>(0xF0 | (c >> 18)));
      out.Put(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.Put(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.Put(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

}  // namespace

int32_t MultiByteToWide(CodePage codePage, const char* bytes, int32_t count,
                        char16_t* wide, int32_t capacity) {
  if (bytes == nullptr || count <= 0 || capacity < 0 || (capacity > 0 && wide == nullptr)) {
    return 0;
  }
  Output<char16_t> out(wide, capacity);
  const auto* in = reinterpret_cast<const unsigned char*>(bytes);
  if (codePage == CodePage::kUtf8) {
    DecodeUtf8(in, static_cast<size_t>(count), out);
  } else {
    for (int32_t i = 0; i < count; ++i) {
      out.Put(Windows1252ToWide(in[i]));
    }
  }
  return out.Result();
}

int32_t WideToMultiByte(CodePage codePage, const char16_t* wide, int32_t count,
                        char* bytes, int32_t capacity) {
  if (wide == nullptr || count <= 0 || capacity < 0 || (capacity > 0 && bytes == nullptr)) {
    return 0;
  }
  Output<char> out(bytes, capacity);
  if (codePage == CodePage::kUtf8) {
    EncodeUtf8(wide, static_cast<size_t>(count), out);
  } else {
    for (int32_t i = 0; i < count; ++i) {
      out.Put(WideToWindows1252(wide[i]));
    }
  }
  return out.Result();
}

uint32_t AnsiCodePageNumber() { return 1252; }

namespace {

// The iconv name of a Windows code page.
std::string IconvName(uint32_t number) {
  switch (number) {
    case 20866: return "KOI8-R";
    case 20932: return "EUC-JP";
    default: return "CP" + std::to_string(number);
  }
}

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Opening a converter loads the code page's gconv module, which costs far
// more than a sheet's conversion: each thread keeps one converter per code
// page (a refused code page too, as kNoConverter) until it ends.
class Converters {
 public:
  Converters() = default;
  Converters(const Converters&) = delete;
  Converters& operator=(const Converters&) = delete;
  ~Converters() {
    for (const auto& [number, converter] : converters_) {
      if (converter != kNoConverter) iconv_close(converter);
    }
  }

  // A converter from code page `number` to UTF-16LE in its initial state, or
  // kNoConverter.
  iconv_t For(uint32_t number) {
    for (const auto& [known, converter] : converters_) {
      if (known != number) continue;
      if (converter != kNoConverter) iconv(converter, nullptr, nullptr, nullptr, nullptr);
      return converter;
    }
    const iconv_t converter = iconv_open("UTF-16LE", IconvName(number).c_str());
    converters_.emplace_back(number, converter);
    return converter;
  }

 private:
  std::vector<std::pair<uint32_t, iconv_t>> converters_;
};

iconv_t ConverterFor(uint32_t number) {
  thread_local Converters converters;
  return converters.For(number);
}

// Converts to UTF-16LE (the native builds run on little-endian machines);
// false on a sequence that is invalid in the code page.
bool Convert(iconv_t converter, const char* bytes, size_t size, std::u16string& wide) {
  char* in = const_cast<char*>(bytes);
  size_t inLeft = size;
  const size_t start = wide.size();
  wide.resize(start + size + 1);
  char* out = reinterpret_cast<char*>(wide.data() + start);
  size_t outLeft = (size + 1) * sizeof(char16_t);
  if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1) ||
      iconv(converter, nullptr, nullptr, &out, &outLeft) == static_cast<size_t>(-1)) {
    return false;
  }
  wide.resize(start + size + 1 - outLeft / sizeof(char16_t));
  return true;
}

}  // namespace

bool IsCodePageInstalled(uint32_t number) { return ConverterFor(number) != kNoConverter; }

// Windows decodes code page 1258 character by character: a base letter and
// the tone mark after it stay two characters, where iconv would join them.
// So the text is converted in runs that each begin at a tone mark (CC, D2,
// DE, EC, F2), which has no letter before it to join.
bool DecodeCodePage(std::string_view bytes, uint32_t number, std::u16string& text) {
  if (bytes.empty() || bytes.size() > static_cast<size_t>(INT32_MAX)) {
    return false;
  }
  const iconv_t converter = ConverterFor(number);
  if (converter == kNoConverter) {
    return false;
  }
  std::u16string wide;
  bool ok = true;
  if (number == 1258) {
    for (size_t start = 0; ok && start < bytes.size();) {
      const size_t end = std::min(bytes.find_first_of("\xCC\xD2\xDE\xEC\xF2", start + 1), bytes.size());
      ok = Convert(converter, bytes.data() + start, end - start, wide);
      start = end;
    }
  } else {
    ok = Convert(converter, bytes.data(), bytes.size(), wide);
  }
  if (ok) text = std::move(wide);
  return ok;
}

}  // namespace platform
