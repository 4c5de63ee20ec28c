#include "acquisition/direct/body_html.h"

#include <gtest/gtest.h>

#include <fstream>

#include "acquisition/direct/direct_browser.h"

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
      // Unclosed, the first noscript's text runs to the end of the page;
      // what the parser here made of that text is not written again.
      {u"<p><noscript>a</p><p><noscript>b", u"<p><noscript>a</p><p><noscript>b</noscript></p>"},
      {u"<svg viewbox=0><clippath/></svg>", u"<svg viewBox=\"0\"><clipPath></clipPath></svg>"},
      {u"<frameset><frame></frameset>", u"<frame>"},  // the frameset stands for the body
      // A control character crosses the parser in disguise, in a block that
      // no character reference names either.
      {u"\u0001&#xF0001;&#983042", u"\u0001\U000F0001\U000F0002"},
      {u"<noscript><!DOCTYPE", u""},  // the parser loses the doctype's blocks; all are given back
      {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(bodyHtmlFromText(c.page), c.body);
}

// A parse that would take minutes (the parser's time grows with the square
// of the nesting) ends as soon as a stop is asked for.
TEST(BodyHtml, AStopEndsTheParseWait) {
  std::string page;
  for (int i = 0; i < 200'000; ++i) page += "<div>";
  const auto start = std::chrono::steady_clock::now();
  const auto stop = [&] {
    return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(200);
  };
  EXPECT_FALSE(bodyHtmlWithin(page, "text/html", std::chrono::minutes(5), stop));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(800));
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

// Formatting elements left open are reopened in every paragraph after
// them, so the tree grows with the square of the page: these 27 KB would
// take the parser 1.7 GB. The parse ends at the allowance, on the heap or in
// an arena it outgrows; ordinary markup as dense is read.
TEST(BodyHtml, MarkupThatMultipliesItselfEndsAtTheAllowance) {
  std::string multiplying = "<p>";
  for (int i = 0; i < 2000; ++i) multiplying += "<b id=" + std::to_string(i) + ">";
  multiplying += "</p>";
  for (int i = 0; i < 2000; ++i) multiplying += "<p>x";
  std::string dense;
  for (int i = 0; i < 3000; ++i) dense += "<font>x<p><table><b><td><a>";
  constexpr ParseAllowance allowance{size_t{1} << 20, 256};
  const BodyHtml heap = bodyHtmlFromBytes(multiplying, "", nullptr, allowance);
  EXPECT_TRUE(heap.tooLarge);
  EXPECT_TRUE(heap.html.empty());
  ParseArena arena(size_t{64} << 10);
  EXPECT_TRUE(bodyHtmlFromBytes(multiplying, "", &arena, allowance).tooLarge);
  EXPECT_FALSE(bodyHtmlFromBytes(dense, "", nullptr, allowance).tooLarge);

  // The direct fetch says which cap ended the load.
  const std::string path = ::testing::TempDir() + "multiplying.html";
  std::ofstream(path) << multiplying;
  DirectBrowser browser;
  browser.startLoading(std::u16string(path.begin(), path.end()));
  const std::string url = "file://" + path;
  EXPECT_EQ(browser.loadError(), u"the page's markup makes a tree too large to read (" +
                                     std::u16string(url.begin(), url.end()) + u")");
}

// Tens of thousands of unclosed elements take the parser minutes.
TEST(BodyHtml, APageTooSlowToParseIsGivenUpWhenTheTimeIsUp) {
  std::string nested;
  for (int i = 0; i < 40000; ++i) nested += "<div>";
  EXPECT_FALSE(bodyHtmlWithin(nested, "", std::chrono::milliseconds(300)));
  const auto quick =
      bodyHtmlWithin("<p>\x82\xA0", "text/html; charset=shift_jis", std::chrono::seconds(30));
  ASSERT_TRUE(quick);
  EXPECT_EQ(quick->html, u"<p>あ</p>");
  EXPECT_EQ(quick->encoding, textfile::WebEncoding::ShiftJis);
}

}  // namespace
}  // namespace kelvane::acquisition
