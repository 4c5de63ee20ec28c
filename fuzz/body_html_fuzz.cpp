// Fuzzes the direct fetch's reading of a page: the browser-like decoding,
// the HTML5 parse and the writing of the body markup, in this process (the
// fetch runs the same code in a child it can end). The input is the
// server's Content-Type, a line feed, and the page's bytes; without a line
// feed it is all page.
//
// Work stays linear in the page: the parser is given a small fixed
// allowance (plus the usual amount for each byte), so markup that
// multiplies itself reaches the cap here, and the parse given up is freed
// under the leak checker; and the text written is held to what the tree
// holds, so nothing is written twice. At 4096 bytes every input is read in
// well under a second; fuzz.sh's -timeout stops one that is not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/direct/body_html.h"
#include "acquisition/direct/bounded_parse.h"
#include "check.h"
#include "textfile/text_codec.h"
#include "textfile/web_charset.h"

namespace {

using kelvane::acquisition::BodyHtml;
using kelvane::acquisition::ParseAllowance;

// The most that writing out a parse of text can give, in UTF-16 units: six
// for each byte of text, attribute or comment in the tree (&quot; for ",
// &nbsp; for the two bytes of a no-break space), 32 for each node (an
// element's start and end tags and an attribute's name, quotes and =), and
// three for each byte of the source (a noscript's raw text, or the names of
// elements the parser does not know, written twice). The parse is a bounded
// one without a bound: the parser itself loses blocks on some pages (a
// doctype in a noscript in the head), and BoundedParse gives them back.
size_t mostWritten(const std::string& utf8) {
  const kelvane::acquisition::BoundedParse parse(utf8, SIZE_MAX);
  size_t bound = 3 * utf8.size();
  std::vector<const GumboNode*> pending{parse.output()->document};
  while (!pending.empty()) {
    const GumboNode* node = pending.back();
    pending.pop_back();
    bound += 32;
    if (node->type == GUMBO_NODE_DOCUMENT || node->type == GUMBO_NODE_ELEMENT ||
        node->type == GUMBO_NODE_TEMPLATE) {
      const GumboVector& children =
          node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
      for (unsigned i = 0; i < children.length; ++i) {
        pending.push_back(static_cast<const GumboNode*>(children.data[i]));
      }
      if (node->type == GUMBO_NODE_DOCUMENT) continue;
      const GumboVector& attributes = node->v.element.attributes;
      for (unsigned i = 0; i < attributes.length; ++i) {
        const auto* a = static_cast<const GumboAttribute*>(attributes.data[i]);
        bound += 32 + 6 * (std::string_view(a->name).size() + std::string_view(a->value).size());
      }
    } else {
      bound += 6 * std::string_view(node->v.text.text).size();
    }
  }
  return bound;
}

bool wellFormed(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// Planes 15 and 16, where control characters cross the parser in disguise.
bool hasPlane15Or16(std::u16string_view text) {
  for (char16_t u : text) {
    if (u >= 0xDB80 && u <= 0xDBFF) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t newline = input.find('\n');
  const std::string_view contentType =
      newline == std::string_view::npos ? std::string_view{} : input.substr(0, newline);
  const std::string_view page =
      newline == std::string_view::npos ? input : input.substr(newline + 1);

  constexpr ParseAllowance allowance{size_t{16} << 10, 256};
  const BodyHtml body =
      kelvane::acquisition::bodyHtmlFromBytes(page, contentType, nullptr, allowance);
  if (body.tooLarge) {
    FUZZ_CHECK(body.html.empty());
    return 0;
  }
  FUZZ_CHECK(wellFormed(body.html));
  // Control characters cross the parser in disguise; the tree of the text
  // without it is as large, bar their three extra bytes each.
  const kelvane::textfile::WebText text = kelvane::textfile::decodeWebPage(page, contentType);
  FUZZ_CHECK(body.html.size() <= mostWritten(kelvane::textfile::encodeUtf8(text.text)));
  // Every disguised character is put back.
  FUZZ_CHECK(!hasPlane15Or16(body.html) || hasPlane15Or16(text.text));
  return 0;
}
