// The page as a reader sees it: the text HT shows (tags left out, entities
// read, white space collapsed, nothing of <script>, <style>, <template>,
// <noscript> or comments) with, for every character, the place in HT it
// comes from, and the elements of the parse tree with their places in HT.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/text.h"

namespace kelvane::workbench {

using engine::Text;
using engine::TextView;

struct PageElement {
  std::string tag;  // lower case
  Text classes;     // the class attribute as written
  Text id;
  // In HT: the start tag [start, openEnd), the end tag [closeStart, end).
  // An element the parser implied has an empty start tag; one whose end
  // tag was implied ends where its content ends (closeStart == end).
  uint32_t start = 0, openEnd = 0, closeStart = 0, end = 0;
  int32_t parent = -1;
  // Its characters in the shown text.
  uint32_t textBegin = 0, textEnd = 0;
  bool block = false;  // starts a new line when shown
};

struct PageText {
  Text text;
  // HT [from[i], to[i]) gives text[i].
  std::vector<uint32_t> from, to;
  // The innermost element holding text[i].
  std::vector<int32_t> owner;
  std::vector<PageElement> elements;  // in document order
  bool parsed = false;                // false when HT could not be parsed

  // The shown text of an element, white space at its ends left out.
  TextView shownOf(const PageElement& e) const;
  // Whether element a is b or holds it.
  bool holds(int32_t a, int32_t b) const;
};

PageText readPageText(TextView ht);

}  // namespace kelvane::workbench
