#include "acquisition/direct/body_html.h"

#include <gumbo.h>

#include <vector>

#include "acquisition/direct/control_disguise.h"
#include "textfile/text_codec.h"

namespace kelvane::acquisition {
namespace {

// SVG element names with capitals, as the browser's parser writes them: it
// knows feDropShadow, and leaves the retired altGlyph family and glyphRef in
// lower case.
struct SvgName {
  std::string_view lower;
  std::string_view name;
};
constexpr SvgName kSvgNames[] = {
    {"animatecolor", "animateColor"},
    {"animatemotion", "animateMotion"},
    {"animatetransform", "animateTransform"},
    {"clippath", "clipPath"},
    {"feblend", "feBlend"},
    {"fecolormatrix", "feColorMatrix"},
    {"fecomponenttransfer", "feComponentTransfer"},
    {"fecomposite", "feComposite"},
    {"feconvolvematrix", "feConvolveMatrix"},
    {"fediffuselighting", "feDiffuseLighting"},
    {"fedisplacementmap", "feDisplacementMap"},
    {"fedistantlight", "feDistantLight"},
    {"fedropshadow", "feDropShadow"},
    {"feflood", "feFlood"},
    {"fefunca", "feFuncA"},
    {"fefuncb", "feFuncB"},
    {"fefuncg", "feFuncG"},
    {"fefuncr", "feFuncR"},
    {"fegaussianblur", "feGaussianBlur"},
    {"feimage", "feImage"},
    {"femerge", "feMerge"},
    {"femergenode", "feMergeNode"},
    {"femorphology", "feMorphology"},
    {"feoffset", "feOffset"},
    {"fepointlight", "fePointLight"},
    {"fespecularlighting", "feSpecularLighting"},
    {"fespotlight", "feSpotLight"},
    {"fetile", "feTile"},
    {"feturbulence", "feTurbulence"},
    {"foreignobject", "foreignObject"},
    {"lineargradient", "linearGradient"},
    {"radialgradient", "radialGradient"},
    {"textpath", "textPath"},
};

void appendLower(std::string& out, std::string_view name) {
  for (char c : name) {
    if (c >= 'A' && c <= 'Z') {
      out.push_back(static_cast<char>(c + 32));
    } else if (c == '\0') {
      out += "\xEF\xBF\xBD";  // a NUL in a name reads as U+FFFD
    } else {
      out.push_back(c);
    }
  }
}

std::string elementName(const GumboElement& e) {
  std::string name;
  if (e.tag != GUMBO_TAG_UNKNOWN && e.tag_namespace == GUMBO_NAMESPACE_HTML) {
    name = gumbo_normalized_tagname(e.tag);
    return name;
  }
  GumboStringPiece tag = e.original_tag;
  gumbo_tag_from_original_text(&tag);
  if (tag.length > 0) {
    appendLower(name, std::string_view(tag.data, tag.length));
  } else if (e.tag != GUMBO_TAG_UNKNOWN) {
    name = gumbo_normalized_tagname(e.tag);
  }
  if (e.tag_namespace == GUMBO_NAMESPACE_SVG) {
    for (const SvgName& svg : kSvgNames) {
      if (svg.lower == name) return std::string(svg.name);
    }
  }
  return name;
}

bool isVoid(const GumboElement& e) {
  if (e.tag_namespace != GUMBO_NAMESPACE_HTML) return false;
  switch (e.tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
      return true;
    default:
      return false;
  }
}

// Text inside these is written as it stands (a browser runs scripts, so
// noscript holds raw text too).
bool holdsRawText(const GumboNode* parent) {
  if (parent->type != GUMBO_NODE_ELEMENT) return false;
  const GumboElement& e = parent->v.element;
  if (e.tag_namespace != GUMBO_NAMESPACE_HTML) return false;
  switch (e.tag) {
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_NOSCRIPT:
      return true;
    default:
      return false;
  }
}

constexpr std::string_view kNbsp = "\xC2\xA0";

void appendEscaped(std::string& out, std::string_view text, bool attribute) {
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string_view entity;
    switch (text[i]) {
      case '&':
        entity = "&amp;";
        break;
      case '"':
        entity = attribute ? "&quot;" : "";
        break;
      case '<':
        entity = attribute ? "" : "&lt;";
        break;
      case '>':
        entity = attribute ? "" : "&gt;";
        break;
      case '\xC2':
        if (text.substr(i, 2) == kNbsp) entity = "&nbsp;";
        break;
      default:
        break;
    }
    if (entity.empty()) continue;
    out.append(text, start, i - start);
    out += entity;
    start = i + (entity == "&nbsp;" ? 2 : 1);
    if (entity == "&nbsp;") ++i;
  }
  out.append(text, start, text.size() - start);
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

void appendStartTag(std::string& out, const GumboElement& e, const std::string& name) {
  out.push_back('<');
  out += name;
  for (unsigned i = 0; i < e.attributes.length; ++i) {
    const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
    out.push_back(' ');
    appendAttributeName(out, *a);
    out += "=\"";
    appendEscaped(out, a->value, true);
    out.push_back('"');
  }
  out.push_back('>');
}

// A noscript's content as the source gives it: the browser reads it as raw
// text where the parser here reads markup. Line ends are made line feeds.
void appendNoscriptSource(std::string& out, const GumboElement& e, std::string_view source) {
  const char* begin = e.original_tag.data + e.original_tag.length;
  const char* end =
      e.original_end_tag.length > 0 ? e.original_end_tag.data : source.data() + source.size();
  for (const char* p = begin; p < end; ++p) {
    if (*p == '\r') {
      out.push_back('\n');
      if (p + 1 < end && p[1] == '\n') ++p;
    } else if (*p == '\0') {
      out += "\xEF\xBF\xBD";
    } else {
      out.push_back(*p);
    }
  }
}

bool hasSourceTag(const GumboElement& e, std::string_view source) {
  return e.original_tag.length > 0 && e.original_tag.data >= source.data() &&
         e.original_tag.data + e.original_tag.length <= source.data() + source.size();
}

// The children of root, written without recursion: a hostile page may nest
// elements hundreds of thousands deep.
std::string serializeChildren(const GumboNode* root, std::string_view source) {
  std::string out;
  struct Frame {
    const GumboNode* node;
    std::string name;
    unsigned next;
  };
  std::vector<Frame> stack;
  stack.push_back({root, {}, 0});
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const GumboNode* node = frame.node;
    const GumboVector& children = node->v.element.children;
    if (frame.next == children.length) {
      if (stack.size() > 1) {
        out += "</";
        out += frame.name;
        out.push_back('>');
      }
      stack.pop_back();
      continue;
    }
    const auto* child = static_cast<const GumboNode*>(children.data[frame.next++]);
    switch (child->type) {
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE: {
        const GumboElement& e = child->v.element;
        std::string name = elementName(e);
        appendStartTag(out, e, name);
        if (isVoid(e)) break;
        if (e.tag == GUMBO_TAG_NOSCRIPT && e.tag_namespace == GUMBO_NAMESPACE_HTML &&
            hasSourceTag(e, source)) {
          appendNoscriptSource(out, e, source);
          out += "</noscript>";
          break;
        }
        stack.push_back({child, std::move(name), 0});
        break;
      }
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
      case GUMBO_NODE_CDATA:
        if (holdsRawText(node)) {
          out += child->v.text.text;
        } else {
          appendEscaped(out, child->v.text.text, false);
        }
        break;
      case GUMBO_NODE_COMMENT:
        out += "<!--";
        out += child->v.text.text;
        out += "-->";
        break;
      case GUMBO_NODE_DOCUMENT:
        break;
    }
  }
  return out;
}

const GumboNode* findBody(const GumboOutput& output) {
  const GumboNode* html = output.root;
  if (!html || html->type != GUMBO_NODE_ELEMENT) return nullptr;
  const GumboVector& children = html->v.element.children;
  for (unsigned i = 0; i < children.length; ++i) {
    const auto* child = static_cast<const GumboNode*>(children.data[i]);
    // A frameset stands where the body would be, and is what the browser
    // gives as the body.
    if (child->type == GUMBO_NODE_ELEMENT &&
        (child->v.element.tag == GUMBO_TAG_BODY || child->v.element.tag == GUMBO_TAG_FRAMESET)) {
      return child;
    }
  }
  return nullptr;
}

// The parser's output, freed with the options it was made with; a tree that
// lies whole in an arena goes with the arena's region instead.
class ParsedTree {
 public:
  ParsedTree(std::string_view source, ParseArena* arena) : arena_(arena) {
    options_.max_errors = 0;  // the errors are of no use here, and a hostile page has many
    if (arena) {
      options_.allocator = &ParseArena::allocate;
      options_.deallocator = &ParseArena::deallocate;
      options_.userdata = arena;
    }
    output_ = gumbo_parse_with_options(&options_, source.data(), source.size());
  }
  ~ParsedTree() {
    if (output_ && !(arena_ && arena_->holdsEverything())) gumbo_destroy_output(&options_, output_);
  }
  ParsedTree(const ParsedTree&) = delete;
  ParsedTree& operator=(const ParsedTree&) = delete;
  const GumboOutput* output() const { return output_; }

 private:
  GumboOptions options_ = kGumboDefaultOptions;
  ParseArena* arena_;
  GumboOutput* output_ = nullptr;
};

std::u16string bodyHtmlFromUtf8(std::string_view source, ParseArena* arena) {
  const ParsedTree tree(source, arena);
  if (!tree.output()) return {};
  const GumboNode* body = findBody(*tree.output());
  if (!body) return {};
  const std::string html = serializeChildren(body, source);
  return textfile::decodeUtf8(html);
}

// Parses and serialises a page that is text; consumes it.
std::u16string bodyHtmlOf(std::u16string&& page, ParseArena* arena = nullptr) {
  ControlDisguise disguise;
  const bool disguised = disguise.apply(page);
  std::string utf8 = textfile::encodeUtf8(page);
  std::u16string().swap(page);
  std::u16string html = bodyHtmlFromUtf8(utf8, arena);
  if (disguised) disguise.undo(html);
  return html;
}

}  // namespace

std::u16string bodyHtmlFromText(std::u16string_view page) {
  return bodyHtmlOf(std::u16string(page));
}

BodyHtml bodyHtmlFromBytes(std::string_view bytes, std::string_view contentType,
                           ParseArena* arena) {
  textfile::WebText text = textfile::decodeWebPage(bytes, contentType);
  return {bodyHtmlOf(std::move(text.text), arena), text.encoding};
}

}  // namespace kelvane::acquisition
