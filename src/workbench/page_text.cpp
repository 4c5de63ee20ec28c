#include "workbench/page_text.h"

#include <gumbo.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string_view>

#include "textfile/text_codec.h"

namespace kelvane::workbench {
namespace {

// HT as UTF-8 for the parser, and for each byte offset the HT index of the
// character it belongs to.
struct Utf8Page {
  std::string bytes;
  std::vector<uint32_t> index;  // bytes.size() + 1 entries
};

Utf8Page toUtf8(TextView ht) {
  Utf8Page p;
  p.bytes.reserve(ht.size() * 2);
  p.index.reserve(ht.size() * 2 + 1);
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
      b[0] = static_cast<char>(0xC0 | (c >> 6)), b[1] = static_cast<char>(0x80 | (c & 0x3F)), n = 2;
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
    p.bytes.append(b, n);
    p.index.insert(p.index.end(), n, static_cast<uint32_t>(at));
  }
  p.index.push_back(static_cast<uint32_t>(ht.size()));
  return p;
}

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

  uint32_t at(size_t byte) const { return utf8_.index[std::min(byte, utf8_.index.size() - 1)]; }

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

// The parser's blocks, taken from large chunks and given back all at once
// when the tree is done with: the parser makes some hundreds of thousands of
// small blocks for a page of a megabyte, and the system's allocator spends
// more time on them than the parse itself.
class BlockPool {
 public:
  ~BlockPool() {
    for (char* chunk : chunks_) std::free(chunk);
  }
  static void* allocate(void* self, size_t size) {
    return static_cast<BlockPool*>(self)->take(size);
  }
  static void deallocate(void*, void*) {}

 private:
  static constexpr size_t kChunk = size_t{1} << 20;
  void* take(size_t size) {
    size = (size + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    if (size > kChunk / 4) {
      // Large blocks (the parser's growing vectors) on their own.
      chunks_.push_back(static_cast<char*>(std::malloc(size)));
      return chunks_.back();
    }
    if (left_ < size) {
      chunks_.push_back(static_cast<char*>(std::malloc(kChunk)));
      next_ = chunks_.back();
      left_ = next_ ? kChunk : 0;
      if (!next_) return nullptr;
    }
    void* block = next_;
    next_ += size;
    left_ -= size;
    return block;
  }
  std::vector<char*> chunks_;
  char* next_ = nullptr;
  size_t left_ = 0;
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
  const Utf8Page utf8 = toUtf8(ht);
  BlockPool pool;
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;
  options.allocator = &BlockPool::allocate;
  options.deallocator = &BlockPool::deallocate;
  options.userdata = &pool;
  GumboOutput* output = gumbo_parse_with_options(&options, utf8.bytes.data(), utf8.bytes.size());
  if (!output) return page;
  Builder builder(ht, utf8, page);
  builder.element(output->root, -1, 0);
  gumbo_destroy_output(&options, output);
  page.parsed = true;
  return page;
}

}  // namespace kelvane::workbench
