#include "engine/text.h"

#include <unicode/uchar.h>

#include <array>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvane::engine {
namespace {

// The mapping of every BMP unit, and its inverse for the marker scan,
// built once on first use.
struct UpperTable {
  std::array<char16_t, 0x10000> upper;
  // Units other than c whose upper-case form is c: preimages[preimageIndex[c]].
  // Outside ASCII letters there are few ('ı' for 'I', 'ſ' for 'S', ...).
  struct Preimages {
    char16_t units[7];
    int count = 0;
  };
  std::array<uint16_t, 0x10000> preimageIndex{};
  std::vector<Preimages> preimages{Preimages{}};

  UpperTable() {
    for (uint32_t c = 0; c < 0x10000; ++c) {
      const UChar32 u = (c >= 0xD800 && c <= 0xDFFF) ? static_cast<UChar32>(c) : u_toupper(c);
      upper[c] = u <= 0xFFFF ? static_cast<char16_t>(u) : static_cast<char16_t>(c);
    }
    for (uint32_t c = 0; c < 0x10000; ++c) {
      const char16_t target = upper[c];
      if (target == c) continue;
      uint16_t& index = preimageIndex[target];
      if (index == 0) {
        index = static_cast<uint16_t>(preimages.size());
        preimages.emplace_back();
      }
      Preimages& p = preimages[index];
      if (p.count < 7) p.units[p.count++] = static_cast<char16_t>(c);
    }
  }
};

const UpperTable& upperTable() {
  static const auto* table = new UpperTable();
  return *table;
}

// Index of the first unit equal to one of a..c (up to `count` values), from `start`.
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

}  // namespace

char16_t upperUnit(char16_t c) {
  return upperTable().upper[c];
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
  const UpperTable& table = upperTable();
  const UpperTable::Preimages& extra = table.preimages[table.preimageIndex[head]];
  char16_t starts[8];
  int startCount = 0;
  starts[startCount++] = head;
  for (int k = 0; k < extra.count; ++k) starts[startCount++] = extra.units[k];
  const size_t last = text.size() - marker.size();
  const TextView candidates = text.substr(0, last + 1);
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
