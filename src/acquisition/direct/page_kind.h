// What the browser makes of a response by its Content-Type and
// Content-Disposition: an HTML page, text it shows in a <pre>, an image it
// shows in an <img>, a document with no body, or a file it saves instead of
// showing. The body markup of the documents it builds itself is made here.
#pragma once

#include <string>
#include <string_view>

namespace kelvane::acquisition {

enum class PageKind {
  Html,      // parsed as HTML
  Text,      // shown as text: text/plain, JSON, scripts, style sheets, feeds
  Image,     // an image the browser shows on its own
  NoBody,    // a document without a body (an SVG image)
  XmlTree,   // XML or XHTML, which the browser parses as XML: not read here
  Download,  // saved, never shown: the load fails
};

// The kind of a response. contentType is the header's value as sent,
// parameters and all; disposition the Content-Disposition header's.
// Text that looks binary in its first bytes is saved, as the browser does.
PageKind pageKindOf(std::string_view contentType, std::string_view disposition,
                    std::string_view body);

// Why such a response cannot be read as a page, for the failed load's message.
std::string refusalReason(PageKind kind, std::string_view contentType,
                          std::string_view disposition);

// The body markup the browser builds for a text document: the text decoded
// (the byte order mark, then the Content-Type's charset, else as the
// browser guesses), its line ends made line feeds, escaped in a <pre>.
std::u16string textDocumentBody(std::string_view body, std::string_view contentType);

// The body markup of an image document for the image's address and bytes:
// an image larger than kelvane-run's view is shrunk to fit it.
std::u16string imageDocumentBody(std::string_view url, std::string_view image);

}  // namespace kelvane::acquisition
