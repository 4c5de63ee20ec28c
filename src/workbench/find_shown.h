// Text typed or pasted as it looks on the screen, found in the page's shown
// text: white space runs (no-break spaces and line breaks included) are one
// space; when it is not there as typed, full-width and half-width forms,
// compatibility forms and letter case are folded on both sides.
#pragma once

#include <optional>

#include "workbench/page_text.h"

namespace kelvane::workbench {

struct ShownMatch {
  size_t begin = 0, end = 0;  // in PageText::text
  bool folded = false;        // found only once forms and case were folded
};

// What counts as white space in text compared as shown.
bool spaceLike(char32_t c);

// White space runs made one space, the ends trimmed.
Text collapsedWhiteSpace(TextView text);

// The occurrence-th (from 1) place where typed shows in the page.
std::optional<ShownMatch> findShown(const PageText& page, TextView typed, int occurrence = 1);

// Where in HT a match lies: from its first character's reference to its
// last one's end.
inline std::pair<size_t, size_t> htSpan(const PageText& page, const ShownMatch& m) {
  return {page.from[m.begin], page.to[m.end - 1]};
}

}  // namespace kelvane::workbench
