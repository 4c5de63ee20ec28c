#include "textfile/web_charset.h"

#include <gtest/gtest.h>

namespace kelvane::textfile {
namespace {

using E = WebEncoding;

TEST(WebCharset, LabelsAndContentTypesNameEncodings) {
  EXPECT_EQ(encodingForLabel(" SJIS\t"), E::ShiftJis);
  EXPECT_EQ(encodingForLabel("latin1"), E::Windows1252);
  EXPECT_EQ(encodingForLabel("x-euc-jp"), E::EucJp);
  EXPECT_EQ(encodingForLabel("utf-16"), E::Utf16Le);
  EXPECT_EQ(encodingForLabel("shift-jis2"), std::nullopt);
  EXPECT_EQ(encodingFromContentType("text/html; charset=\"Shift_JIS\""), E::ShiftJis);
  EXPECT_EQ(encodingFromContentType("text/html;foo=1; Charset=euc-jp"), E::EucJp);
  EXPECT_EQ(encodingFromContentType("text/html"), std::nullopt);
  EXPECT_EQ(encodingFromContentType("text/html; charset=nonsense"), std::nullopt);
}

TEST(WebCharset, MetaDeclarationsNearTheTop) {
  struct Case {
    std::string page;
    std::optional<WebEncoding> found;
  } cases[] = {
      {"<meta charset=\"euc-jp\">", E::EucJp},
      {"<META HTTP-EQUIV=Content-Type CONTENT='text/html; charset=Shift_JIS'>", E::ShiftJis},
      {"<meta content=\"text/html; charset=shift_jis\">", std::nullopt},  // no http-equiv
      {"<!-- <meta charset=euc-jp> --><meta charset=iso-2022-jp>", E::Iso2022Jp},
      {"<div title='<meta charset=euc-jp>'><meta charset=gbk>", E::Gbk},
      {"<meta charset=bogus><meta charset=big5>", E::Big5},
      {"<meta charset=utf-16le>", E::Utf8},
      {"<meta charset=x-user-defined>", E::Windows1252},
      {"<meta charset='sjis", std::nullopt},  // cut off
      {"<body>" + std::string(1100, ' ') + "<meta charset=euc-jp>", std::nullopt},
      {"<title>" + std::string(1100, 'x') + "</title><meta charset=euc-jp>", E::EucJp},
  };
  for (const Case& c : cases) EXPECT_EQ(encodingFromMeta(c.page), c.found) << c.page;
}

TEST(WebCharset, ByteOrderMarkThenHeaderThenMetaThenTheBytes) {
  struct Case {
    std::string bytes;
    std::string contentType;
    WebEncoding used;
    std::u16string text;
  } cases[] = {
      {"\xEF\xBB\xBF\xE3\x81\x82", "text/html; charset=shift_jis", E::Utf8, u"あ"},
      {"\xFF\xFE\x42\x30", "", E::Utf16Le, u"あ"},
      {"<meta charset=euc-jp>\x82\xA0", "text/html; charset=sjis", E::ShiftJis,
       u"<meta charset=euc-jp>あ"},
      {"<meta charset=euc-jp>\xA4\xA2", "text/html", E::EucJp, u"<meta charset=euc-jp>あ"},
      {"\xE3\x81\x82", "", E::Utf8, u"あ"},
      {"\x82\xA0", "", E::ShiftJis, u"あ"},
  };
  for (const Case& c : cases) {
    const WebText t = decodeWebPage(c.bytes, c.contentType);
    EXPECT_EQ(t.encoding, c.used) << c.bytes;
    EXPECT_EQ(t.text, c.text) << c.bytes;
  }
  // Where asked, undeclared bytes are guessed (through ICU's detector, which
  // is opened on first use).
  const std::string russian =
      "\xCF\xF0\xE8\xE2\xE5\xF2, \xFD\xF2\xEE \xF0\xF3\xF1\xF1\xEA\xE0\xFF "
      "\xF1\xF2\xF0\xE0\xED\xE8\xF6\xE0 \xEE \xEF\xEE\xE3\xEE\xE4\xE5 \xE2 "
      "\xCC\xEE\xF1\xEA\xE2\xE5.";
  EXPECT_EQ(decodeWebPage(russian, "", Undeclared::Detected).encoding, E::Windows1251);
}

// Malformed input as the browser shows it (its decoders are ICU's): a bad
// single byte is U+001A, an unmapped pair U+FFFD.
TEST(WebCharset, MalformedSequencesAsTheBrowserShowsThem) {
  struct Case {
    WebEncoding encoding;
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {E::ShiftJis, "\x85\x40\x82\x30",
       u"\uFFFD\x1A"
       u"0"},
      {E::ShiftJis, "\xA0\xF0\x40\x82", u"\x1A\uE000\x1A"},
      {E::EucJp, "\xA1\xC1\x8E\xB1\xA4\x41",
       u"\uFF5E\uFF71\x1A"
       u"A"},
      {E::Iso2022Jp, "\x1B$B\x24\x22\x1B(Ba\x1B(I\x31", u"あa\uFF71"},
      {E::Windows1252, "\x80\x81\xFF", u"\u20AC\x81\u00FF"},
      {E::UserDefined, "a\x80", u"a\uF780"},
      {E::Replacement, "abc", u"\uFFFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decodeAs(c.encoding, c.bytes), c.text) << encodingName(c.encoding) << " " << c.bytes;
  }
}

}  // namespace
}  // namespace kelvane::textfile
