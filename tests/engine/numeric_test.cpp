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
      {u"5E+0000001", 50},
      {u"1.5D0000000000000000000001", 15},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(scriptCount(c.text), c.count) << "for text of length " << c.text.size();
  }
}

}  // namespace
}  // namespace kelvane::engine
