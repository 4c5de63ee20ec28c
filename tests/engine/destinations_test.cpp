#include <gtest/gtest.h>

#include "fake_host.h"

namespace kelvane::engine {
namespace {

using testing::Bench;

TEST(Destinations, WriterCommandsAppendOrReplaceExactly) {
  struct Case {
    std::u16string line, d;
  } cases[] = {
      {u"CR\tD", u"old\r\n"},
      {u"PUTTAB\td", u"old\t"},
      {u"PUT\t\"+x\"\tD", u"old+x"},
      {u"REPLACE\t\"new\"\tD", u"new"},
      {u"CLEAR\tD", u""},
      {u"TIME\tD", u"old9:05:07"},
      {u"DATE\tD", u"old2003/06/14"},
      {u"CON\tD\t\"!\"", u"old!"},
      {u"CON\tD\tD", u"oldold"},
      {u"PUT\t\"  lead\"\tD", u"old  lead"},  // blanks kept outside TITLE
  };
  for (const auto& c : cases) {
    Bench b;
    b.engine.d().assign(u"old");
    EXPECT_EQ(b.run({c.line}), RunOutcome::Normal);
    EXPECT_EQ(b.d(), c.d);
    EXPECT_TRUE(b.host.messages.empty());
  }
}

TEST(Destinations, EveryBufferCanBeWritten) {
  Bench b;
  b.run({u"PUT\t\"1\"\tv1", u"PUT\t\"2\"\tV2", u"PUT\t\"3\"\tV3", u"PUT\t\"4\"\tV4",
         u"PUT\t\"5\"\tV5", u"PUT\t\"h\"\tht", u"CON\tD\tV5"});
  EXPECT_EQ(b.ht(), u"h");
  EXPECT_EQ(b.d(), u"5");
  // V1..V4 survive the run; they are cleared at the start of the next.
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(b.v(n), std::u16string(1, u'0' + n));
}

TEST(Destinations, TheCallersFieldIsUpperCasedInPlace) {
  Bench b;
  b.run({u"PUT\t\"x\"\td"});
  EXPECT_EQ(b.engine.param(2), u"D");
  b.run({u"PUT\t\"x\"\t\"v1\""});
  EXPECT_EQ(b.engine.param(2), u"\"v1\"");  // a quoted token is left as written
}

TEST(Destinations, BadTokensShowTheMessageAndWriteNothing) {
  struct Case {
    std::u16string line, message;
  } cases[] = {
      {u"CR\t", u"Destination指定の誤り:"},
      {u"PUT\t\"x\"\t\"v1\"", u"Destination指定の誤り:\"v1\""},
      {u"PUT\t\"x\"\td ", u"Destination指定の誤り:D "},
      {u"CON\t\"lit\"\t\"x\"", u"Destination指定の誤り:\"lit\""},
      {u"PUT\t\"x\"\tV6", u"Destination指定の誤り:V6"},
  };
  for (const auto& c : cases) {
    Bench b;
    b.engine.d().assign(u"kept");
    EXPECT_EQ(b.run({c.line, u"PUT\t\"y\"\tD"}), RunOutcome::Stopped);
    ASSERT_EQ(b.host.messages.size(), 1u);
    EXPECT_EQ(b.host.messages[0], c.message);
    EXPECT_EQ(b.d(), u"kept");
  }
}

TEST(Destinations, TitleIsAlwaysReplacedWithLeadingBlanksRemoved) {
  Bench b;
  b.run({u"PUT\t\"first\"\tTITLE", u"PUT\t\"  second  \"\tTitle"});
  ASSERT_EQ(b.host.titles.size(), 2u);
  EXPECT_EQ(b.host.titles[1], u"second  ");
  EXPECT_EQ(b.engine.title().view(), u"second  ");
  b.run({u"CLEAR\tTITLE"});
  EXPECT_EQ(b.host.titles.back(), u"");
}

TEST(Destinations, ConWithTheSameVariableTwiceDoublesIt) {
  Bench b;
  b.run({u"PUT\t\"ab\"\tV1", u"CON\tV1\tV1", u"CON\tV1\tv1", u"PUT\tV1\tD"});
  EXPECT_EQ(b.d(), u"abababab");
}

TEST(Destinations, ABufferThatWouldOutgrowTheLimitStopsTheRun) {
  Bench b;
  b.engine.setMaxBufferLength(64);
  const RunOutcome outcome = b.run({u"PUT\t\"0123456789\"\tV1", u"LOOP\t\"10\"", u"CON\tV1\tV1",
                                    u"LOOPEND", u"PUT\t\"not reached\"\tD"});
  EXPECT_EQ(outcome, RunOutcome::Stopped);
  EXPECT_EQ(b.v(1).size(), 40u);
  ASSERT_EQ(b.host.messages.size(), 1u);
  EXPECT_EQ(b.d(), u"");
}

}  // namespace
}  // namespace kelvane::engine
