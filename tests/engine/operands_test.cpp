#include <gtest/gtest.h>

#include "fake_host.h"

namespace kelvane::engine {
namespace {

using testing::Bench;

constexpr char16_t kSourceError[] = u"Source指定の誤り:第";
constexpr char16_t kSourceTail[] = u"パラメータの文字列はダブルクオーツで囲んでください．";

std::u16string sourceMessage(std::u16string_view slot, std::u16string_view token) {
  return std::u16string(kSourceError) + std::u16string(slot) + kSourceTail + std::u16string(token);
}

TEST(GetSource, NamesInAnyLetterCaseAndLiterals) {
  struct Case {
    std::u16string param, value;
  } cases[] = {
      {u"HT", u"page"}, {u"hT", u"page"},      {u"Ht", u"page"},         {u"D", u"shown"},
      {u"d", u"shown"}, {u"TIME", u"9:05:07"}, {u"date", u"2003/06/14"}, {u"\"a B\"", u"a B"},
      {u"\"\"", u""},   {u"\"", u""},          {u"\"x\"y\"", u"x\"y"},   {u"\"V1\"", u"V1"},
  };
  for (const auto& c : cases) {
    Bench b;
    b.engine.ht().assign(u"page");
    b.engine.d().assign(u"shown");
    b.run({u"REPLACE\t" + c.param + u"\tV1"});
    EXPECT_EQ(b.v(1), c.value) << "parameter of length " << c.param.size();
    EXPECT_TRUE(b.host.messages.empty());
  }
}

TEST(GetSource, BadParametersShowTheMessageAndStopTheRun) {
  struct Case {
    std::u16string line, message;
  } cases[] = {
      {u"GETA\tV9\tV1\t\"x\"", sourceMessage(u" 1", u"V9")},
      {u"GETA\tHT\tV1\tabc", sourceMessage(u" 3", u"ABC")},
      {u"GETA\tHT\tV1\t\"open", sourceMessage(u" 3", u"\"OPEN")},
      {u"PUT\t\tD", sourceMessage(u" 1", u"")},      // an empty parameter
      {u"PUT\t D\tD", sourceMessage(u" 1", u" D")},  // blanks are not trimmed
  };
  for (const auto& c : cases) {
    Bench b;
    EXPECT_EQ(b.run({c.line, u"PUT\t\"not reached\"\tV2"}), RunOutcome::Stopped);
    ASSERT_EQ(b.host.messages.size(), 1u);
    EXPECT_EQ(b.host.messages[0], c.message);
    EXPECT_EQ(b.v(2), u"");
  }
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

TEST(GetSource, VariablesAreEmptyAtTheStartOfEveryRun) {
  Bench b;
  b.run({u"PUT\t\"left over\"\tV3"});
  EXPECT_EQ(b.v(3), u"left over");
  b.run({u"PUT\tV3\tD"});
  EXPECT_EQ(b.d(), u"");
}

}  // namespace
}  // namespace kelvane::engine
