// How a browser reads the bytes of a web page as text: which encoding they
// are in (a byte order mark, then the server's Content-Type, then <meta> near
// the top of the page) and the browsers' tables for each encoding, which
// differ from ICU's in places (EUC-JP A1C1 is U+FF5E in a browser).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::textfile {

// The encodings browsers know, by their canonical names.
enum class WebEncoding : uint8_t {
  Utf8,
  Utf16Le,
  Utf16Be,
  ShiftJis,
  EucJp,
  Iso2022Jp,
  Gb18030,
  Gbk,
  Big5,
  EucKr,
  Ibm866,
  Iso8859_2,
  Iso8859_3,
  Iso8859_4,
  Iso8859_5,
  Iso8859_6,
  Iso8859_7,
  Iso8859_8,
  Iso8859_8I,
  Iso8859_10,
  Iso8859_13,
  Iso8859_14,
  Iso8859_15,
  Iso8859_16,
  Koi8R,
  Koi8U,
  Macintosh,
  Windows874,
  Windows1250,
  Windows1251,
  Windows1252,
  Windows1253,
  Windows1254,
  Windows1255,
  Windows1256,
  Windows1257,
  Windows1258,
  MacCyrillic,
  UserDefined,
  Replacement,
};

// "Shift_JIS", "EUC-JP", "windows-1252", ...
std::string_view encodingName(WebEncoding encoding);

// The encoding a label names ("sjis", " Latin1 ", "x-euc-jp"): blanks around
// it are ignored, letter case does not matter. Nothing for an unknown label.
std::optional<WebEncoding> encodingForLabel(std::string_view label);

// The charset parameter of a Content-Type header value, when it names a
// known encoding ("text/html; charset=\"Shift_JIS\"").
std::optional<WebEncoding> encodingFromContentType(std::string_view contentType);

// The encoding a page's byte order mark gives, and the mark's length.
std::optional<WebEncoding> encodingFromBom(std::string_view bytes, size_t* bomLength = nullptr);

// The encoding that <meta charset> or <meta http-equiv="Content-Type">
// declares near the top of the page: in the first 1024 bytes, or later
// while everything before it could stand in a head (as the browser does). A declared UTF-16 means
// UTF-8 (the page could not have been read this far otherwise) and x-user-defined means
// windows-1252.
std::optional<WebEncoding> encodingFromMeta(std::string_view bytes);

// The bytes in the encoding, as a browser decodes them (no byte order mark
// handling): malformed sequences become U+FFFD.
std::u16string decodeAs(WebEncoding encoding, std::string_view bytes);

// The encoding a browser takes for a fetched page that declares none,
// guessed from its bytes (windows-1252 when nothing stands out).
WebEncoding detectWebEncoding(std::string_view bytes);

// What a page that declares no encoding is read as: a saved page as UTF-8
// when it is valid UTF-8, else Shift_JIS; a fetched one as valid UTF-8 or,
// else, as the browser guesses it.
enum class Undeclared : uint8_t { Utf8OrShiftJis, Detected };

struct WebText {
  std::u16string text;
  WebEncoding encoding;
};

// A page's bytes as a browser reads them: the byte order mark first, then
// the Content-Type's charset (for fetched pages; empty for a saved one),
// then <meta>; with nothing declared, as `undeclared` says.
WebText decodeWebPage(std::string_view bytes, std::string_view contentType = {},
                      Undeclared undeclared = Undeclared::Utf8OrShiftJis);

}  // namespace kelvane::textfile
