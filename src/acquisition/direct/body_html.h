// A fetched page's body markup as the browser writes it back out
// (innerHTML of the body): the page is decoded as a browser decodes it,
// parsed as HTML5, and the body's children serialised with the browser's
// rules for names, quoting and escaping.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/direct/parse_arena.h"
#include "textfile/web_charset.h"

namespace kelvane::acquisition {

struct BodyHtml {
  std::u16string html;
  textfile::WebEncoding encoding;
};

// The body markup of a page from its bytes and the server's Content-Type
// (empty for a saved page). Any bytes give a result; a page without a body
// (a frameset) gives an empty text. The parser's tree is built in arena when
// one is given, else on the heap.
BodyHtml bodyHtmlFromBytes(std::string_view bytes, std::string_view contentType = {},
                           ParseArena* arena = nullptr);

// The same, worked out in a child process that is ended when the time is
// up: the parser takes time that grows with the square of the nesting, so a
// page of tens of thousands of unclosed elements could hold the run for
// hours. Nothing when the time ran out or the child failed.
std::optional<BodyHtml> bodyHtmlWithin(std::string_view bytes, std::string_view contentType,
                                       std::chrono::milliseconds time);

// The body markup of a page that is already text.
std::u16string bodyHtmlFromText(std::u16string_view page);

}  // namespace kelvane::acquisition
