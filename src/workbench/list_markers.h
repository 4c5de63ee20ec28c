// The structure of a list in HT: its items (elements of one tag and class
// under one parent), the markers that find the list, each item and, inside
// an item, its name and value elements, and the script that walks it. An
// item of a definition list is a term (<dt>) with the descriptions (<dd>)
// that follow it: its name and value may lie in those.
#pragma once

#include <string>
#include <vector>

#include "workbench/page_text.h"
#include "workbench/shown_cut.h"

namespace kelvane::workbench {

// How one element of an item is cut out of the item's text.
struct ElementCut {
  Text prefix;                // its start tag as far as it is the same in every item
  size_t skips = 0;           // elements starting so in the item up to it, itself included
  bool prefixClosed = false;  // the prefix is the whole start tag
  Text endTag;
  ShownCut shown;
};

struct ListPlan {
  Text anchor;             // found first just before the list (may be empty)
  Text listEnd;            // found first just after it (may be empty)
  Text itemMarker;         // each item's start tag but its last character
  char16_t itemFirst = 0;  // that character: each item's text starts with it
  ElementCut label, value;
  size_t items = 0;
  std::vector<int32_t> members;  // the items' elements
  Text terminator;
  std::vector<Text> expected;  // label TAB value per item, as shown
};

class ListSkeleton {
 public:
  ListSkeleton(TextView ht, const PageText& page);

  // The elements of item's tag and first class under its parent.
  std::vector<int32_t> itemsLike(int32_t item) const;
  // The last element of item's group: the last <dd> after a <dt>, else
  // the item itself.
  int32_t groupLast(int32_t item) const;
  // The term a description (<dd>) belongs to; -1 for any other element.
  int32_t termOf(int32_t e) const;
  // The plan for items, the name and value being these elements of `item`.
  bool plan(const std::vector<int32_t>& items, int32_t item, int32_t label, int32_t value,
            ListPlan& out, std::string* why) const;
  std::vector<Text> scriptOf(const ListPlan& plan) const;

 private:
  struct Step {
    std::string tag;
    Text classes;
    size_t index;
    bool follower = false;  // among the siblings after the item, not inside it
  };
  Text stablePrefix(const PageElement& e) const;
  size_t findFrom(size_t from, TextView marker) const;
  std::vector<Step> pathOf(int32_t item, int32_t e) const;
  int32_t resolve(int32_t item, const std::vector<Step>& path) const;
  bool cutOf(int32_t item, int32_t e, size_t chunkStart, ElementCut& cut, std::string* why) const;

  TextView ht_;
  const PageText& page_;
  std::vector<std::vector<int32_t>> children_;
};

}  // namespace kelvane::workbench
