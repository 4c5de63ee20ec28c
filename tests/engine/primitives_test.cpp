#include "engine/primitives.h"

#include <gtest/gtest.h>

namespace kelvane::engine {
namespace {

using Fn = TextView (*)(TextView, TextView);

struct TwoArgCase {
  const char* name;
  Fn primitive;
  std::u16string text, marker, piece;
};

TEST(ExtractionFamiliesAB, EdgeTable) {
  const TwoArgCase cases[] = {
      {"GetAfter", GetAfter, u"ab<x>cd", u"<", u"x>cd"},
      {"GetAfterIncl", GetAfterIncl, u"ab<x>cd", u"<", u"<x>cd"},
      {"GetBefore", GetBefore, u"ab<x>cd", u">", u"ab<x"},
      {"GetBeforeIncl", GetBeforeIncl, u"ab<x>cd", u">", u"ab<x>"},
      {"GetBefore", GetBefore, u"key=value", u"=", u"key"},
      {"GetBeforeIncl", GetBeforeIncl, u"key=value", u"=", u"key="},
      {"GetAfter", GetAfter, u"a<br>b<BR>c", u"<BR>", u"b<BR>c"},
      {"GetAfter", GetAfter, u"Key: Value", u"KEY: ", u"Value"},
      {"GetAfter", GetAfter, u"abc", u"z", u"abc"},
      {"GetAfterIncl", GetAfterIncl, u"abc", u"z", u"abc"},
      {"GetBefore", GetBefore, u"abc", u"z", u"abc"},
      {"GetBeforeIncl", GetBeforeIncl, u"abc", u"z", u"abc"},
      {"GetAfter", GetAfter, u"ab<x>cd", u"", u"ab<x>cd"},
      {"GetAfterIncl", GetAfterIncl, u"ab<x>cd", u"", u"ab<x>cd"},
      {"GetBefore", GetBefore, u"ab<x>cd", u"", u""},
      {"GetBeforeIncl", GetBeforeIncl, u"ab<x>cd", u"", u""},
      {"GetAfter", GetAfter, u"", u"a", u""},
      {"GetBeforeIncl", GetBeforeIncl, u"", u"", u""},
      {"GetAfter", GetAfter, u"ab<X>", u"<x>", u""},  // marker at the very end
      {"GetBeforeIncl", GetBeforeIncl, u"<Td>1", u"<TD>", u"<Td>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.primitive(c.text, c.marker), c.piece) << c.name;
  }
}

TEST(ExtractionFamilyC, EdgeTable) {
  struct Case {
    std::u16string text, start, end, piece;
  } cases[] = {
      {u"ab<x>cd", u"<", u">", u"x"},
      {u"ab<x>cd", u"<", u"]", u"ab<x>cd"},
      {u"x>y<z", u"<", u">", u"x>y<z"},  // the only end marker lies before the start
      {u"ab<x>cd", u"", u">", u"ab<x"},
      {u"ab<x>cd", u"<", u"", u""},
      {u"", u"", u"", u""},
      {u"abc<", u"<", u">", u"abc<"},  // nothing after the start marker
      {u"<TD>1</td><td>2</td>", u"<td>", u"</TD>", u"1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetBetween(c.text, c.start, c.end), c.piece);
  }
}

TEST(TakeBetween, ReportsHowMuchOfTheTextTheWalkConsumed) {
  const TakenPiece a = TakeBetween(u"xx<a>1</a><a>2</a>", u"<a>", u"</a>");
  EXPECT_TRUE(a.found);
  EXPECT_EQ(a.piece, u"1");
  EXPECT_EQ(a.consumed, 10u);
  const TakenPiece missing = TakeBetween(u"<a>1", u"<a>", u"</a>");
  EXPECT_FALSE(missing.found);
  EXPECT_EQ(missing.piece, u"<a>1");
  EXPECT_EQ(missing.consumed, 0u);
}

TEST(Cutting, CountEdgeTable) {
  using CountFn = TextView (*)(TextView, int16_t);
  struct Case {
    const char* name;
    CountFn primitive;
    int16_t n;
    std::u16string result;
  } cases[] = {
      {"GetLeftN", GetLeftN, 2, u"ab"},      {"GetLeftN", GetLeftN, 0, u""},
      {"GetLeftN", GetLeftN, 9, u"abcdef"},  {"GetLeftN", GetLeftN, -1, u""},
      {"CutTailN", CutTailN, 2, u"abcd"},    {"CutTailN", CutTailN, 0, u"abcdef"},
      {"CutTailN", CutTailN, 6, u""},        {"CutTailN", CutTailN, 7, u""},
      {"CutTailN", CutTailN, -2, u"abcdef"}, {"CutTailN", CutTailN, -32768, u"abcdef"},
      {"CutHeadN", CutHeadN, 2, u"cdef"},    {"CutHeadN", CutHeadN, 0, u"abcdef"},
      {"CutHeadN", CutHeadN, 9, u""},        {"CutHeadN", CutHeadN, -1, u""},
      {"CutHeadN", CutHeadN, 6, u""},        {"CutHeadN", CutHeadN, 32767, u""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.primitive(u"abcdef", c.n), c.result) << c.name << c.n;
}

TEST(Cutting, DroppingTheFirst32767CharactersWorksLikeAnyOtherCount) {
  const std::u16string text = std::u16string(32767, u'x') + u"tail";
  EXPECT_EQ(CutHeadN(text, 32767), u"tail");
  EXPECT_EQ(GetLeftN(text, 32767).size(), 32767u);
}

TEST(DeleteFirst, EdgeTable) {
  struct Case {
    std::u16string text, marker, result;
  } cases[] = {
      {u"a-b-c", u"-", u"ab-c"}, {u"aXbxc", u"x", u"abxc"}, {u"abc", u"z", u"abc"},
      {u"abc", u"", u"abc"},     {u"", u"a", u""},          {u"<B>x</b>", u"<b>", u"x</b>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DeleteFirst(c.text, c.marker), c.result);
  }
}

TEST(StripFirstTag, EdgeTable) {
  struct Case {
    std::u16string text, result;
  } cases[] = {
      {u"ab<x>cd", u"abcd"},
      {u"ab<xyz>cd", u"abcd"},
      {u"<b>bold</b>", u"bold</b>"},
      {u"<a><b>c", u"<b>c"},
      {u"text<br>", u"text"},
      {u"<br>", u"<br>"},
      {u"a<b", u"a<b"},
      {u"<b", u"<b"},
      {u"a>b", u"a>b"},
      {u"", u""},
      // A ">" before the first "<" belongs to no tag: the tag after it goes,
      // and no text is doubled.
      {u"x>ab<c", u"x>ab<c"},
      {u"x>ab<c>d", u"x>abd"},
      {u"x>a<b>", u"x>a"},
  };
  for (const auto& c : cases) EXPECT_EQ(StripFirstTag(c.text), c.result) << "case";
}

}  // namespace
}  // namespace kelvane::engine
