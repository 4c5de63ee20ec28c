// Fuzzes what the direct fetch makes of a response by its headers: the kind
// of document (page, text, image, a file to save), the charset of the
// Content-Type, and the documents it builds itself for text and images. The
// input is the Content-Type, a line feed, the Content-Disposition, a line
// feed, the address, a line feed, then the body.
//
// Whatever the server sends, the text of a text document and the address of
// an image stay text: no markup of theirs reaches the body markup.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "acquisition/direct/page_kind.h"
#include "check.h"
#include "textfile/web_charset.h"

namespace {

using namespace kelvane::acquisition;

std::string_view line(std::string_view& rest) {
  const size_t end = rest.find('\n');
  const std::string_view first = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return first;
}

size_t countOf(std::u16string_view text, char16_t c) {
  size_t n = 0;
  for (const char16_t unit : text) n += unit == c;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  const std::string_view contentType = line(rest);
  const std::string_view disposition = line(rest);
  const std::string_view url = line(rest);
  const std::string_view body = rest;

  static_cast<void>(kelvane::textfile::encodingFromContentType(contentType));
  const PageKind kind = pageKindOf(contentType, disposition, body);
  switch (kind) {
    case PageKind::Html:
    case PageKind::NoBody:
      break;
    case PageKind::XmlTree:
    case PageKind::Download:
      FUZZ_CHECK(!refusalReason(kind, contentType, disposition).empty());
      break;
    case PageKind::Text: {
      const std::u16string html = textDocumentBody(body, contentType);
      const size_t open = html.find(u'>');
      FUZZ_CHECK(html.starts_with(u"<pre") && open != std::u16string::npos);
      FUZZ_CHECK(html.size() >= open + 1 + 6 && html.ends_with(u"</pre>"));
      const std::u16string_view text =
          std::u16string_view(html).substr(open + 1, html.size() - open - 1 - 6);
      FUZZ_CHECK(countOf(text, u'<') == 0 && countOf(text, u'>') == 0);
      break;
    }
    case PageKind::Image: {
      // The address adds no quote of its own to the markup.
      const std::u16string html = imageDocumentBody(url, body);
      FUZZ_CHECK(countOf(html, u'"') == countOf(imageDocumentBody("x", body), u'"'));
      break;
    }
  }
  return 0;
}
