#include "engine/text.h"

#include <gtest/gtest.h>

namespace kelvane::engine {
namespace {

TEST(FindMarker, FirstOccurrenceWithLetterCaseIgnored) {
  struct Case {
    std::u16string text, marker;
    size_t position;
  } cases[] = {
      {u"ab<x>cd", u"<", 3},
      {u"a<br>b<BR>c", u"<BR>", 2},
      {u"a<Br>", u"<bR>", 2},
      {u"abc", u"z", 0},
      {u"abc", u"", 1},  // an empty marker is found at the start
      {u"", u"", 0},     // nothing is found in an empty text
      {u"", u"a", 0},
      {u"ab", u"abc", 0},
      {u"aaab", u"aab", 2},           // a partial match does not hide the real one
      {u"ÄÖü", u"äöÜ", 1},            // letters beyond ASCII
      {u"straße", u"SS", 0},          // one unit maps to one unit: ß stays ß
      {u"ｈｔｍｌ", u"ＨＴＭＬ", 1},  // full-width letters have case too
      {u"html", u"ＨＴＭＬ", 0},      // but full-width and half-width differ
      {u"価格：￥198", u"￥", 4},
      {u"ſ", u"S", 1},                     // long s upper-cases to S
      {u"x\xD83D\xDE00y", u"\xDE00y", 3},  // surrogates compare as units
  };
  for (const auto& c : cases) {
    EXPECT_EQ(findMarker(c.text, c.marker), c.position)
        << "marker at " << c.position << " expected";
  }
}

TEST(FindMarker, FindsMarkersAcrossTheVectorScanBoundaries) {
  for (size_t at = 0; at < 40; ++at) {
    std::u16string text(48, u'.');
    text.replace(at, 3, u"<LI");
    EXPECT_EQ(findMarker(text, u"<li"), at + 1);
  }
}

TEST(UpperCase, KeepsLengthAndMapsLettersOnly) {
  EXPECT_EQ(upperCopy(u"geta-u ht v1 ä ａ"), u"GETA-U HT V1 Ä Ａ");
  const std::u16string odd = u"ß\xD800ı";
  EXPECT_EQ(upperCopy(odd).size(), odd.size());
  EXPECT_EQ(upperCopy(u"ı"), u"I");
}

TEST(NumberText, NonNegativeNumbersGetOneLeadingSpace) {
  EXPECT_EQ(numberText(0), u" 0");
  EXPECT_EQ(numberText(10), u" 10");
  EXPECT_EQ(numberText(-3), u"-3");
}

}  // namespace
}  // namespace kelvane::engine
