// Variants of a page that a list's lines must survive, with the lines each
// should give: digits of the text changed, digits in attribute values
// (generated ids) changed, the last item repeated, the first item left out.
#pragma once

#include <vector>

#include "engine/text.h"

namespace kelvane::workbench {

struct PageVariant {
  const char* name;
  engine::Text html;
  std::vector<engine::Text> expected;
};

// items: each item's [start, end) in html, in order; expected: the lines
// the page itself gives.
std::vector<PageVariant> listVariants(engine::TextView html,
                                      const std::vector<std::pair<size_t, size_t>>& items,
                                      const std::vector<engine::Text>& expected);

// The display's lines (CR LF ends), each field's white space collapsed, so
// that they compare with the shown text.
std::vector<engine::Text> displayLines(engine::TextView display);

}  // namespace kelvane::workbench
