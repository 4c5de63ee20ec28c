#include <gtest/gtest.h>

#include "fake_host.h"

namespace kelvane::engine {
namespace {

using testing::Bench;

TEST(Destinations, TimeAndDateAppendTheHostsClockText) {
  Bench b;
  b.engine.d().assign(u"old");
  EXPECT_EQ(b.run({u"TIME\tD", u"DATE\tD"}), RunOutcome::Normal);
  EXPECT_EQ(b.d(), u"old9:05:072003/06/14");
}

TEST(Destinations, TheCallersFieldIsUpperCasedInPlace) {
  Bench b;
  b.run({u"PUT\t\"x\"\td"});
  EXPECT_EQ(b.engine.param(2), u"D");
  b.run({u"PUT\t\"x\"\t\"v1\""});
  EXPECT_EQ(b.engine.param(2), u"\"v1\"");  // a quoted token is left as written
}

// What the caption becomes is a script case; here, that the window is told
// at every change, also when it is cleared.
TEST(Destinations, EveryTitleChangeReachesTheHost) {
  Bench b;
  b.run({u"PUT\t\"first\"\tTITLE", u"PUT\t\"  second  \"\tTitle", u"CLEAR\tTITLE"});
  EXPECT_EQ(b.host.titles, (std::vector<std::u16string>{u"first", u"second  ", u""}));
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
