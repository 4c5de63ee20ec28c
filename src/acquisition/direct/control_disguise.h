// Characters the HTML parser would spoil, carried across it in disguise.
#pragma once

#include <bitset>
#include <string>

namespace kelvane::acquisition {

// The parser turns control characters and noncharacters into U+FFFD; the
// browser keeps them. They cross the parser disguised as private-use
// characters of a block the page does not use, nor name by a numeric
// character reference (&#xF0001; is its character after the parser), and
// are put back after.
class ControlDisguise {
 public:
  // Disguises what needs it in text; false when nothing did.
  bool apply(std::u16string& text) {
    bool needed = false;
    std::bitset<kBlocks> used;
    forEachCodePoint(text, [&](char32_t c, size_t, size_t) {
      needed = needed || slotOf(c) >= 0;
      if (c >= kFirst) used.set((c - kFirst) >> 8);
    });
    if (!needed) return false;
    forEachReference(text, [&](char32_t c) {
      if (c >= kFirst) used.set((c - kFirst) >> 8);
    });
    size_t block = 0;
    while (block < kBlocks && used.test(block)) ++block;
    if (block == kBlocks) return false;  // every block taken: left to the parser
    base_ = kFirst + static_cast<char32_t>(block << 8);
    std::u16string out;
    out.reserve(text.size() + 64);
    forEachCodePoint(text, [&](char32_t c, size_t at, size_t units) {
      const int slot = slotOf(c);
      if (slot < 0) {
        out.append(text, at, units);
      } else {
        appendCodePoint(out, base_ + static_cast<char32_t>(slot));
      }
    });
    text.swap(out);
    return true;
  }

  void undo(std::u16string& text) const {
    std::u16string out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](char32_t c, size_t at, size_t units) {
      if (c >= base_ && c < base_ + 0x100) {
        appendCodePoint(out, codePointOf(static_cast<int>(c - base_)));
      } else {
        out.append(text, at, units);
      }
    });
    text.swap(out);
  }

 private:
  static constexpr char32_t kFirst = 0xF0000;  // planes 15 and 16: private use
  static constexpr size_t kBlocks = 0x200;

  // Slots: C0 controls by value, DEL and C1 from 0x20, U+FDD0..U+FDEF from
  // 0x41, the two last code points of each plane from 0x61.
  static int slotOf(char32_t c) {
    if (c == 0 || c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D) return -1;
    if (c < 0x20) return static_cast<int>(c);
    if (c >= 0x7F && c <= 0x9F) return static_cast<int>(0x20 + c - 0x7F);
    if (c >= 0xFDD0 && c <= 0xFDEF) return static_cast<int>(0x41 + c - 0xFDD0);
    if ((c & 0xFFFE) == 0xFFFE) return static_cast<int>(0x61 + (c >> 16) * 2 + (c & 1));
    return -1;
  }
  static char32_t codePointOf(int slot) {
    if (slot < 0x20) return static_cast<char32_t>(slot);
    if (slot < 0x41) return static_cast<char32_t>(0x7F + slot - 0x20);
    if (slot < 0x61) return static_cast<char32_t>(0xFDD0 + slot - 0x41);
    const int n = slot - 0x61;
    return static_cast<char32_t>(((n / 2) << 16) | 0xFFFE | (n & 1));
  }
  template <typename F>
  static void forEachCodePoint(const std::u16string& text, F f) {
    for (size_t i = 0; i < text.size();) {
      const char16_t u = text[i];
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
          text[i + 1] <= 0xDFFF) {
        f(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00), i, 2);
        i += 2;
      } else {
        f(u, i, 1);
        ++i;
      }
    }
  }
  // The code point of each numeric character reference ("&#" and decimal
  // digits, or "&#x" and hex digits; the ";" may be missing), up to
  // U+10FFFF: a larger one is U+FFFD.
  template <typename F>
  static void forEachReference(const std::u16string& text, F f) {
    for (size_t i = 0; i + 2 < text.size(); ++i) {
      if (text[i] != u'&' || text[i + 1] != u'#') continue;
      size_t at = i + 2;
      const bool hex = text[at] == u'x' || text[at] == u'X';
      if (hex) ++at;
      char32_t value = 0;
      for (; at < text.size(); ++at) {
        const char16_t d = text[at];
        int digit = -1;
        if (d >= u'0' && d <= u'9') digit = d - u'0';
        if (hex && (d | 0x20) >= u'a' && (d | 0x20) <= u'f') digit = (d | 0x20) - u'a' + 10;
        if (digit < 0) break;
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        if (value > 0x10FFFF) value = 0x110000;  // stays out of range however long
      }
      if (value <= 0x10FFFF) f(value);
      i = at - 1;
    }
  }
  static void appendCodePoint(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }

  char32_t base_ = 0;
};

}  // namespace kelvane::acquisition
