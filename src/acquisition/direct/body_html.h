// A fetched page's body markup as the browser writes it back out
// (innerHTML of the body): the page is decoded as a browser decodes it,
// parsed as HTML5, and the body's children serialised with the browser's
// rules for names, quoting and escaping.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/direct/parse_arena.h"
#include "acquisition/direct/refresh.h"
#include "textfile/web_charset.h"

namespace kelvane::acquisition {

struct BodyHtml {
  std::u16string html;
  textfile::WebEncoding encoding;
  // The parser needed more than the page's allowance; html is empty.
  bool tooLarge = false;
  // Where the page's refresh <meta> leads, and its <base href>.
  PageLinks links;
};

// What the parser may take for a page, in all: a fixed part and a part for
// each byte of the page's text (as UTF-8), up to a ceiling that keeps a read
// of any page under 1 GB, the markup written out beside the tree included.
// A dense listing (a table row of two cells every 66 bytes) takes 18 bytes
// a byte, so one of up to some 45 MB reads; the densest ordinary markup (an
// unclosed <font> and a <p> every ten bytes) takes 117 bytes a byte, up to
// some 7 MB. Past the ceiling the load fails naming why: the browser reads
// such pages, at several times the memory.
struct ParseAllowance {
  size_t fixedBytes = size_t{64} << 20;
  size_t bytesPerPageByte = 256;
  size_t mostBytes = size_t{896} << 20;
  size_t forPage(size_t pageBytes) const {
    return pageBytes > (mostBytes - fixedBytes) / bytesPerPageByte
               ? mostBytes
               : fixedBytes + bytesPerPageByte * pageBytes;
  }
};

// The body markup of a page from its bytes and the server's Content-Type
// (empty for a saved page). Any bytes give a result; a page without a body
// (a frameset) gives an empty text. The parser's tree is built in arena when
// one is given, else on the heap.
BodyHtml bodyHtmlFromBytes(std::string_view bytes, std::string_view contentType = {},
                           ParseArena* arena = nullptr, ParseAllowance allowance = {});

// The same, worked out in a child process that is ended when the time is
// up: the parser takes time that grows with the square of the nesting, so a
// page of tens of thousands of unclosed elements could hold the run for
// hours. Nothing when the time ran out, the child failed, or stopRequested
// (asked ten times a second) said to stop.
std::optional<BodyHtml> bodyHtmlWithin(std::string_view bytes, std::string_view contentType,
                                       std::chrono::milliseconds time,
                                       const std::function<bool()>& stopRequested = {});

// The body markup of a page that is already text (empty also when the
// parser needed more than the allowance).
std::u16string bodyHtmlFromText(std::u16string_view page);

}  // namespace kelvane::acquisition
