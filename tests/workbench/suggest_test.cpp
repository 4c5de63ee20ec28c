// The picker: on each page the proposed lines, run through the engine, leave
// exactly the piece; their markers never hold the piece, and the lines keep
// cutting when the piece's value changes.
#include "workbench/suggest.h"

#include <gtest/gtest.h>

#include "../engine/fake_host.h"
#include "textfile/text_codec.h"

namespace kelvane::workbench {
namespace {

std::u16string runOn(std::u16string_view page, const std::vector<Text>& lines) {
  engine::testing::FakeHost host;
  engine::Engine engine(host);
  engine.ht().assign(page);
  Text script;
  for (const Text& l : lines) script += l + u"\r\n";
  engine.runScriptText(script);
  return host.messages.empty() ? Text(engine.d().view()) : u"(message) " + host.messages[0];
}

// No surrogate without its partner: the line can be saved and printed.
bool wellFormed(std::u16string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const bool high = s[i] >= 0xD800 && s[i] <= 0xDBFF;
    const bool low = s[i] >= 0xDC00 && s[i] <= 0xDFFF;
    if (low) return false;
    if (high && (i + 1 == s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF)) return false;
    if (high) ++i;
  }
  return true;
}

std::string joined(const std::vector<Text>& lines) {
  std::string s;
  for (const Text& l : lines) s += textfile::toUtf8(l) + "\n";
  return s;
}

TEST(Picker, ProposedLinesCutThePieceAndKeepCuttingWhenItChanges) {
  const struct {
    std::u16string page, piece;
    int occurrence;
    std::u16string firstLine;  // the proposal's first line, when it matters
  } cases[] = {
      {u"<p>Price: <b>198</b> yen</p>", u"198", 1, u"GETC\tHT\tD\t\"<b>\"\t\"</b>\""},
      // The marker search ignores case: "<b>" is found first in "<B>".
      {u"<B>x</B><b>198</b>", u"198", 1, u""},
      {u"<li>a1</li><li>b2</li><li>c3</li>", u"c3", 1, u""},
      // Line breaks around the piece cannot be in a marker: they are cut off.
      {u"<td>\n  42\n</td>", u"42", 1, u""},
      // Preformatted text: the prefix repeats on every line.
      {u"<pre>\n==1== Valgrind\n==1== Copyright (C)\n</pre>", u"Copyright", 1, u""},
      // Items with the same text: the seventh is reached by counting.
      {u"<ul><li>vv</li><li>vv</li><li>vv</li><li>vv</li><li>vv</li><li>vv</li><li>vv</li></ul>",
       u"vv", 7, u"REPLACE\tHT\tV1"},
      // The piece at the very start and at the very end of the page.
      {u"198 yen", u"198", 1, u"GETB\tHT\tD\t\" \""},
      {u"<b>x</b>198", u"198", 1, u"GETA\tHT\tD\t\"</b>\""},
      // A quote in a marker is kept; surrogate pairs are never split.
      {u"<i class=\"a\">\U0001F600</i><i class=\"b\">\U0001F601x\U0001F602</i>", u"x", 1, u""},
      {u"<td>1</td><td>2</td><td>\u4FA1\u683C</td><td>300</td><td>5</td>", u"300", 1, u""},
  };
  for (const auto& c : cases) {
    const size_t at = findOccurrence(c.page, c.piece, c.occurrence);
    ASSERT_NE(at, Text::npos);
    const auto proposals = suggest(c.page, at, c.piece.size());
    ASSERT_FALSE(proposals.empty()) << textfile::toUtf8(c.page);
    const auto& lines = proposals[0].lines;
    const std::string shown = textfile::toUtf8(c.page) + "\n" + joined(lines);
    EXPECT_EQ(proposals[0].kind, Proposal::Kind::Piece);
    EXPECT_LE(lines.size(), 8u) << shown;
    if (!c.firstLine.empty()) {
      EXPECT_EQ(lines[0], c.firstLine) << shown;
    }
    EXPECT_EQ(runOn(c.page, lines), c.piece) << shown;
    for (const Text& l : lines) {
      EXPECT_EQ(l.find(c.piece), Text::npos) << shown;
      EXPECT_TRUE(wellFormed(l)) << shown;
    }
    Text changed = c.page;
    changed.replace(at, c.piece.size(), u"Zq9x" + c.piece);
    EXPECT_EQ(runOn(changed, lines), u"Zq9x" + c.piece) << shown;
  }
}

TEST(Picker, AnItemOfAListAlsoGetsTheLoopThatCollectsEveryItem) {
  const Text page = u"<ul><LI>a1</LI><li>b2</li><li>c3</li></ul><p>x</p>";
  const auto proposals = suggest(page, page.find(u"b2"), 2);
  ASSERT_EQ(proposals.size(), 2u);
  EXPECT_EQ(proposals[1].kind, Proposal::Kind::EveryItem);
  EXPECT_EQ(runOn(page, proposals[1].lines), u"a1\r\nb2\r\nc3\r\n") << joined(proposals[1].lines);
  // Into the editor's script: through the work buffer, appended to D.
  const auto appended = suggest(page, page.find(u"c3"), 2, {u"V3", u"D", true});
  ASSERT_FALSE(appended.empty());
  EXPECT_EQ(appended[0].lines.back(), u"PUT\tV3\tD");
  EXPECT_EQ(runOn(page, appended[0].lines), u"c3");
}

TEST(Picker, OccurrencesAreCountedExactly) {
  EXPECT_EQ(findOccurrence(u"aXaxa", u"xa", 1), 3u);
  EXPECT_EQ(findOccurrence(u"aaaa", u"aa", 3), 2u);
  EXPECT_EQ(findOccurrence(u"aaaa", u"aa", 4), Text::npos);
  EXPECT_EQ(findOccurrence(u"abc", u"", 1), Text::npos);
}

}  // namespace
}  // namespace kelvane::workbench
