#include "acquisition/direct/tree_repairs.h"

#include <algorithm>

namespace kelvane::acquisition {
namespace {

bool isHtmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

// Where the first end tag of a form starts in [from, to), or null.
const char* findFormEndTag(const char* from, const char* to) {
  constexpr std::string_view kTag = "</form";
  for (const char* p = from; to - p > static_cast<ptrdiff_t>(kTag.size()); ++p) {
    if (p[0] != '<' || p[1] != '/') continue;
    bool same = true;
    for (size_t i = 2; i < kTag.size() && same; ++i) same = (p[i] | 0x20) == kTag[i];
    const char after = p[kTag.size()];
    if (same && (after == '>' || after == '/' || isHtmlSpace(after))) return p;
  }
  return nullptr;
}

bool inSource(const GumboStringPiece& piece, std::string_view source) {
  return piece.length > 0 && piece.data >= source.data() &&
         piece.data + piece.length <= source.data() + source.size();
}

const char* endOf(const GumboStringPiece& piece) {
  return piece.data + piece.length;
}

// Where the source of what the parser put into node ends: its tags and its
// last descendants (the last child of each, down the tree).
const char* contentEnd(const GumboNode* node, std::string_view source) {
  const char* end = nullptr;
  while (node) {
    const GumboNode* last = nullptr;
    if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
      const GumboElement& e = node->v.element;
      if (inSource(e.original_tag, source)) end = std::max(end, endOf(e.original_tag));
      if (inSource(e.original_end_tag, source)) end = std::max(end, endOf(e.original_end_tag));
      if (e.children.length > 0) {
        last = static_cast<const GumboNode*>(e.children.data[e.children.length - 1]);
      }
    } else if (node->type != GUMBO_NODE_DOCUMENT) {
      const GumboStringPiece& text = node->v.text.original_text;
      if (inSource(text, source)) end = std::max(end, endOf(text));
    }
    node = last;
  }
  return end;
}

// The text the parser makes of a stretch of source that holds only
// characters and tags it ignores.
std::string textOf(std::string_view stretch) {
  GumboOptions options = kGumboDefaultOptions;
  options.fragment_context = GUMBO_TAG_DIV;
  options.fragment_namespace = GUMBO_NAMESPACE_HTML;
  options.max_errors = 0;
  GumboOutput* output = gumbo_parse_with_options(&options, stretch.data(), stretch.size());
  std::string text;
  std::vector<const GumboNode*> pending{output->root};
  while (!pending.empty()) {
    const GumboNode* node = pending.back();
    pending.pop_back();
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE) {
      text += node->v.text.text;
    } else if (node->type == GUMBO_NODE_ELEMENT) {
      const GumboVector& children = node->v.element.children;
      for (unsigned i = children.length; i-- > 0;) {
        pending.push_back(static_cast<const GumboNode*>(children.data[i]));
      }
    }
  }
  gumbo_destroy_output(&options, output);
  return text;
}

bool isTablePart(const GumboNode* node) {
  if (!node || node->type != GUMBO_NODE_ELEMENT) return false;
  switch (node->v.element.tag) {
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_TR:
      return true;
    default:
      return false;
  }
}

// The name of an attribute as the parser adjusts it in an element of the
// namespace ("viewbox" is viewBox in SVG, "xlink:href" goes into a
// namespace), found by parsing a tag that carries it.
std::string foreignAttributeName(std::string_view name, GumboNamespaceEnum space) {
  const std::string page = std::string(space == GUMBO_NAMESPACE_SVG ? "<svg><g " : "<math><mi ") +
                           std::string(name) + ">";
  GumboOutput* output = gumbo_parse(page.c_str());
  const GumboNode* node = output->root;
  // html, then body, then svg or math, then the tag.
  for (int depth = 0; depth < 3 && node && node->type == GUMBO_NODE_ELEMENT; ++depth) {
    const GumboVector& children = node->v.element.children;
    node = children.length > 0
               ? static_cast<const GumboNode*>(children.data[depth == 0 ? children.length - 1 : 0])
               : nullptr;
  }
  std::string adjusted;
  if (node && node->type == GUMBO_NODE_ELEMENT && node->v.element.attributes.length == 1) {
    appendAttributeName(adjusted,
                        *static_cast<const GumboAttribute*>(node->v.element.attributes.data[0]));
  } else {
    adjusted = name;
  }
  gumbo_destroy_output(&kGumboDefaultOptions, output);
  return adjusted;
}

}  // namespace

size_t formTextInside(const GumboNode* form, const GumboNode* text, std::string_view source) {
  if (form->type != GUMBO_NODE_ELEMENT || form->v.element.tag != GUMBO_TAG_FORM ||
      form->v.element.tag_namespace != GUMBO_NAMESPACE_HTML ||
      (text->type != GUMBO_NODE_TEXT && text->type != GUMBO_NODE_WHITESPACE)) {
    return 0;
  }
  // A form in a table is closed at once, and its end tag is ignored.
  if (isTablePart(form->parent)) return 0;
  const GumboStringPiece& span = text->v.text.original_text;
  if (!inSource(span, source)) return 0;
  const char* formEnd = contentEnd(form, source);
  if (!formEnd || formEnd > span.data || findFormEndTag(formEnd, span.data)) return 0;
  // The text began before the form's end tag, which lies within its span.
  const char* endTag = findFormEndTag(span.data, endOf(span));
  if (!endTag) return 0;
  const std::string inside = textOf(std::string_view(span.data, endTag - span.data));
  const std::string_view all = text->v.text.text;
  return !inside.empty() && all.starts_with(inside) ? inside.size() : 0;
}

void appendAttributeName(std::string& out, const GumboAttribute& a) {
  switch (a.attr_namespace) {
    case GUMBO_ATTR_NAMESPACE_XLINK:
      out += "xlink:";
      break;
    case GUMBO_ATTR_NAMESPACE_XML:
      out += "xml:";
      break;
    case GUMBO_ATTR_NAMESPACE_XMLNS:
      if (std::string_view(a.name) != "xmlns") out += "xmlns:";
      break;
    case GUMBO_ATTR_NAMESPACE_NONE:
      break;
  }
  // The parser here gives viewTarget its capital; the browser does not.
  out += std::string_view(a.name) == "viewTarget" ? "viewtarget" : a.name;
}

std::vector<NamedAttribute> repairedAttributes(const GumboElement& element) {
  // A run-together name spans the dropped name, the blanks or "/" after
  // it, and the real name: the real one is what follows the last of them.
  const auto realName = [](const GumboAttribute& a) -> std::string_view {
    const std::string_view written(a.original_name.data, a.original_name.length);
    const size_t cut = written.find_last_of(" \t\n\f\r/");
    return cut == std::string_view::npos ? std::string_view() : written.substr(cut + 1);
  };
  bool needed = false;
  for (unsigned i = 0; i < element.attributes.length && !needed; ++i) {
    needed = !realName(*static_cast<const GumboAttribute*>(element.attributes.data[i])).empty();
  }
  std::vector<NamedAttribute> kept;
  if (!needed) return kept;
  for (unsigned i = 0; i < element.attributes.length; ++i) {
    const auto* a = static_cast<const GumboAttribute*>(element.attributes.data[i]);
    std::string name;
    if (const std::string_view real = realName(*a); !real.empty()) {
      for (char c : real) {
        if (c == '\0') {
          name += "\xEF\xBF\xBD";
        } else {
          name.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
        }
      }
      if (element.tag_namespace != GUMBO_NAMESPACE_HTML) {
        name = foreignAttributeName(name, element.tag_namespace);
      }
    } else {
      appendAttributeName(name, *a);
    }
    const bool repeated = std::any_of(kept.begin(), kept.end(),
                                      [&](const NamedAttribute& k) { return k.name == name; });
    if (!repeated) kept.push_back({a, std::move(name)});
  }
  return kept;
}

}  // namespace kelvane::acquisition
