#include "engine/text.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvane::engine {
namespace {

// The mapping of the BMP, filled a block of 256 units at a time on first
// use: a page touches few blocks, and filling all 65,536 units through ICU
// would cost more than a run over a megabyte of text.
class UpperBlocks {
 public:
  using Block = std::array<char16_t, 256>;

  char16_t upper(char16_t c) {
    const Block* block = blocks_[c >> 8].load(std::memory_order_acquire);
    if (!block) block = fill(c >> 8);
    return (*block)[c & 0xFF];
  }

 private:
  const Block* fill(unsigned high) {
    auto block = std::make_unique<Block>();
    for (unsigned low = 0; low < 256; ++low) {
      const UChar32 c = static_cast<UChar32>((high << 8) | low);
      // Surrogates map to themselves; a mapping out of the BMP is not taken.
      const UChar32 u = (c >= 0xD800 && c <= 0xDFFF) ? c : u_toupper(c);
      (*block)[low] = static_cast<char16_t>(u <= 0xFFFF ? u : c);
    }
    const Block* expected = nullptr;
    // Another thread may have filled it meanwhile: keep the first one.
    if (blocks_[high].compare_exchange_strong(expected, block.get(), std::memory_order_acq_rel))
      return block.release();
    return expected;
  }

  std::array<std::atomic<const Block*>, 256> blocks_{};
};

UpperBlocks& upperBlocks() {
  static auto* blocks = new UpperBlocks();  // lives as long as the process
  return *blocks;
}

// Units other than c whose upper-case form is c, for the units that can
// start a marker. Outside ASCII letters there are few ('ı' for 'I', 'ſ' for
// 'S', ...); the whole inverse is built the first time a marker starts with
// a unit beyond ASCII.
struct Preimages {
  char16_t units[7];
  int count = 0;
};

class InverseUpper {
 public:
  InverseUpper() {
    for (uint32_t c = 0; c < 0x10000; ++c) {
      const char16_t target = upperUnit(static_cast<char16_t>(c));
      if (target == c) continue;
      uint16_t& index = index_[target];
      if (index == 0) {
        index = static_cast<uint16_t>(list_.size());
        list_.emplace_back();
      }
      Preimages& p = list_[index];
      if (p.count < 7) p.units[p.count++] = static_cast<char16_t>(c);
    }
  }
  const Preimages& of(char16_t c) const { return list_[index_[c]]; }

 private:
  std::array<uint16_t, 0x10000> index_{};
  std::vector<Preimages> list_{Preimages{}};
};

const InverseUpper& inverseUpper() {
  static const auto* inverse = new InverseUpper();
  return *inverse;
}

// The units whose upper-case form is that of c, its own upper-case form
// first: what one unit of a marker matches in a text. At most eight.
int caseVariantsBeyondAscii(char16_t c, char16_t* out);

inline int caseVariants(char16_t c, char16_t* out) {
  if (c >= 0x80) return caseVariantsBeyondAscii(c, out);
  const char16_t upper = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  out[0] = upper;
  if (upper < u'A' || upper > u'Z') return 1;
  out[1] = static_cast<char16_t>(upper + 0x20);
  if (upper == u'I' || upper == u'S') {
    out[2] = upper == u'I' ? u'\u0131' : u'\u017F';  // dotless i, long s
    return 3;
  }
  return 2;
}

int caseVariantsBeyondAscii(char16_t c, char16_t* out) {
  if (caseless(c)) {
    out[0] = c;
    return 1;
  }
  const char16_t upper = upperUnit(c);
  if (upper < 0x80) return caseVariants(upper, out);  // 'ı' and 'ſ'
  int count = 0;
  out[count++] = upper;
  const Preimages& extra = inverseUpper().of(upper);
  for (int k = 0; k < extra.count; ++k) out[count++] = extra.units[k];
  return count;
}

#if defined(__SSE2__)
template <int N>
inline __m128i matchesAny(__m128i v, const char16_t* values) {
  __m128i hit = _mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(values[0])));
  for (int k = 1; k < N; ++k)
    hit = _mm_or_si128(hit, _mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(values[k]))));
  return hit;
}

inline size_t firstLane(int mask) {
  return static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)) / 2);
}
#endif

// A marker's first unit and, where it helps, one more (the probe), each with
// the units that match it: a candidate must show both, which skips most of
// the places where only the first unit matches ('<' in markup).
struct Filter {
  size_t probe = 0;  // offset of the probe in the marker; 0 for none
  char16_t heads[8], probes[3];
  int headCount = 0, probeCount = 0;
};

// The probe is the first unit after the head that is a letter or a digit
// (rare in markup, next to '<', '/', '"' and blanks) or has no case, else
// the last unit when it is ASCII; none when either place would need more
// than three units looked for.
Filter filterFor(TextView marker) {
  Filter f;
  f.headCount = caseVariants(marker[0], f.heads);
  if (marker.size() < 2 || f.headCount > 3) return f;
  size_t probe = 0;
  for (size_t k = 1; k < marker.size(); ++k) {
    const char16_t c = marker[k];
    const char16_t folded = c | 0x20;
    if ((c >= u'0' && c <= u'9') || (folded >= u'a' && folded <= u'z') || caseless(c)) {
      probe = k;
      break;
    }
  }
  if (probe == 0 && marker.back() < 0x80) probe = marker.size() - 1;
  if (probe == 0) return f;
  char16_t probes[8];
  const int probeCount = caseVariants(marker[probe], probes);
  if (probeCount > 3) return f;
  f.probe = probe;
  f.probeCount = probeCount;
  std::copy(probes, probes + probeCount, f.probes);
  return f;
}

#if defined(__SSE2__)
// The first candidate in [i, end) whose head (and probe) match, or npos when
// none does in the whole blocks of eight; i is left at the first candidate
// the blocks did not cover.
template <int H, int P>
size_t scanBlocks(const char16_t* data, size_t& i, size_t end, const Filter& f) {
  for (; i + 8 <= end; i += 8) {
    __m128i hit =
        matchesAny<H>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)), f.heads);
    if constexpr (P > 0) {
      const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + f.probe));
      hit = _mm_and_si128(hit, matchesAny<P>(p, f.probes));
    }
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return i + firstLane(mask);
  }
  return TextView::npos;
}
#endif

// The first candidate in [i, last] whose head (and probe) match, or npos.
size_t scan(const char16_t* data, size_t i, size_t last, const Filter& f) {
#if defined(__SSE2__)
  using Blocks = size_t (*)(const char16_t*, size_t&, size_t, const Filter&);
  static constexpr Blocks kBlocks[4][4] = {
      {scanBlocks<1, 0>, scanBlocks<1, 1>, scanBlocks<1, 2>, scanBlocks<1, 3>},
      {scanBlocks<2, 0>, scanBlocks<2, 1>, scanBlocks<2, 2>, scanBlocks<2, 3>},
      {scanBlocks<3, 0>, scanBlocks<3, 1>, scanBlocks<3, 2>, scanBlocks<3, 3>},
      {scanBlocks<4, 0>, nullptr, nullptr, nullptr},
  };
  if (f.headCount <= 4) {
    const size_t at = kBlocks[f.headCount - 1][f.probeCount](data, i, last + 1, f);
    if (at != TextView::npos) return at;
  }
#endif
  const auto any = [](char16_t c, const char16_t* values, int count) {
    for (int k = 0; k < count; ++k) {
      if (c == values[k]) return true;
    }
    return false;
  };
  for (; i <= last; ++i) {
    if (any(data[i], f.heads, f.headCount) &&
        (f.probeCount == 0 || any(data[i + f.probe], f.probes, f.probeCount)))
      return i;
  }
  return TextView::npos;
}

// How many units of t and m from the start agree, letter case ignored (n at
// most). Eight at a time while both are ASCII.
size_t agreeingUnits(const char16_t* t, const char16_t* m, size_t n) {
  size_t k = 0;
#if defined(__SSE2__)
  const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i zero = _mm_setzero_si128();
  const auto upper = [](__m128i v) {
    const __m128i lower = _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16(u'a' - 1)),
                                        _mm_cmplt_epi16(v, _mm_set1_epi16(u'z' + 1)));
    return _mm_sub_epi16(v, _mm_and_si128(lower, _mm_set1_epi16(0x20)));
  };
  for (; k + 8 <= n; k += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + k));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + k));
    const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(_mm_or_si128(a, b), nonAscii), zero);
    if (_mm_movemask_epi8(ascii) != 0xFFFF) break;
    const int differ = _mm_movemask_epi8(_mm_cmpeq_epi16(upper(a), upper(b))) ^ 0xFFFF;
    if (differ != 0) return k + firstLane(differ);
  }
#endif
  while (k < n && upperUnitFast(t[k]) == upperUnitFast(m[k])) ++k;
  return k;
}

// ---- the two-way search (Crochemore and Perrin), on upper-cased units ----
//
// Linear in the text and the marker, in constant memory, however the marker
// repeats itself: the fallback of findMarker when candidate checks pile up.

constexpr size_t kNone = static_cast<size_t>(-1);

// The start of the marker's right half (a critical factorisation) and the
// period of that half.
size_t criticalFactorisation(TextView m, size_t& period) {
  // Maximal suffix for the order < and for the order >; the later one wins.
  size_t suffix[2];
  size_t periods[2];
  for (int order = 0; order < 2; ++order) {
    size_t ms = kNone;  // start of the maximal suffix, minus one
    size_t j = 0, k = 1, p = 1;
    while (j + k < m.size()) {
      const char16_t a = upperUnitFast(m[j + k]);
      const char16_t b = upperUnitFast(m[ms + k]);
      if (order == 0 ? a < b : b < a) {
        j += k;
        k = 1;
        p = j - ms;
      } else if (a == b) {
        if (k != p) {
          ++k;
        } else {
          j += p;
          k = 1;
        }
      } else {
        ms = j++;
        k = p = 1;
      }
    }
    suffix[order] = ms + 1;
    periods[order] = p;
  }
  const int later = suffix[1] < suffix[0] ? 0 : 1;
  period = periods[later];
  return suffix[later];
}

bool equalUpper(const char16_t* a, const char16_t* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (upperUnitFast(a[i]) != upperUnitFast(b[i])) return false;
  }
  return true;
}

// 0-based index of the first occurrence of m in t at or after `start`, or
// kNone. m is not empty and not longer than t.
size_t twoWay(TextView t, TextView m, size_t start) {
  const size_t n = t.size();
  const size_t len = m.size();
  size_t period = 0;
  const size_t split = criticalFactorisation(m, period);
  const auto same = [&](size_t i, size_t j) {
    return upperUnitFast(m[i]) == upperUnitFast(t[i + j]);
  };
  if (split + period <= len && equalUpper(m.data(), m.data() + period, split)) {
    // The marker is periodic: after a full right half, shift by the period
    // and remember how much of the next try is known to match.
    size_t memory = 0;
    for (size_t j = start; j + len <= n;) {
      size_t i = split > memory ? split : memory;
      while (i < len && same(i, j)) ++i;
      if (i < len) {
        j += i - split + 1;
        memory = 0;
        continue;
      }
      i = split;
      while (i > memory && same(i - 1, j)) --i;
      if (i <= memory) return j;
      j += period;
      memory = len - period;
    }
    return kNone;
  }
  // The halves differ: any mismatch allows the largest shift.
  const size_t shift = (split > len - split ? split : len - split) + 1;
  for (size_t j = start; j + len <= n;) {
    size_t i = split;
    while (i < len && same(i, j)) ++i;
    if (i < len) {
      j += i - split + 1;
      continue;
    }
    i = split;
    while (i > 0 && same(i - 1, j)) --i;
    if (i == 0) return j;
    j += shift;
  }
  return kNone;
}

}  // namespace

char16_t upperUnit(char16_t c) {
  return upperBlocks().upper(c);
}

void upperInPlace(Text& text) {
  for (char16_t& c : text) c = upperUnitFast(c);
}

Text upperCopy(TextView text) {
  Text out(text);
  upperInPlace(out);
  return out;
}

size_t findMarker(TextView text, TextView marker) {
  if (text.empty()) return 0;
  if (marker.empty()) return 1;
  if (marker.size() > text.size()) return 0;
  const Filter filter = filterFor(marker);
  const size_t last = text.size() - marker.size();
  // Candidates are found by a vector scan for the first unit (and the probe)
  // and checked one by one, which is quickest for the markers scripts use. A
  // marker that keeps almost matching would make that quadratic: once the
  // checks have cost more than the scan has advanced, the rest goes to the
  // two-way search.
  constexpr size_t kSlack = 256;
  size_t checked = 0;
  size_t i = 0;
  while (i <= last) {
    const size_t hit = scan(text.data(), i, last, filter);
    if (hit == TextView::npos) return 0;
    const size_t k = 1 + agreeingUnits(text.data() + hit + 1, marker.data() + 1, marker.size() - 1);
    if (k == marker.size()) return hit + 1;
    checked += k;
    if (checked > hit + kSlack) {
      const size_t at = twoWay(text, marker, hit + 1);
      return at == kNone ? 0 : at + 1;
    }
    i = hit + 1;
  }
  return 0;
}

Text numberText(long long value) {
  const std::string digits = std::to_string(value);
  Text out;
  if (value >= 0) out.push_back(u' ');
  for (char c : digits) out.push_back(static_cast<char16_t>(c));
  return out;
}

}  // namespace kelvane::engine
