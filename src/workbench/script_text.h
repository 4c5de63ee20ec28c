// Writing script lines: fields joined by tabs, literals in double quotes,
// counts as bare digits.
#pragma once

#include <initializer_list>
#include <optional>
#include <vector>

#include "engine/text.h"

namespace kelvane::workbench {

inline engine::Text quoted(engine::TextView s) {
  engine::Text q;
  q.reserve(s.size() + 2);
  q += u'"';
  q += s;
  q += u'"';
  return q;
}

inline engine::Text scriptLine(std::initializer_list<engine::TextView> fields) {
  engine::Text text;
  for (engine::TextView f : fields) {
    if (!text.empty()) text += u'\t';
    text += f;
  }
  return text;
}

inline engine::Text count(size_t n) {
  return engine::numberText(static_cast<long long>(n)).substr(1);
}

// Whether s can stand in a literal: a tab ends the field, a line break the
// line.
inline bool literalFits(engine::TextView s) {
  for (char16_t c : s)
    if (c == u'\t' || c == u'\r' || c == u'\n') return false;
  return true;
}

// The destination's text after lines run on page (HT) in a quiet engine;
// nothing when the run stopped.
std::optional<engine::Text> runLines(engine::TextView page, const std::vector<engine::Text>& lines,
                                     engine::TextView dest = u"D");
// The same on a page of its own, taken over without a copy.
std::optional<engine::Text> runLines(engine::Text&& page, const std::vector<engine::Text>& lines,
                                     engine::TextView dest = u"D");

}  // namespace kelvane::workbench
