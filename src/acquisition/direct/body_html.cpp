#include "acquisition/direct/body_html.h"

#include <vector>

#include "acquisition/direct/bounded_parse.h"
#include "acquisition/direct/control_disguise.h"
#include "acquisition/direct/tree_repairs.h"
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

void appendStartTag(std::string& out, const GumboElement& e, const std::string& name) {
  out.push_back('<');
  out += name;
  const std::vector<NamedAttribute> repaired = repairedAttributes(e);
  if (repaired.empty()) {
    for (unsigned i = 0; i < e.attributes.length; ++i) {
      const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
      out.push_back(' ');
      appendAttributeName(out, *a);
      out += "=\"";
      appendEscaped(out, a->value, true);
      out.push_back('"');
    }
  }
  for (const NamedAttribute& a : repaired) {
    out.push_back(' ');
    out += a.name;
    out += "=\"";
    appendEscaped(out, a.attribute->value, true);
    out.push_back('"');
  }
  out.push_back('>');
}

// Where the browser's raw text of a noscript that starts at begin ends: at
// the next end tag of a noscript, whatever the parser here made of what lies
// between, else at the end of the page.
const char* noscriptTextEnd(const char* begin, std::string_view source) {
  constexpr std::string_view kEndTag = "</noscript";
  const char* const last = source.data() + source.size();
  for (const char* p = begin; last - p > static_cast<ptrdiff_t>(kEndTag.size()); ++p) {
    if (p[0] != '<' || p[1] != '/') continue;
    bool same = true;
    for (size_t i = 2; i < kEndTag.size() && same; ++i) {
      same = (p[i] | 0x20) == kEndTag[i];  // letters in either case
    }
    const char after = p[kEndTag.size()];
    if (same && (after == '>' || after == '/' || after == ' ' || after == '\t' || after == '\n' ||
                 after == '\f' || after == '\r')) {
      return p;
    }
  }
  return last;
}

// A noscript's content as the source gives it: the browser reads it as raw
// text where the parser here reads markup. Line ends are made line feeds.
void appendNoscriptSource(std::string& out, const char* begin, const char* end) {
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

// Where a node starts in the source; null for one the parser made up (an
// implied element, a reopened formatting element).
const char* sourceStart(const GumboNode* node, std::string_view source) {
  if (node->type == GUMBO_NODE_DOCUMENT) return nullptr;
  const bool element = node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
  const GumboStringPiece& piece =
      element ? node->v.element.original_tag : node->v.text.original_text;
  const bool inSource =
      piece.length > 0 && piece.data >= source.data() && piece.data < source.data() + source.size();
  return inSource ? piece.data : nullptr;
}

// The children of root, written without recursion: a hostile page may nest
// elements hundreds of thousands deep.
std::string serializeChildren(const GumboNode* root, std::string_view source) {
  // The markup is about as long as the page: room for it at once spares
  // copying it as it grows (only what is written is ever taken).
  std::string out;
  out.reserve(source.size() + source.size() / 4);
  struct Frame {
    const GumboNode* node;
    std::string name;
    unsigned next;
  };
  std::vector<Frame> stack;
  stack.push_back({root, {}, 0});
  // The source up to here went out as a noscript's raw text: what the
  // parser made of it is not written again (a page of unclosed noscripts
  // would be written once for each). After raw text that ran to the end of
  // the page, nothing more is.
  const char* rawUntil = source.data();
  bool rawToEnd = false;
  // The text node whose first bytes went out inside the form before it.
  const GumboNode* splitText = nullptr;
  size_t splitBytes = 0;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const GumboNode* node = frame.node;
    const GumboVector& children = node->v.element.children;
    if (frame.next == children.length || rawToEnd) {
      if (stack.size() > 1) {
        const Frame& parent = stack[stack.size() - 2];
        const GumboVector& siblings = parent.node->v.element.children;
        if (!rawToEnd && parent.next < siblings.length) {
          const auto* after = static_cast<const GumboNode*>(siblings.data[parent.next]);
          splitBytes = formTextInside(node, after, source);
          if (splitBytes > 0) {
            splitText = after;
            appendEscaped(out, std::string_view(after->v.text.text, splitBytes), false);
          }
        }
        out += "</";
        out += frame.name;
        out.push_back('>');
      }
      stack.pop_back();
      continue;
    }
    const auto* child = static_cast<const GumboNode*>(children.data[frame.next++]);
    const char* start = sourceStart(child, source);
    if (start && start < rawUntil) continue;
    switch (child->type) {
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE: {
        const GumboElement& e = child->v.element;
        std::string name = elementName(e);
        appendStartTag(out, e, name);
        if (isVoid(e)) break;
        if (e.tag == GUMBO_TAG_NOSCRIPT && e.tag_namespace == GUMBO_NAMESPACE_HTML &&
            hasSourceTag(e, source)) {
          const char* begin = e.original_tag.data + e.original_tag.length;
          rawUntil = noscriptTextEnd(begin, source);
          rawToEnd = rawUntil == source.data() + source.size();
          appendNoscriptSource(out, begin, rawUntil);
          out += "</noscript>";
          break;
        }
        stack.push_back({child, std::move(name), 0});
        break;
      }
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
      case GUMBO_NODE_CDATA: {
        std::string_view text = child->v.text.text;
        if (child == splitText) text.remove_prefix(splitBytes);
        if (holdsRawText(node)) {
          out += text;
        } else {
          appendEscaped(out, text, false);
        }
        break;
      }
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

// The body markup as UTF-8; nothing when the parser needed more than its
// allowance. The tree is gone when it returns, but for what lies in arena.
std::optional<std::string> bodyHtmlFromUtf8(std::string_view source, ParseArena* arena,
                                            ParseAllowance allowance, PageLinks* links) {
  const BoundedParse parse(source, allowance.forPage(source.size()), arena);
  if (!parse.output()) return std::nullopt;
  if (links) *links = pageLinks(*parse.output());
  const GumboNode* body = findBody(*parse.output());
  if (!body) return std::string();
  return serializeChildren(body, source);
}

// Parses and serialises a page that is text; consumes it. asRead is the
// page's bytes as they came, when there are any.
std::optional<std::u16string> bodyHtmlOf(std::u16string&& page, ParseArena* arena = nullptr,
                                         ParseAllowance allowance = {}, PageLinks* links = nullptr,
                                         std::string_view asRead = {}) {
  // A NUL just after "<" stays in the text as U+FFFD in the browser, where
  // the parser here drops it.
  for (size_t at = page.find(u'\0'); at != std::u16string::npos; at = page.find(u'\0', at + 1)) {
    if (at > 0 && page[at - 1] == u'<') page[at] = u'\uFFFD';
  }
  ControlDisguise disguise;
  const bool disguised = disguise.apply(page);
  std::string utf8 = textfile::encodeUtf8(page);
  std::u16string().swap(page);
  // A page that came as UTF-8 the parser can read as it is (the common
  // case) is parsed where it lies, and the copy goes before the tree grows.
  std::string_view source = utf8;
  if (!asRead.empty() && utf8 == asRead) {
    std::string().swap(utf8);
    source = asRead;
  }
  std::optional<std::string> markup = bodyHtmlFromUtf8(source, arena, allowance, links);
  // The tree (some 18 bytes a byte of the page) and the page go before the
  // markup is widened to UTF-16, so that none of them stand side by side.
  if (arena) arena->release();
  std::string().swap(utf8);
  if (!markup) return std::nullopt;
  std::u16string html = textfile::decodeUtf8(*markup);
  std::string().swap(*markup);
  if (disguised) disguise.undo(html);
  return html;
}

}  // namespace

std::u16string bodyHtmlFromText(std::u16string_view page) {
  return bodyHtmlOf(std::u16string(page)).value_or(std::u16string());
}

BodyHtml bodyHtmlFromBytes(std::string_view bytes, std::string_view contentType, ParseArena* arena,
                           ParseAllowance allowance) {
  textfile::WebText text =
      textfile::decodeWebPage(bytes, contentType, textfile::Undeclared::Detected);
  PageLinks links;
  std::optional<std::u16string> html =
      bodyHtmlOf(std::move(text.text), arena, allowance, &links, bytes);
  if (!html) return {{}, text.encoding, true, {}};
  return {std::move(*html), text.encoding, false, std::move(links)};
}

}  // namespace kelvane::acquisition
