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
#include <set>
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

// Characters of planes 15 and 16 (where control characters cross the
// parser in disguise) in UTF-8 text.
void addPlanes15And16(std::string_view utf8, std::set<char32_t>& found) {
  for (size_t i = 0; i + 3 < utf8.size(); ++i) {
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(utf8[at]); };
    if (byte(i) == 0xF4 || (byte(i) == 0xF3 && byte(i + 1) >= 0xB0)) {
      found.insert(static_cast<char32_t>((byte(i) & 0x07) << 18 | (byte(i + 1) & 0x3F) << 12 |
                                         (byte(i + 2) & 0x3F) << 6 | (byte(i + 3) & 0x3F)));
      i += 3;
    }
  }
}

// What a parse of the page's text, without the disguise, allows the body
// markup to hold.
struct Reference {
  // The most that writing out the tree can give, in UTF-16 units: six for
  // each byte of text, attribute or comment (&quot; for ", &nbsp; for the
  // two bytes of a no-break space), 32 for each node (an element's start and
  // end tags, an attribute's name, quotes and =), and three for each byte of
  // the source (a noscript's raw text, or the names of elements the parser
  // does not know, written twice).
  size_t mostWritten = 0;
  // The characters of planes 15 and 16 in the source or in what its
  // character references became.
  std::set<char32_t> planes15And16;
};

// The parse is a bounded one without a bound: the parser itself loses
// blocks on some pages (a doctype in a noscript in the head), and
// BoundedParse gives them back.
Reference readReference(const std::string& utf8) {
  const kelvane::acquisition::BoundedParse parse(utf8, SIZE_MAX);
  Reference reference;
  size_t& bound = reference.mostWritten;
  bound = 3 * utf8.size();
  addPlanes15And16(utf8, reference.planes15And16);
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
        addPlanes15And16(a->value, reference.planes15And16);
      }
    } else {
      bound += 6 * std::string_view(node->v.text.text).size();
      addPlanes15And16(node->v.text.text, reference.planes15And16);
    }
  }
  return reference;
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

// Every character of planes 15 and 16 in text is one of these.
bool planes15And16Within(std::u16string_view text, const std::set<char32_t>& allowed) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] >= 0xDB80 && text[i] <= 0xDBFF) {
      const char32_t c = 0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) +
                         (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      if (!allowed.count(c)) return false;
    }
  }
  return true;
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
  const Reference reference = readReference(kelvane::textfile::encodeUtf8(text.text));
  FUZZ_CHECK(body.html.size() <= reference.mostWritten);
  // Every disguised character is put back.
  FUZZ_CHECK(planes15And16Within(body.html, reference.planes15And16));
  return 0;
}
