#include <gtest/gtest.h>

#include "fake_host.h"

namespace kelvane::engine {
namespace {

using testing::Bench;

constexpr char16_t kPage[] = u"<ul><li>One</li><LI>Two</LI></ul>";

// Every extraction command over the same operands: the -U twins must agree.
TEST(Interpreter, ExtractionCommandsAndTheirUpperCaseTwins) {
  struct Case {
    std::u16string word, piece;
  } cases[] = {
      {u"GETA", u"One</li><LI>Two</LI></ul>"},
      {u"GETAI", u"<li>One</li><LI>Two</LI></ul>"},
      {u"GETB", u"<ul>"},
      {u"GETBI", u"<ul><li>"},
  };
  for (const auto& c : cases) {
    for (const std::u16string suffix : {u"", u"-U"}) {
      Bench b;
      b.engine.ht().assign(kPage);
      b.run({c.word + suffix + u"\tHT\tV1\t\"<LI>\"", u"PUT\tV1\tD"});
      EXPECT_EQ(b.d(), c.piece);
      EXPECT_EQ(b.ht(), kPage);  // GET commands leave HT alone
      // The GH twin writes its piece into HT as well.
      Bench h;
      h.engine.ht().assign(kPage);
      std::u16string gh = u"GH" + c.word.substr(3) + suffix;
      h.run({gh + u"\tHT\tV1\t\"<li>\"", u"PUT\tV1\tD"});
      EXPECT_EQ(h.d(), c.piece) << "GH twin";
      EXPECT_EQ(h.ht(), c.piece);
    }
  }
}

TEST(Interpreter, GetBetweenReadsFourParameters) {
  for (const std::u16string word : {u"GETC", u"getc-u"}) {
    Bench b;
    b.engine.ht().assign(kPage);
    b.run({word + u"\tHT\tD\t\"<li>\"\t\"</LI>\""});
    EXPECT_EQ(b.d(), u"One");
  }
}

TEST(Interpreter, GhVariantWritesHtEvenWhenTheTextCameFromAVariable) {
  Bench b;
  b.engine.ht().assign(u"page");
  b.run({u"PUT\t\"abc\"\tV1", u"GHA\tV1\tV2\t\"z\""});
  EXPECT_EQ(b.ht(), u"abc");
  EXPECT_EQ(b.v(2), u"abc");
}

TEST(Interpreter, GhcLoopWalksThroughHt) {
  Bench b;
  b.engine.ht().assign(u"<a>1</a><a>2</a>");
  b.run({u"LOOP\t\"3\"", u"GHC\tD\t\"<a>\"\t\"</a>\"", u"CR\tD", u"LOOPEND"});
  // The third pass finds nothing and appends the (now empty) rest of HT.
  EXPECT_EQ(b.d(), u"1\r\n2\r\n\r\n");
  EXPECT_EQ(b.ht(), u"");
}

TEST(Interpreter, GhcPastTheLastItemAppendsTheRestOnEveryExtraPass) {
  for (const std::u16string word : {u"GHC", u"GHC-U"}) {
    Bench b;
    b.engine.ht().assign(u"<a>1</a>tail");
    b.run({u"LOOP\t\"3\"", word + u"\tD\t\"<A>\"\t\"</a>\"", u"LOOPEND"});
    EXPECT_EQ(b.d(), u"1tailtail");
    EXPECT_EQ(b.ht(), u"tail");
  }
}

TEST(Interpreter, GhcIntoHtAppendsThePieceAfterTheRemainder) {
  Bench b;
  b.engine.ht().assign(u"<a>1</a>rest");
  b.run({u"GHC\tHT\t\"<a>\"\t\"</a>\""});
  EXPECT_EQ(b.ht(), u"rest1");
  Bench h;
  h.engine.ht().assign(u"ab<x>cd");
  h.run({u"GHA\tHT\tHT\t\"<\""});
  EXPECT_EQ(h.ht(), u"x>cd");
}

TEST(Interpreter, CountCommandsReadTheRawSlot) {
  struct Case {
    std::u16string line, v2;
  } cases[] = {
      {u"GETN\tV1\tV2\t5", u"abcde"},
      {u"GETN\tV1\tV2\t\"5\"", u""},  // digits in quotes read as 0
      {u"CUTAN\tV2\t2", u"abcdefg"},
      {u"CUTBN\tV2\t2.5", u"cdefghi"},
  };
  for (const auto& c : cases) {
    Bench b;
    b.run({u"PUT\t\"abcdefghi\"\tV1", u"PUT\tV1\tV2", c.line});
    EXPECT_EQ(b.v(2), c.v2);
  }
}

TEST(Interpreter, DeleteAndTagStripRewriteTheirOwnBuffer) {
  Bench b;
  b.run({u"PUT\t\"<b>a-b</b>\"\tV1", u"TAGDEL\tV1", u"DEL\tV1\t\"-\"", u"DEL-U\tv1\t\"</B>\"",
         u"PUT\tV1\tD"});
  EXPECT_EQ(b.d(), u"ab");
}

TEST(Interpreter, CommandWordsIgnoreLetterCaseButNothingElse) {
  Bench b;
  b.engine.ht().assign(u"x=1");
  b.run({u"geta\tHT\tV1\t\"=\"", u"Put\tV1\tD"});
  EXPECT_EQ(b.d(), u"1");
  EXPECT_TRUE(b.host.messages.empty());
}

TEST(Interpreter, UnrecognisedWordsShowTheLineAndTheWordAsWritten) {
  struct Case {
    std::u16string word, message;
    int index;
  } cases[] = {
      {u"GETX", u"コマンド記述エラー:line= 2  Cmnd=GETX", 2},
      {u"GETA ", u"コマンド記述エラー:line= 2  Cmnd=GETA ", 2},
      {u"rem lower", u"コマンド記述エラー:line= 2  Cmnd=rem lower", 2},
  };
  for (const auto& c : cases) {
    Bench b;
    EXPECT_EQ(b.run({u"", u"REM", c.word + u"\tx", u"PUT\t\"no\"\tD"}), RunOutcome::Stopped);
    ASSERT_EQ(b.host.messages.size(), 1u);
    EXPECT_EQ(b.host.messages[0], c.message);
    EXPECT_EQ(b.d(), u"");
  }
  Bench eleventh;
  eleventh.run({u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"Oops"});
  ASSERT_EQ(eleventh.host.messages.size(), 1u);
  EXPECT_EQ(eleventh.host.messages[0], u"コマンド記述エラー:line= 10  Cmnd=Oops");
}

TEST(Interpreter, CommentsAndEmptyLinesDoNothing) {
  Bench b;
  const RunOutcome outcome = b.run({u"", u"REM", u"rem", u"Rem", u"'", u"REM a comment", u"'note",
                                    u"rem\tlower with tab", u"'\tquoted"});
  EXPECT_EQ(outcome, RunOutcome::Normal);
  EXPECT_TRUE(b.host.messages.empty());
}

TEST(Interpreter, SlotsKeepWhatEarlierLinesPutThere) {
  Bench b;
  b.engine.ht().assign(u"page");
  // The comment fills slot 2 with D; the PUT line only reaches slot 1.
  b.run({u"REM\tignored\tD", u"PUT\tHT"});
  EXPECT_EQ(b.d(), u"page");
  EXPECT_EQ(b.engine.param(1), u"HT");
}

TEST(Interpreter, FieldsAfterTheFifthAreIgnored) {
  Bench b;
  b.run({u"PUT\t\"a\"\tD\t3\t4\t5\t6\t7"});
  EXPECT_EQ(b.d(), u"a");
  EXPECT_EQ(b.engine.param(5), u"5");
  EXPECT_TRUE(b.host.messages.empty());
}

TEST(Interpreter, UrlSetsTheAddressAndHandsItToTheHost) {
  Bench b;
  b.engine.ht().assign(u"http://example.test/");
  b.host.onOpenUrl = [&](std::u16string_view) { b.engine.ht().assign(u"loaded"); };
  b.run({u"URL\tHT", u"PUT\tHT\tD"});
  ASSERT_EQ(b.host.urls.size(), 1u);
  EXPECT_EQ(b.host.urls[0], u"http://example.test/");
  EXPECT_EQ(b.d(), u"loaded");
}

TEST(Interpreter, AFailedLoadStopsTheRunBeforeItsNextLine) {
  Bench b;
  b.host.onOpenUrl = [&](std::u16string_view) { b.engine.stop(); };
  EXPECT_EQ(b.run({u"URL\t\"x\"", u"PUT\t\"no\"\tD"}), RunOutcome::Stopped);
  EXPECT_EQ(b.d(), u"");
  EXPECT_TRUE(b.host.messages.empty());
}

}  // namespace
}  // namespace kelvane::engine
