#include "numbers/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace kelvane::numbers {
namespace {

TEST(Decimal, ScansTheLongestNumberAtTheStart) {
  struct Case {
    std::u16string text;
    double value;
    size_t length;
  } cases[] = {
      {u"5", 5, 1},
      {u"-3.25x", -3.25, 5},
      {u"+7", 7, 2},
      {u".5", 0.5, 2},
      {u"5.", 5, 2},
      {u"1e2", 100, 3},
      {u"1E+2", 100, 4},
      {u"2D1", 20, 3},
      {u"2d-1", 0.2, 4},
      {u"1e", 1, 1},  // a marker without digits is not part of the number
      {u"1e+", 1, 1},
      {u"5E+0000001", 50, 10},  // leading exponent zeros count for nothing
      {u"5E+00000000000000000000000000000001", 50, 35},
      {u"1e-0000000400", 0, 13},
      {u"1e999", HUGE_VAL, 5},
      {u"-1e999999999999999999999", -HUGE_VAL, 24},
      {u"0.000000001e-999", 0, 16},
      {u"100000000000000000000e-20", 1, 25},
      {u"12345678901234567890123456789", 1.2345678901234568e28, 29},
      {u"", 0, 0},
      {u".", 0, 0},
      {u"-", 0, 0},
      {u"e5", 0, 0},
      {u"--1", 0, 0},
      {u" 1", 0, 0},
      {u"\"5\"", 0, 0},
      {u"１", 0, 0},  // full-width digits only in typed boxes
  };
  for (const auto& c : cases) {
    const Scanned got = scanDecimal(c.text);
    EXPECT_EQ(got.value, c.value) << got.length << " units of " << c.text.size();
    EXPECT_EQ(got.length, c.length) << c.value;
  }
}

TEST(Decimal, RadixPrefixReadsHexadecimalAndOctalIntegers) {
  struct Case {
    std::u16string text;
    double value;
    size_t length;
  } cases[] = {
      {u"&H10", 16, 4}, {u"&hfF", 255, 4}, {u"&O17", 15, 4},
      {u"&o18", 1, 3},  {u"&H", 0, 0},     {u"&Hg", 0, 0},
      {u"&X1", 0, 0},   {u"10", 0, 0},     {u"&H80000005", 2147483653.0, 10},
  };
  for (const auto& c : cases) {
    const Scanned got = scanRadix(c.text);
    EXPECT_EQ(got.value, c.value) << c.length;
    EXPECT_EQ(got.length, c.length) << c.value;
  }
}

TEST(Decimal, PrefixWholeAndTypedReadingsOfOneGrammar) {
  struct Case {
    std::u16string text;
    double prefix;
    std::optional<double> whole, typed;
  } cases[] = {
      {u"  10 ", 10, 10, 10}, {u"10 min", 10, {}, {}}, {u"\t-0.5\t", -0.5, -0.5, -0.5},
      {u"1 0", 1, {}, {}},    {u"", 0, {}, {}},        {u"x5", 0, {}, {}},
      {u"1e", 1, {}, {}},     {u"&H10", 0, {}, {}},    {u"1e999", HUGE_VAL, {}, {}},
      {u"2D1", 20, 20, 20},   {u"１．５", 0, {}, 1.5}, {u"　－２Ｅ１　", 0, {}, -20},
      {u"−3", 0, {}, -3},     {u"８秒", 0, {}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(numericPrefix(c.text), c.prefix) << c.text.size() << " units";
    EXPECT_EQ(wholeNumber(c.text), c.whole) << c.prefix;
    EXPECT_EQ(typedNumber(c.text), c.typed) << c.prefix;
  }
}

TEST(Decimal, NearestInt16RoundsHalvesToEvenAndClamps) {
  const std::pair<double, int16_t> cases[] = {
      {2.5, 2},           {3.5, 4},       {-2.5, -2},       {0.5, 0},          {32767.5, 32767},
      {-32768.4, -32768}, {40000, 32767}, {-1e300, -32768}, {HUGE_VAL, 32767}, {std::nan(""), 0},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(nearestInt16(value), expected) << value;
}

}  // namespace
}  // namespace kelvane::numbers
