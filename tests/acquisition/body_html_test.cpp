#include "acquisition/direct/body_html.h"

#include <gtest/gtest.h>

namespace kelvane::acquisition {
namespace {

// What the browser comparison cannot show: hostile shapes and the decoding
// that reaches the parser.
TEST(BodyHtml, WritesTheBodyAsTheBrowserDoes) {
  struct Case {
    std::u16string page;
    std::u16string body;
  } cases[] = {
      {u"<P CLASS=a>x&amp;y&nbsp;<BR>", u"<p class=\"a\">x&amp;y&nbsp;<br></p>"},
      {u"<a title='\"&amp;<>'>t</a>", u"<a title=\"&quot;&amp;<>\">t</a>"},
      {u"<p>x<noscript>a&b<i>c</i></noscript>", u"<p>x<noscript>a&b<i>c</i></noscript></p>"},
      {u"<svg viewbox=0><clippath/></svg>", u"<svg viewBox=\"0\"><clipPath></clipPath></svg>"},
      {u"<frameset><frame></frameset>", u"<frame>"},  // the frameset stands for the body
      {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(bodyHtmlFromText(c.page), c.body);
}

TEST(BodyHtml, DeepNestingIsWrittenWithoutRecursion) {
  std::u16string page;
  for (int i = 0; i < 3000; ++i) page += u"<span>";
  const std::u16string body = bodyHtmlFromText(page);
  EXPECT_EQ(body.size(), 3000u * (6 + 7));
}

TEST(BodyHtml, BytesAreDecodedBeforeParsing) {
  const BodyHtml page = bodyHtmlFromBytes("<p>\xA4\xA2</p>", "text/html; charset=euc-jp");
  EXPECT_EQ(page.html, u"<p>あ</p>");
  EXPECT_EQ(page.encoding, textfile::WebEncoding::EucJp);
}

// The tree built in an arena, whether it fits, fills the region halfway
// through the parse (the rest from the heap, freed block by block), or has
// no region at all, gives the same text as the heap.
TEST(BodyHtml, AnArenaOfAnySizeGivesWhatTheHeapGives) {
  std::string page = "<table>";
  for (int i = 0; i < 500; ++i) page += "<tr><td class=x>" + std::to_string(i) + "<b><i>&amp;";
  const std::u16string heap = bodyHtmlFromBytes(page).html;
  ASSERT_GT(heap.size(), 10000u);
  for (const size_t region : {size_t{0}, size_t{64} << 10, ParseArena::regionFor(page.size())}) {
    ParseArena arena(region);
    EXPECT_EQ(bodyHtmlFromBytes(page, "", &arena).html, heap) << region;
    EXPECT_EQ(arena.holdsEverything(), region > (size_t{64} << 10)) << region;
  }
}

// Tens of thousands of unclosed elements take the parser minutes.
TEST(BodyHtml, APageTooSlowToParseIsGivenUpWhenTheTimeIsUp) {
  std::string nested;
  for (int i = 0; i < 40000; ++i) nested += "<div>";
  EXPECT_FALSE(bodyHtmlWithin(nested, "", std::chrono::milliseconds(300)));
  const auto quick = bodyHtmlWithin("<p>\x82\xA0", "", std::chrono::seconds(30));
  ASSERT_TRUE(quick);
  EXPECT_EQ(quick->html, u"<p>あ</p>");
  EXPECT_EQ(quick->encoding, textfile::WebEncoding::ShiftJis);
}

}  // namespace
}  // namespace kelvane::acquisition
