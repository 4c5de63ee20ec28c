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

namespace kelvane::engine {
namespace {

// The fast lookup finds what the plain loop over the table finds, for every
// word of the table in any letter case and for near misses.
TEST(CommandLookup, FastLookupAgreesWithThePlainLoop) {
  std::vector<std::u16string> words = {u"GETA-",    u"GET",    u"LOOPENDX",   u"REMARK",
                                       u"''",       u" GETA",  u"GETA\u00A0", u"ＧＥＴＡ",
                                       u"getc-u-u", u"\u0131", u"t\u0131me"};
  for (const Engine::Command& command : Engine::commandTable()) {
    std::u16string w(command.word);
    words.push_back(w);
    for (char16_t& c : w) c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    words.push_back(w);
    words.push_back(w + u"X");
    if (!w.empty()) words.push_back(w.substr(1));
  }
  for (const auto& word : words) {
    EXPECT_EQ(Engine::findCommand(word), Engine::findCommandByLoop(word))
        << std::string(word.begin(), word.end());
  }
  EXPECT_NE(Engine::findCommand(u"ghc-u"), nullptr);
}

}  // namespace
}  // namespace kelvane::engine
