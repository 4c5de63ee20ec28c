#include "textfile/text_codec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvane::textfile {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Length of the well-formed UTF-8 sequence at bytes[i], or 0.
size_t utf8SequenceLength(std::string_view bytes, size_t i) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = b(i);
  const size_t left = bytes.size() - i;
  const auto cont = [&](size_t k) { return (b(i + k) & 0xC0) == 0x80; };
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return left >= 2 && cont(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (left < 3 || !cont(1) || !cont(2)) return 0;
    const unsigned char second = b(i + 1);
    if (lead == 0xE0 && second < 0xA0) return 0;   // overlong
    if (lead == 0xED && second >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (left < 4 || !cont(1) || !cont(2) || !cont(3)) return 0;
    const unsigned char second = b(i + 1);
    if (lead == 0xF0 && second < 0x90) return 0;   // overlong
    if (lead == 0xF4 && second >= 0x90) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

// Eight bytes at once while they are all ASCII: pages are mostly markup.
size_t asciiRun(const char* data, size_t size) {
  size_t i = 0;
  while (i + 8 <= size) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    if (word & 0x8080808080808080ULL) break;
    i += 8;
  }
  while (i < size && static_cast<unsigned char>(data[i]) < 0x80) ++i;
  return i;
}

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Single bytes that Windows maps to characters of their own although ICU's
// table leaves them out: 0x80 is U+0080, 0xA0 is U+F8F0 and 0xFD-0xFF are
// U+F8F1-U+F8F3. The writer maps them back, so they survive a round trip.
constexpr struct {
  unsigned char byte;
  char16_t unit;
} kWindowsSingles[] = {
    {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};

// Every other byte sequence that CP932 cannot map becomes U+FFFD (ICU's own
// substitute would give U+001A for some of them, which looks like data).
void toUnicodeReplacement(const void*, UConverterToUnicodeArgs* args, const char* units,
                          int32_t length, UConverterCallbackReason reason, UErrorCode* status) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  UChar replacement = kReplacement;
  if (length == 1) {
    for (const auto& single : kWindowsSingles) {
      if (static_cast<unsigned char>(units[0]) == single.byte) replacement = single.unit;
    }
  }
  *status = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, status);
}

// The singles above back to their bytes; anything else without a CP932 form
// stops the conversion, so that no character is lost unnoticed. (ICU's own
// stop callback would let default-ignorable characters such as U+00AD,
// U+200B and U+FEFF vanish without a word.)
void fromUnicodeSinglesOrStop(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                              UChar32 codePoint, UConverterCallbackReason reason,
                              UErrorCode* status) {
  if (reason != UCNV_UNASSIGNED) return;
  for (const auto& single : kWindowsSingles) {
    if (codePoint == single.unit) {
      const char byte = static_cast<char>(single.byte);
      *status = U_ZERO_ERROR;
      ucnv_cbFromUWriteBytes(args, &byte, 1, 0, status);
      return;
    }
  }
}

// ICU's CP932 table swaps three control codes: the bytes 1A, 1C and 7F come
// out as U+001C, U+007F and U+001A, and go back the same way. Windows maps
// each to itself. One row per control: its byte, and what ICU makes of it.
struct ControlSwap {
  unsigned byte;
  unsigned icu;
};
constexpr ControlSwap kControlSwaps[] = {{0x1A, 0x1C}, {0x1C, 0x7F}, {0x7F, 0x1A}};

// The Windows form of a control that ICU produced (a unit when `from` is
// &ControlSwap::icu, a byte when it is &ControlSwap::byte); anything else
// unchanged.
unsigned windowsControl(unsigned value, unsigned ControlSwap::*from) {
  if (value > 0x7F) return value;
  for (const ControlSwap& swap : kControlSwaps) {
    if (swap.*from == value) return from == &ControlSwap::icu ? swap.byte : swap.icu;
  }
  return value;
}

Converter openCp932() {
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open("windows-31j", &status));
  if (U_FAILURE(status)) return nullptr;
  return c;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    i += asciiRun(bytes.data() + i, bytes.size() - i);
    if (i == bytes.size()) break;
    const size_t n = utf8SequenceLength(bytes, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string_view withoutSplitUtf8Tail(std::string_view head) {
  for (size_t back = 1; back <= 3 && back <= head.size(); ++back) {
    const auto b = static_cast<unsigned char>(head[head.size() - back]);
    if ((b & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return length > back ? head.substr(0, head.size() - back) : head;
  }
  return head;
}

namespace {

// Number of UTF-16 units that well-formed UTF-8 bytes decode to: one per
// lead byte, two for a four-byte sequence. Sixteen bytes at a time where SSE2
// is there.
size_t utf16Length(std::string_view bytes) {
  size_t units = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t i = 0;
#if defined(__SSE2__)
  // Per-byte counters in a vector, summed before they can overflow.
  const __m128i contMask = _mm_set1_epi8(static_cast<char>(0xC0));
  const __m128i cont = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i four = _mm_set1_epi8(static_cast<char>(0xF0));
  const __m128i zero = _mm_setzero_si128();
  while (i + 16 <= bytes.size()) {
    __m128i continuations = zero, wides = zero;
    for (int round = 0; round < 255 && i + 16 <= bytes.size(); ++round, i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      continuations = _mm_sub_epi8(continuations, _mm_cmpeq_epi8(_mm_and_si128(v, contMask), cont));
      wides = _mm_sub_epi8(wides, _mm_cmpeq_epi8(_mm_max_epu8(v, four), v));
    }
    const __m128i c = _mm_sad_epu8(continuations, zero), w = _mm_sad_epu8(wides, zero);
    const auto lanes = [](__m128i x) {
      return static_cast<size_t>(_mm_cvtsi128_si32(x)) +
             static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(x, 8)));
    };
    units -= lanes(c);
    units += lanes(w);
  }
  units += i;  // every byte counted so far is a unit unless it was subtracted above
#endif
  for (; i < bytes.size(); ++i) {
    units += static_cast<size_t>((p[i] & 0xC0u) != 0x80u) + static_cast<size_t>(p[i] >= 0xF0u);
  }
  return units;
}

// The character of a three-byte sequence at p, read from four bytes (so at
// least four must be left), or 0 when they do not start one: a lead byte
// E0-EF, two continuation bytes, not overlong, not a surrogate. Most
// Japanese text is made of these.
inline char16_t threeByteAt(const unsigned char* p) {
  uint32_t w;
  std::memcpy(&w, p, 4);
  if ((w & 0xC0C0F0u) != 0x8080E0u) return 0;
  const auto c =
      static_cast<char16_t>(((w & 0x0Fu) << 12) | ((w & 0x3F00u) >> 2) | ((w & 0x3F0000u) >> 16));
  return c >= 0x800 && static_cast<char16_t>(c - 0xD800) >= 0x800 ? c : 0;
}

// Decodes into [o, oe), which has room for one unit per byte: the end of
// what it wrote, or null at the first malformed sequence.
char16_t* decodeUtf8Into(std::string_view bytes, char16_t* o, char16_t* const oe) {
  const auto* const begin = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* p = begin;
  const auto* const e = p + bytes.size();
  while (p < e) {
#if defined(__SSE2__)
    // Sixteen bytes widened at once, kept as far as they are ASCII: short
    // runs of markup between Japanese words cost one step, not one per byte.
    const __m128i zero = _mm_setzero_si128();
    while (e - p >= 16 && oe - o >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_unpacklo_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8), _mm_unpackhi_epi8(v, zero));
      const auto high = static_cast<unsigned>(_mm_movemask_epi8(v));
      const unsigned ascii = high ? static_cast<unsigned>(__builtin_ctz(high)) : 16u;
      o += ascii;
      p += ascii;
      if (high) break;
    }
#endif
    while (p < e && *p < 0x80) *o++ = *p++;
    while (e - p >= 4) {
      const char16_t c = threeByteAt(p);
      if (c == 0) break;
      *o++ = c;
      p += 3;
    }
    if (p == e || *p < 0x80) continue;
    const size_t n = utf8SequenceLength(bytes, static_cast<size_t>(p - begin));
    if (n == 2) {
      *o++ = static_cast<char16_t>(((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu));
    } else if (n == 3) {
      *o++ = static_cast<char16_t>(((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu));
    } else if (n == 4) {
      const char32_t cp = (((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) |
                           (p[3] & 0x3Fu)) -
                          0x10000;
      *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      return nullptr;
    }
    p += n;
  }
  return o;
}

}  // namespace

std::optional<std::u16string> tryDecodeUtf8(std::string_view bytes) {
  // A piece at a time through a buffer that stays in the cache, appended to
  // the text: its storage is written once, not zeroed first.
  std::u16string out;
  out.reserve(utf16Length(bytes));
  constexpr size_t kPiece = 1024;
  char16_t piece[kPiece];
  while (!bytes.empty()) {
    size_t n = std::min(bytes.size(), kPiece);
    // End the piece before a lead byte, so that no well-formed sequence is
    // cut; four continuation bytes in a row are malformed anyway, and the
    // next piece, starting with one, fails.
    for (int back = 0; back < 3 && n < bytes.size() && (bytes[n] & 0xC0) == 0x80; ++back) --n;
    const char16_t* end = decodeUtf8Into(bytes.substr(0, n), piece, piece + kPiece);
    if (!end) return std::nullopt;
    out.append(piece, static_cast<size_t>(end - piece));
    bytes.remove_prefix(n);
  }
  return out;
}

std::u16string decodeUtf8(std::string_view bytes) {
  auto text = tryDecodeUtf8(bytes);
  return text ? std::move(*text) : decodeCp932(bytes);
}

std::u16string decodeCp932(std::string_view bytes) {
  std::u16string out;
  if (bytes.empty()) return out;
  Converter conv = openCp932();
  if (!conv) {  // no converter data: keep ASCII, mark the rest
    for (char c : bytes) {
      const auto u = static_cast<unsigned char>(c);
      out.push_back(u < 0x80 ? u : kReplacement);
    }
    return out;
  }
  // A double-byte character never yields more than two units.
  out.resize(bytes.size() * 2);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(conv.get(), toUnicodeReplacement, nullptr, nullptr, nullptr, &status);
  UChar* target = reinterpret_cast<UChar*>(out.data());
  const char* source = bytes.data();
  status = U_ZERO_ERROR;
  ucnv_toUnicode(conv.get(), &target, target + out.size(), &source, bytes.data() + bytes.size(),
                 nullptr, true, &status);
  out.resize(static_cast<size_t>(target - reinterpret_cast<UChar*>(out.data())));
  for (char16_t& c : out) c = static_cast<char16_t>(windowsControl(c, &ControlSwap::icu));
  return out;
}

std::u16string decodeText(std::string_view bytes, Encoding* used) {
  std::string_view body = bytes;
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  if (auto text = tryDecodeUtf8(body)) {
    if (used) *used = Encoding::Utf8;
    return std::move(*text);
  }
  if (used) *used = Encoding::Cp932;
  return decodeCp932(bytes);
}

std::string encodeUtf8(std::u16string_view text) {
  std::string out;
  encodeUtf8Into(text, out);
  return out;
}

void encodeUtf8Into(std::u16string_view text, std::string& out) {
  // Exact, but for a surrogate pair counted as six bytes instead of four.
  size_t length = 0;
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i above7F = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i above7FF = _mm_set1_epi16(static_cast<short>(0xF800));
  const __m128i ones = _mm_set1_epi16(1);
  while (i + 8 <= text.size()) {
    // Per-lane counts of units that need a second and a third byte.
    __m128i second = zero, third = zero;
    for (int round = 0; round < 4096 && i + 8 <= text.size(); ++round, i += 8) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
      second = _mm_add_epi16(
          second, _mm_andnot_si128(_mm_cmpeq_epi16(_mm_and_si128(v, above7F), zero), ones));
      third = _mm_add_epi16(
          third, _mm_andnot_si128(_mm_cmpeq_epi16(_mm_and_si128(v, above7FF), zero), ones));
    }
    alignas(16) int32_t sums[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(sums),
                    _mm_madd_epi16(_mm_add_epi16(second, third), ones));
    length += static_cast<size_t>(sums[0]) + static_cast<size_t>(sums[1]) +
              static_cast<size_t>(sums[2]) + static_cast<size_t>(sums[3]);
  }
  length += i;
#endif
  for (; i < text.size(); ++i) length += 1u + (text[i] >= 0x80) + (text[i] >= 0x800);
  out.resize(length);
  char* o = out.data();
  const char16_t* p = text.data();
  const char16_t* const e = p + text.size();
  const auto put = [&](unsigned v) { *o++ = static_cast<char>(v); };
  while (p < e) {
#if defined(__SSE2__)
    // Eight units narrowed at once, kept as far as they are ASCII. The output
    // has room: every unit left needs at least one byte.
    while (e - p >= 8) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
      const auto wide = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, above7F), zero)) ^ 0xFFFF);
      const unsigned ascii = wide ? static_cast<unsigned>(__builtin_ctz(wide)) / 2 : 8u;
      o += ascii;
      p += ascii;
      if (wide) break;
    }
#endif
    while (p < e && *p < 0x80) put(*p++);
    // Runs of three-byte characters outside the surrogates (Japanese text).
    // Four bytes stored at once while another unit follows (it needs one
    // more byte at least), three of them kept.
    while (p < e && *p >= 0x800 && static_cast<char16_t>(*p - 0xD800) >= 0x800) {
      const char16_t c = *p++;
      const uint32_t w = 0x8080E0u | (c >> 12) | ((c & 0xFC0u) << 2) | ((c & 0x3Fu) << 16);
      if (p < e) {
        std::memcpy(o, &w, 4);
        o += 3;
      } else {
        put(w & 0xFF);
        put((w >> 8) & 0xFF);
        put(w >> 16);
      }
    }
    if (p == e || *p < 0x80) continue;
    char32_t cp = *p++;
    if (cp < 0x800) {
      put(0xC0 | (cp >> 6));
      put(0x80 | (cp & 0x3F));
      continue;
    }
    if (cp <= 0xDBFF && p < e && *p >= 0xDC00 && *p <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (*p++ - 0xDC00);
      put(0xF0 | (cp >> 18));
      put(0x80 | ((cp >> 12) & 0x3F));
      put(0x80 | ((cp >> 6) & 0x3F));
      put(0x80 | (cp & 0x3F));
      continue;
    }
    cp = kReplacement;  // an unpaired surrogate
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
  out.resize(static_cast<size_t>(o - out.data()));
}

std::optional<std::string> encodeCp932(std::u16string_view text) {
  std::string out;
  if (text.empty()) return out;
  Converter conv = openCp932();
  if (!conv) return std::nullopt;
  // ICU substitutes silently by default; stop instead, so that a character
  // without a CP932 form is never lost unnoticed.
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(conv.get(), fromUnicodeSinglesOrStop, nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(text.size() * 2 + 4);
  char* target = out.data();
  const UChar* source = reinterpret_cast<const UChar*>(text.data());
  status = U_ZERO_ERROR;
  ucnv_fromUnicode(conv.get(), &target, out.data() + out.size(), &source, source + text.size(),
                   nullptr, true, &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<size_t>(target - out.data()));
  // These bytes are never the second byte of a double-byte character, so
  // they can be mapped alone.
  for (char& b : out)
    b = static_cast<char>(windowsControl(static_cast<unsigned char>(b), &ControlSwap::byte));
  // ICU always applies its one-way mappings to private-use characters
  // (U+F86F comes out as 87 82, which reads back as U+2116): text with such
  // characters fits only when it reads back as itself.
  const auto privateUse = [](char16_t c) {
    return (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xDB80 && c <= 0xDBFF);
  };
  if (std::any_of(text.begin(), text.end(), privateUse) && decodeCp932(out) != text)
    return std::nullopt;
  return out;
}

}  // namespace kelvane::textfile
