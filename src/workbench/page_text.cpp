#include "workbench/page_text.h"

#include <gumbo.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string_view>

#include "textfile/bulk_memory.h"
#include "textfile/text_codec.h"
#include "workbench/parse_blocks.h"

namespace kelvane::workbench {
namespace {

// HT as UTF-8 for the parser, and the HT index of every 16th byte, from
// which the index of any byte is counted: an index per byte would take
// four times the page's bytes.
class Utf8Page {
 public:
  explicit Utf8Page(TextView ht) : size_(ht.size()) {
    bytes_.reserve(ht.size() * 3);
    marks_.reserve(ht.size() * 3 / kStep + 2);
    for (size_t i = 0; i < ht.size();) {
      const size_t at = i;
      uint32_t c = ht[i++];
      if (c >= 0xD800 && c <= 0xDBFF && i < ht.size() && ht[i] >= 0xDC00 && ht[i] <= 0xDFFF)
        c = 0x10000 + ((c - 0xD800) << 10) + (ht[i++] - 0xDC00);
      else if (c >= 0xD800 && c <= 0xDFFF)
        c = 0xFFFD;
      char b[4];
      size_t n;
      if (c < 0x80) {
        b[0] = static_cast<char>(c), n = 1;
      } else if (c < 0x800) {
        b[0] = static_cast<char>(0xC0 | (c >> 6)), b[1] = static_cast<char>(0x80 | (c & 0x3F));
        n = 2;
      } else if (c < 0x10000) {
        b[0] = static_cast<char>(0xE0 | (c >> 12)),
        b[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        b[2] = static_cast<char>(0x80 | (c & 0x3F)), n = 3;
      } else {
        b[0] = static_cast<char>(0xF0 | (c >> 18)),
        b[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        b[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
        b[3] = static_cast<char>(0x80 | (c & 0x3F));
        n = 4;
      }
      // A mark for each multiple of kStep among this character's bytes: the
      // index of the first character that starts there or after it.
      const size_t end = bytes_.size() + n;
      for (size_t m = marks_.size() * kStep; m < end; m += kStep)
        marks_.push_back(static_cast<uint32_t>(m == bytes_.size() ? at : i));
      bytes_.append(b, n);
    }
  }
  const std::string& bytes() const { return bytes_; }

  // The HT index of the character byte `byte` belongs to (HT's size past
  // the end).
  uint32_t at(size_t byte) const {
    if (byte >= bytes_.size()) return static_cast<uint32_t>(size_);
    // Back to the character's first byte.
    while (byte > 0 && (static_cast<unsigned char>(bytes_[byte]) & 0xC0) == 0x80) --byte;
    size_t k = byte / kStep * kStep;
    uint32_t index = marks_[byte / kStep];
    for (; k < byte; ++k) {
      const auto c = static_cast<unsigned char>(bytes_[k]);
      if ((c & 0xC0) != 0x80) index += c >= 0xF0 ? 2 : 1;
    }
    return index;
  }

 private:
  static constexpr size_t kStep = 16;
  std::string bytes_;
  std::vector<uint32_t> marks_;
  size_t size_;
};

// The walk recurses; what lies deeper than this is left out of the text
// (a browser shows no more than some hundreds of levels either).
constexpr int kMaxDepth = 1000;

bool hidden(GumboTag tag) {
  return tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_TEMPLATE ||
         tag == GUMBO_TAG_NOSCRIPT || tag == GUMBO_TAG_HEAD || tag == GUMBO_TAG_TITLE;
}

bool blockTag(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_OPTION:
    case GUMBO_TAG_P:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_BODY:
      return true;
    default:
      return false;
  }
}

bool whiteSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == 0x00A0;
}

class Builder {
 public:
  Builder(TextView ht, const Utf8Page& utf8, PageText& out) : ht_(ht), utf8_(utf8), out_(out) {}

  void element(const GumboNode* node, int32_t parent, int depth) {
    const GumboElement& el = node->v.element;
    PageElement e;
    e.tag = el.tag == GUMBO_TAG_UNKNOWN && el.original_tag.length > 0
                ? unknownName(el.original_tag)
                : gumbo_normalized_tagname(el.tag);
    if (const GumboAttribute* a = gumbo_get_attribute(&el.attributes, "class"))
      e.classes = textfile::fromUtf8(a->value);
    if (const GumboAttribute* a = gumbo_get_attribute(&el.attributes, "id"))
      e.id = textfile::fromUtf8(a->value);
    e.start = at(el.start_pos.offset);
    e.openEnd =
        el.original_tag.length > 0 ? at(el.start_pos.offset + el.original_tag.length) : e.start;
    e.parent = parent;
    e.block = blockTag(el.tag);
    const auto self = static_cast<int32_t>(out_.elements.size());
    out_.elements.push_back(std::move(e));
    if (out_.elements[self].block) breakLine();
    out_.elements[self].textBegin = static_cast<uint32_t>(out_.text.size());
    if (!hidden(el.tag) && depth < kMaxDepth) {
      for (unsigned k = 0; k < el.children.length; ++k) {
        const auto* child = static_cast<const GumboNode*>(el.children.data[k]);
        if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE) {
          element(child, self, depth + 1);
        } else if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE ||
                   child->type == GUMBO_NODE_CDATA) {
          text(child, self);
        }
      }
    }
    PageElement& done = out_.elements[self];
    if (el.original_end_tag.length > 0) {
      done.closeStart = at(el.end_pos.offset);
      done.end = at(el.end_pos.offset + el.original_end_tag.length);
    } else {
      done.closeStart = done.end = std::max(done.openEnd, lastEnd_);
    }
    lastEnd_ = std::max(lastEnd_, done.end);
    done.textEnd = static_cast<uint32_t>(out_.text.size());
    if (done.block) breakLine();
  }

 private:
  static std::string unknownName(GumboStringPiece tag) {
    gumbo_tag_from_original_text(&tag);
    std::string name(tag.data, tag.length);
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return name;
  }

  uint32_t at(size_t byte) const { return utf8_.at(byte); }

  void breakLine() { pendingSpace_ = !out_.text.empty(); }

  void put(char16_t c, uint32_t from, uint32_t to, int32_t owner) {
    if (whiteSpace(c)) {
      if (!pendingSpace_) spaceFrom_ = from;
      pendingSpace_ = !out_.text.empty();
      spaceTo_ = to;
      return;
    }
    if (pendingSpace_) {
      out_.text.push_back(u' ');
      out_.from.push_back(spaceFrom_ ? spaceFrom_ : from);
      out_.to.push_back(std::max(spaceTo_, spaceFrom_ ? spaceFrom_ : from));
      out_.owner.push_back(owner);
      pendingSpace_ = false;
      spaceFrom_ = spaceTo_ = 0;
    }
    out_.text.push_back(c);
    out_.from.push_back(from);
    out_.to.push_back(to);
    out_.owner.push_back(owner);
  }

  // A text node: its raw markup in HT, character by character against the
  // parser's decoded text, so that an entity maps to its whole reference.
  void text(const GumboNode* node, int32_t owner) {
    const GumboText& t = node->v.text;
    const uint32_t a = at(t.start_pos.offset);
    const uint32_t b = at(t.start_pos.offset + t.original_text.length);
    lastEnd_ = std::max(lastEnd_, b);
    const Text decoded = textfile::fromUtf8(t.text);
    size_t i = a, j = 0;
    while (j < decoded.size()) {
      if (i >= b) {  // the rest of what the parser read, at the node's end
        put(decoded[j++], b, b, owner);
        continue;
      }
      const char16_t r = ht_[i];
      if (r == u'\r' && decoded[j] == u'\n') {
        const size_t n = i + 1 < b && ht_[i + 1] == u'\n' ? 2 : 1;
        put(u'\n', static_cast<uint32_t>(i), static_cast<uint32_t>(i + n), owner);
        i += n, ++j;
      } else if (r == u'&' && i + 1 < b &&
                 ht_[i + 1] != decoded[j + 1 < decoded.size() ? j + 1 : j]) {
        size_t k = i + 1;
        if (k < b && ht_[k] == u'#') ++k;
        while (k < b && k - i < 40 &&
               ((ht_[k] >= u'0' && ht_[k] <= u'9') || (ht_[k] >= u'a' && ht_[k] <= u'z') ||
                (ht_[k] >= u'A' && ht_[k] <= u'Z')))
          ++k;
        if (k < b && ht_[k] == u';') ++k;
        const size_t units = decoded[j] >= 0xD800 && decoded[j] <= 0xDBFF ? 2 : 1;
        for (size_t u = 0; u < units && j < decoded.size(); ++u)
          put(decoded[j++], static_cast<uint32_t>(i), static_cast<uint32_t>(k), owner);
        i = k;
      } else {
        put(decoded[j++], static_cast<uint32_t>(i), static_cast<uint32_t>(i + 1), owner);
        ++i;
      }
    }
  }

  TextView ht_;
  const Utf8Page& utf8_;
  PageText& out_;
  bool pendingSpace_ = false;
  uint32_t spaceFrom_ = 0, spaceTo_ = 0;
  uint32_t lastEnd_ = 0;
};

}  // namespace

TextView PageText::shownOf(const PageElement& e) const {
  size_t a = e.textBegin, b = e.textEnd;
  while (a < b && text[a] == u' ') ++a;
  while (b > a && text[b - 1] == u' ') --b;
  return TextView(text).substr(a, b - a);
}

bool PageText::holds(int32_t a, int32_t b) const {
  for (; b >= 0; b = elements[static_cast<size_t>(b)].parent)
    if (a == b) return true;
  return false;
}

PageText readPageText(TextView ht) {
  PageText page;
  const Utf8Page utf8(ht);
  // The parser takes up to some sixteen times the page's UTF-8 bytes (a
  // list of short items).
  ParseBlocks pool(utf8.bytes().size() * 16);
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;
  options.allocator = &ParseBlocks::allocate;
  options.deallocator = &ParseBlocks::deallocate;
  options.userdata = &pool;
  GumboOutput* output =
      gumbo_parse_with_options(&options, utf8.bytes().data(), utf8.bytes().size());
  if (!output) return page;
  // Room for the most the page can give, taken once: growing these by
  // copying would touch several times the memory they end with. What is
  // never written costs no memory. The part they will likely fill (an
  // element per start tag, a character per character outside tags) is
  // backed at once, which costs about half of a fault per page.
  size_t tags = 0, outside = 0;
  bool inTag = false;
  for (const char16_t c : ht) {
    if (c == u'<') ++tags, inTag = true;
    if (!inTag) ++outside;
    if (c == u'>') inTag = false;
  }
  page.elements.reserve(tags + 8);
  textfile::prefault(page.elements.data(), (tags / 2 + 8) * sizeof(PageElement));
  const size_t most = ht.size() + page.elements.capacity() + 1;
  page.text.reserve(most);
  page.from.reserve(most);
  page.to.reserve(most);
  page.owner.reserve(most);
  textfile::prefault(page.text.data(), outside * sizeof(char16_t));
  for (auto* v : {&page.from, &page.to}) textfile::prefault(v->data(), outside * sizeof(uint32_t));
  textfile::prefault(page.owner.data(), outside * sizeof(int32_t));
  Builder builder(ht, utf8, page);
  builder.element(output->root, -1, 0);
  gumbo_destroy_output(&options, output);
  page.parsed = true;
  return page;
}

}  // namespace kelvane::workbench
