#include "engine/text.h"

#include <unicode/uchar.h>

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

// Index of the first unit equal to one of values[0..count) (count <= 4), from `start`.
size_t scanForAny(TextView text, size_t start, const char16_t* values, int count) {
  const char16_t* data = text.data();
  const size_t size = text.size();
  size_t i = start;
#if defined(__SSE2__)
  const __m128i a = _mm_set1_epi16(static_cast<short>(values[0]));
  const __m128i b = _mm_set1_epi16(static_cast<short>(count > 1 ? values[1] : values[0]));
  const __m128i c = _mm_set1_epi16(static_cast<short>(count > 2 ? values[2] : values[0]));
  const __m128i d = _mm_set1_epi16(static_cast<short>(count > 3 ? values[3] : values[0]));
  for (; i + 8 <= size; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, a), _mm_cmpeq_epi16(v, b)),
                                     _mm_or_si128(_mm_cmpeq_epi16(v, c), _mm_cmpeq_epi16(v, d)));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)) / 2);
  }
#endif
  for (; i < size; ++i) {
    for (int k = 0; k < count; ++k) {
      if (data[i] == values[k]) return i;
    }
  }
  return TextView::npos;
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
  const char16_t head = upperUnitFast(marker[0]);
  // The units that can start an occurrence: the upper-case form and every
  // unit that maps to it.
  char16_t starts[8];
  int startCount = 0;
  starts[startCount++] = head;
  if (head < 0x80) {
    if (head >= u'A' && head <= u'Z') starts[startCount++] = static_cast<char16_t>(head + 0x20);
    if (head == u'I') starts[startCount++] = u'\u0131';  // dotless i
    if (head == u'S') starts[startCount++] = u'\u017F';  // long s
  } else {
    const Preimages& extra = inverseUpper().of(head);
    for (int k = 0; k < extra.count; ++k) starts[startCount++] = extra.units[k];
  }
  const size_t last = text.size() - marker.size();
  const TextView candidates = text.substr(0, last + 1);
  // Candidates are found by a vector scan for the first unit and checked one
  // by one, which is quickest for the markers scripts use. A marker that
  // keeps almost matching would make that quadratic: once the checks have
  // cost more than the scan has advanced, the rest goes to the two-way
  // search.
  constexpr size_t kSlack = 256;
  size_t checked = 0;
  size_t i = 0;
  while (i <= last) {
    size_t hit;
    if (startCount <= 4) {
      hit = scanForAny(candidates, i, starts, startCount);
    } else {
      hit = TextView::npos;
      for (size_t j = i; j <= last; ++j) {
        if (upperUnitFast(text[j]) == head) {
          hit = j;
          break;
        }
      }
    }
    if (hit == TextView::npos) return 0;
    size_t k = 1;
    while (k < marker.size() && upperUnitFast(text[hit + k]) == upperUnitFast(marker[k])) ++k;
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
