#include <gtest/gtest.h>

#include "fake_host.h"

namespace kelvane::engine {
namespace {

using testing::Bench;

TEST(GetSource, TimeAndDateComeFromTheHost) {
  Bench b;
  b.run({u"REPLACE\tTIME\tV1", u"REPLACE\tdate\tV2"});
  EXPECT_EQ(b.v(1), u"9:05:07");
  EXPECT_EQ(b.v(2), u"2003/06/14");
  EXPECT_TRUE(b.host.messages.empty());
}

TEST(GetSource, AFailingOperandStillCompletesTheCommandWithEmptyText) {
  Bench b;
  b.engine.d().assign(u"old");
  // The marker is bad: GetAfter runs with an empty marker and its result
  // (the whole text) still replaces the destination.
  b.run({u"GETA\t\"a<b\"\tD\tnomarker"});
  EXPECT_EQ(b.d(), u"a<b");
  EXPECT_TRUE(b.engine.stopFlag() == false);  // last line: the run ended normally
}

TEST(GetSource, TimeIsReadAfreshAtEveryUse) {
  Bench b;
  int calls = 0;
  b.host.onProcessEvents = [&] { b.host.time = u"9:05:0" + std::u16string(1, u'8' + calls++); };
  b.run({u"LOOP\t\"2\"", u"PUT\tTIME\tD", u"LOOPEND"});
  EXPECT_EQ(b.d(), u"9:05:079:05:08");
}

}  // namespace
}  // namespace kelvane::engine
