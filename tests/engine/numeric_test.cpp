#include "engine/numeric.h"

#include <gtest/gtest.h>

namespace kelvane::engine {
namespace {

TEST(ScriptCount, ReadsTheLeadingNumberAndRoundsHalvesToEven) {
  struct Case {
    std::u16string text;
    int16_t count;
  } cases[] = {
      {u"5", 5},
      {u"\"5\"", 0},
      {u"", 0},
      {u"abc", 0},
      {u" 1 2 ", 12},
      {u"\t3\n", 3},
      {u"-2", -2},
      {u"+7x", 7},
      {u"2.5", 2},
      {u"3.5", 4},
      {u"-2.5", -2},
      {u"0.5", 0},
      {u"1.5", 2},
      {u"1e2", 100},
      {u"1E+2", 100},
      {u"2D1", 20},
      {u"1e", 1},
      {u"&H10", 16},
      {u"&hff", 255},
      {u"&O17", 15},
      {u"&H", 0},
      {u".5", 0},
      {u"5.", 5},
      {u"12abc", 12},
      {u"40000", 32767},
      {u"-40000", -32768},
      {u"1e999", 32767},
      {u"32767.5", 32767},
      {u"-32768.4", -32768},
      {u"--1", 0},
      {u"1 e 3", 1000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(scriptCount(c.text), c.count) << "for text of length " << c.text.size();
  }
}

TEST(NumericPrefix, SkipsLeadingBlanksOnlyAndStopsAtTheFirstOtherCharacter) {
  struct Case {
    std::u16string text;
    double value;
  } cases[] = {
      {u"  10 ", 10},    {u"10 min", 10},   {u"1 0", 1},  {u"", 0},      {u"x5", 0},
      {u"-3.25", -3.25}, {u" 1E+07 ", 1e7}, {u"&H10", 0}, {u"0.5", 0.5},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(parseNumericPrefix(c.text), c.value);
}

}  // namespace
}  // namespace kelvane::engine
