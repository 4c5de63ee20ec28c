// Variants of a page that a list's lines must survive, with the lines each
// should give: digits of the text changed, digits in attribute values
// (generated ids) changed, the last item repeated, the first item left out.
#pragma once

#include <optional>
#include <vector>

#include "engine/text.h"

namespace kelvane::workbench {

struct PageVariant {
  const char* name;
  engine::Text html;
  std::vector<engine::Text> expected;
};

// The k-th variant (from 0) of html, or nothing past the last: made one at
// a time, so that no more than one copy of the page is held. items: each
// item's [start, end) in html, in order; expected: the lines the page
// itself gives.
std::optional<PageVariant> listVariant(size_t k, engine::TextView html,
                                       const std::vector<std::pair<size_t, size_t>>& items,
                                       const std::vector<engine::Text>& expected);

// Whether the display's lines (CR LF ends), each field's white space
// collapsed, are the expected ones: what the shown text gives.
bool displayIs(engine::TextView display, const std::vector<engine::Text>& expected);

}  // namespace kelvane::workbench
