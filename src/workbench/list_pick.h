// The whole list a picked piece belongs to, as one display line per item:
// the item's name as shown, a tab, its price (or other value) as shown.
// The lines walk the list between markers taken from the page's structure
// (tags and classes; never a value or a generated id), so they hold when
// ids are renumbered, values change and items come and go: the loop runs
// with a margin, and a pass past the last item writes nothing at all.
// Every offer is run by the engine on the page and on variants of it
// (values changed, ids renumbered, an item added, an item removed) and
// given only when each gives the lines it should.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "workbench/page_text.h"

namespace kelvane::workbench {

struct ListOffer {
  std::vector<Text> lines;    // the script lines
  std::vector<Text> display;  // what they give on the page: label TAB value
};

struct ListResult {
  std::optional<ListOffer> offer;
  std::string why;  // when there is none
};

// For the piece shown at page.text[shownBegin, shownEnd).
ListResult suggestList(TextView ht, const PageText& page, size_t shownBegin, size_t shownEnd);

// The number marked as money in s ("￥1,280", "1,280円", "$3.50"), else
// nothing: [first, second) of s.
std::optional<std::pair<size_t, size_t>> moneyIn(TextView s);

}  // namespace kelvane::workbench
