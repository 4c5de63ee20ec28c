// Places where the HTML parser here builds another tree than the browser,
// put right from the tree's source positions while the body is written out.
#pragma once

#include <gumbo.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::acquisition {

// How many bytes at the start of text, the node that follows form among its
// parent's children, belong inside the form. The parser closes a form at
// its end tag without first placing the text read just before it, which it
// then puts after the form (`<form>a\n</form>` becomes `<form></form>a\n`);
// the browser keeps that text as the form's last child. 0 when the text
// came after the form's end tag.
size_t formTextInside(const GumboNode* form, const GumboNode* text, std::string_view source);

// An element's attributes as the browser keeps them, each by its name as
// written out. The parser runs the name of an attribute that repeats an
// earlier one into the name of the attribute after it (`x=1 x y=2` gives
// "xy"); the browser drops the repeated one and keeps y. The first of two
// attributes of the same name wins. Empty when the parser's own list
// stands, as it does for nearly every element.
struct NamedAttribute {
  const GumboAttribute* attribute;
  std::string name;  // as written out: "xlink:href"
};
std::vector<NamedAttribute> repairedAttributes(const GumboElement& element);

// The name of an attribute as the browser writes it out.
void appendAttributeName(std::string& out, const GumboAttribute& a);

}  // namespace kelvane::acquisition
