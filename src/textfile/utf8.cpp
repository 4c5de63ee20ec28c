// UTF-8: checking, decoding and encoding, with vector steps for the runs of
// ASCII markup and of Japanese text that pages are made of.
#include "textfile/bulk_memory.h"
#include "textfile/text_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

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
    // Two three-byte sequences at once while they follow each other: the
    // bits that make them such sequences, then for each the lead's low four
    // bits with the sixth bit of the next byte, which are zero for an
    // overlong form and 0x200D for a surrogate.
    while (e - p >= 8) {
      uint64_t x;
      std::memcpy(&x, p, 8);
      if ((x & 0xC0C0F0C0C0F0u) != 0x8080E08080E0u) break;
      const uint64_t y = x >> 24;
      const auto bad = [](uint64_t w) { return (w & 0x200F) == 0 || (w & 0x200F) == 0x200D; };
      if (bad(x) || bad(y)) break;
      const auto unit = [](uint64_t w) {
        return static_cast<char16_t>(((w & 0x0F) << 12) | ((w >> 2) & 0xFC0) | ((w >> 16) & 0x3F));
      };
      o[0] = unit(x);
      o[1] = unit(y);
      o += 2;
      p += 6;
    }
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
  preferLargePages(out.data(), out.capacity() * sizeof(char16_t));
  prefault(out.data(), out.capacity() * sizeof(char16_t));
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

std::string encodeUtf8(std::u16string_view text) {
  std::string out;
  encodeUtf8Into(text, out);
  return out;
}

namespace {

// True for a unit that UTF-8 writes in three bytes: from U+0800, surrogates
// excepted (most Japanese text).
inline bool threeByteUnit(char16_t c) {
  return c >= 0x800 && static_cast<char16_t>(c - 0xD800) >= 0x800;
}

// Encodes [p, e) at o, which has room for three bytes a unit and 32 more (the
// vector steps store past what they keep); the end of what it wrote.
char* encodeUtf8Units(const char16_t* p, const char16_t* const e, char* o) {
  const auto put = [&](unsigned v) { *o++ = static_cast<char>(v); };
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i above7F = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i above7FF = _mm_set1_epi16(static_cast<short>(0xF800));
  const __m128i surrogate = _mm_set1_epi16(static_cast<short>(0xD800));
  const __m128i low6 = _mm_set1_epi16(0x3F);
  const __m128i lead = _mm_set1_epi16(0xE0);
  const __m128i continuation = _mm_set1_epi16(0x80);
  const __m128i low3Bytes = _mm_set1_epi64x(0xFFFFFF);
  const __m128i next3Bytes = _mm_set1_epi64x(0xFFFFFF000000);
#endif
  while (p < e) {
#if defined(__SSE2__)
    if (e - p >= 8) {
      // Eight units at once, kept as far as they are ASCII; else as far as
      // they are three-byte units, each becoming a 32-bit lane of its three
      // bytes and two lanes a 64-bit lane of six bytes, stored in turn.
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const auto wide = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, above7F), zero)) ^ 0xFFFF);
      if ((wide & 1) == 0) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
        const unsigned ascii = wide ? static_cast<unsigned>(__builtin_ctz(wide)) / 2 : 8u;
        o += ascii;
        p += ascii;
        continue;
      }
      const __m128i top = _mm_and_si128(v, above7FF);
      const auto other = static_cast<unsigned>(_mm_movemask_epi8(
          _mm_or_si128(_mm_cmpeq_epi16(top, zero), _mm_cmpeq_epi16(top, surrogate))));
      if ((other & 1) == 0) {
        const __m128i b0 = _mm_or_si128(_mm_srli_epi16(v, 12), lead);
        const __m128i b1 = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 6), low6), continuation);
        const __m128i b2 = _mm_or_si128(_mm_and_si128(v, low6), continuation);
        const __m128i b01 = _mm_or_si128(b0, _mm_slli_epi16(b1, 8));
        for (const __m128i w : {_mm_unpacklo_epi16(b01, b2), _mm_unpackhi_epi16(b01, b2)}) {
          const __m128i six = _mm_or_si128(_mm_and_si128(w, low3Bytes),
                                           _mm_and_si128(_mm_srli_epi64(w, 8), next3Bytes));
          _mm_storel_epi64(reinterpret_cast<__m128i*>(o), six);
          _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 6), _mm_srli_si128(six, 8));
          o += 12;
        }
        const unsigned three = other ? static_cast<unsigned>(__builtin_ctz(other)) / 2 : 8u;
        o -= 3 * (8 - three);
        p += three;
        continue;
      }
    }
#endif
    // One unit at a time: the last few, and those of two or four bytes.
    if (*p < 0x80) {
      put(*p++);
      continue;
    }
    if (threeByteUnit(*p)) {
      const char16_t c = *p++;
      put(0xE0 | (c >> 12));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
      continue;
    }
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
  return o;
}

}  // namespace

void encodeUtf8Into(std::u16string_view text, std::string& out) {
  // A piece at a time through a buffer that stays in the cache, appended to
  // the bytes: no count beforehand, and the storage is written once, not
  // zeroed first. Room for the longest form up to a megabyte of text.
  constexpr size_t kPiece = 512;
  char piece[3 * kPiece + 32];
  out.clear();
  out.reserve(text.size() <= (size_t{1} << 20) ? 3 * text.size() : text.size() + text.size() / 2);
  while (!text.empty()) {
    size_t n = std::min(text.size(), kPiece);
    // A surrogate pair is never split between two pieces.
    if (n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    const char* end = encodeUtf8Units(text.data(), text.data() + n, piece);
    out.append(piece, static_cast<size_t>(end - piece));
    text.remove_prefix(n);
  }
}

}  // namespace kelvane::textfile
