// The text helpers every primitive is built on: the case mapping, the
// case-insensitive marker search and the two cuts From and First.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane::engine {

using Text = std::u16string;
using TextView = std::u16string_view;

// Upper-case form of one UTF-16 unit: the simple Unicode mapping, one unit to
// one unit, so a string never changes length. Full-width and half-width forms
// stay different.
char16_t upperUnit(char16_t c);

// Kana, the CJK symbols and the unified ideographs have no letter case: a
// unit there is its own upper-case form and no other unit maps to it.
constexpr bool caseless(char16_t c) {
  return c >= 0x3000 && c < 0xA000;
}

inline char16_t upperUnitFast(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  return upperUnit(c);
}

// True when text, upper-cased, equals name (which is in capitals already).
inline bool equalsUpper(TextView text, TextView name) {
  if (text.size() != name.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (upperUnitFast(text[i]) != name[i]) return false;
  }
  return true;
}

// Upper-cases in place; the length never changes.
void upperInPlace(Text& text);
Text upperCopy(TextView text);

// Position (1-based) of the first occurrence of marker in text, letter case
// ignored; 0 when there is none. Nothing is found in an empty text, not even
// an empty marker; an empty marker in a non-empty text is found at 1.
size_t findMarker(TextView text, TextView marker);

// From(s, k): the characters from position k to the end; empty when k is past
// the end. Callers guarantee k >= 1.
inline TextView from(TextView s, size_t k) {
  return k > s.size() ? TextView{} : s.substr(k - 1);
}

// First(s, n): the first n characters, the whole of s when n reaches its length.
inline TextView first(TextView s, size_t n) {
  return s.substr(0, n);
}

// Decimal with one leading space when not negative, as numbers appear in
// messages (" 0", " 10", "-3").
Text numberText(long long value);

}  // namespace kelvane::engine
