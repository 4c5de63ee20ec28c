#include "acquisition/direct/page_kind.h"

#include <algorithm>
#include <array>

#include "acquisition/direct/image_size.h"
#include "textfile/text_codec.h"
#include "textfile/web_charset.h"

namespace kelvane::acquisition {
namespace {

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

std::string_view trimmed(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// The type without its parameters, in lower case: "text/plain".
std::string essence(std::string_view contentType) {
  return lowerAscii(trimmed(contentType.substr(0, contentType.find(';'))));
}

// Content-Disposition's type is "inline" or, when it names any other type,
// a file to save ("attachment", and unknown types alike).
bool savesAsFile(std::string_view disposition) {
  const std::string type = lowerAscii(trimmed(disposition.substr(0, disposition.find(';'))));
  return !type.empty() && type != "inline";
}

constexpr std::array<std::string_view, 13> kImageTypes = {
    "image/png",    "image/x-png",     "image/apng", "image/jpeg", "image/pjpeg",
    "image/jpg",    "image/gif",       "image/webp", "image/bmp",  "image/vnd.microsoft.icon",
    "image/x-icon", "image/x-xbitmap", "image/avif"};

// Text types the browser saves rather than shows: calendars, address
// cards, tables.
constexpr std::array<std::string_view, 19> kSavedTextTypes = {"text/calendar",
                                                              "text/x-calendar",
                                                              "text/x-vcalendar",
                                                              "text/vcalendar",
                                                              "text/vcard",
                                                              "text/x-vcard",
                                                              "text/directory",
                                                              "text/ldif",
                                                              "text/qif",
                                                              "text/x-qif",
                                                              "text/x-csv",
                                                              "text/x-vcf",
                                                              "text/rtf",
                                                              "text/comma-separated-values",
                                                              "text/csv",
                                                              "text/tab-separated-values",
                                                              "text/tsv",
                                                              "text/ofx",
                                                              "text/vnd.sun.j2me.app-descriptor"};

constexpr std::array<std::string_view, 8> kTextApplicationTypes = {
    "application/json",       "application/javascript",   "application/x-javascript",
    "application/ecmascript", "application/x-ecmascript", "application/rss+xml",
    "application/atom+xml",   "application/rdf+xml"};

template <size_t N>
bool listed(const std::array<std::string_view, N>& list, std::string_view type) {
  return std::find(list.begin(), list.end(), type) != list.end();
}

// Bytes no text holds (controls other than tab, line ends, form feed and
// the escape of ISO-2022-JP), looked for in the first 512 bytes unless a
// byte order mark says text.
bool looksBinary(std::string_view body) {
  if (textfile::encodingFromBom(body)) return false;
  for (unsigned char c : body.substr(0, 512)) {
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r' && c != 0x1B) return true;
  }
  return false;
}

void appendEscaped(std::u16string& out, std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'\u00A0':
        out += u"&nbsp;";
        break;
      case u'\r':
        out += u'\n';
        if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        break;
      case u'\0':
        out += u'\uFFFD';
        break;
      default:
        out += c;
    }
  }
}

bool isJson(std::string_view type) {
  return type == "application/json" || type == "text/json" ||
         (type.starts_with("application/") && type.ends_with("+json"));
}

// A text document is decoded as a page is, but <meta> means nothing in it,
// and JSON that declares nothing is UTF-8.
textfile::WebText decodeText(std::string_view body, std::string_view contentType) {
  using namespace textfile;
  size_t bomLength = 0;
  if (const auto bom = encodingFromBom(body, &bomLength)) {
    return {decodeAs(*bom, body.substr(bomLength)), *bom};
  }
  if (const auto declared = encodingFromContentType(contentType)) {
    return {decodeAs(*declared, body), *declared};
  }
  if (isJson(essence(contentType))) return {decodeAs(WebEncoding::Utf8, body), WebEncoding::Utf8};
  if (!encodingFromMeta(body)) return decodeWebPage(body, {}, Undeclared::Detected);
  const WebEncoding guessed = detectWebEncoding(body);
  return {decodeAs(guessed, body), guessed};
}

}  // namespace

PageKind pageKindOf(std::string_view contentType, std::string_view disposition,
                    std::string_view body) {
  if (savesAsFile(disposition)) return PageKind::Download;
  const std::string type = essence(contentType);
  // No type at all: the page as it has always been read here.
  if (type.empty() || type == "text/html") return PageKind::Html;
  if (type == "text/xml" || type == "application/xml" || type == "text/xsl" ||
      type == "application/xhtml+xml") {
    return PageKind::XmlTree;
  }
  if (type == "image/svg+xml") return PageKind::NoBody;
  if (listed(kImageTypes, type)) return PageKind::Image;
  const bool text = (type.starts_with("text/") && !listed(kSavedTextTypes, type)) ||
                    listed(kTextApplicationTypes, type) || isJson(type);
  if (!text) return PageKind::Download;
  return type == "text/plain" && looksBinary(body) ? PageKind::Download : PageKind::Text;
}

std::string refusalReason(PageKind kind, std::string_view contentType,
                          std::string_view disposition) {
  if (kind == PageKind::XmlTree) {
    const std::string type = essence(contentType);
    if (type == "application/xhtml+xml") {
      return "an XHTML document (" + type +
             "), which only the browser reads: it parses it as XML, not as HTML";
    }
    return "an XML document (" + type +
           "), which only the browser reads: it shows XML as a tree of its own, or as a page "
           "when it is XHTML";
  }
  if (savesAsFile(disposition)) {
    return "the server sends a file to save, not a page (Content-Disposition: " +
           std::string(trimmed(disposition)) + ")";
  }
  const std::string type = essence(contentType);
  return "the server sends a file to save, not a page (" +
         (type == "text/plain" ? std::string("binary data as text/plain") : type) + ")";
}

std::u16string textDocumentBody(std::string_view body, std::string_view contentType) {
  const textfile::WebText text = decodeText(body, contentType);
  std::u16string out = u"<pre style=\"word-wrap: break-word; white-space: pre-wrap;\">";
  out.reserve(out.size() + text.text.size() + text.text.size() / 8 + 6);
  appendEscaped(out, text.text);
  out += u"</pre>";
  return out;
}

std::u16string imageDocumentBody(std::string_view url, std::string_view image) {
  // An image too large for the view is shown shrunk, and a click would show
  // it whole.
  std::optional<ImageSize> shown;
  if (const auto size = imageSizeOf(image)) shown = shrunkToFit(*size, kUnattendedView);
  std::u16string out = u"<img style=\"display: block;-webkit-user-select: none;margin: auto;";
  if (shown) out += u"cursor: zoom-in;";
  out += u"background-color: hsl(0, 0%, 90%);";
  if (!mayAnimate(image)) out += u"transition: background-color 300ms;";
  out += u"\" src=\"";
  for (char16_t c : textfile::fromUtf8(url)) {
    if (c == u'&') {
      out += u"&amp;";
    } else if (c == u'"') {
      out += u"&quot;";
    } else if (c == u'\u00A0') {
      out += u"&nbsp;";
    } else {
      out += c;
    }
  }
  out += u'"';
  if (shown) {
    out += textfile::fromUtf8(" width=\"" + std::to_string(shown->width) + "\" height=\"" +
                              std::to_string(shown->height) + '"');
  }
  out += u'>';
  return out;
}

}  // namespace kelvane::acquisition
