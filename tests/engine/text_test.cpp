#include "engine/text.h"

#include <gtest/gtest.h>

#include <random>

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

// Markers that keep almost matching make the search leave its candidate
// checks for the two-way search part-way through the text; every answer must
// still be the first occurrence, as a plain search finds it.
TEST(FindMarker, AgreesWithAPlainSearchOnRepetitiveTexts) {
  const auto plain = [](std::u16string_view text, std::u16string_view marker) -> size_t {
    if (text.empty()) return 0;
    for (size_t i = 0; i + marker.size() <= text.size(); ++i) {
      if (upperCopy(text.substr(i, marker.size())) == upperCopy(marker)) return i + 1;
    }
    return 0;
  };
  std::mt19937 random(17);
  const std::u16string alphabets[] = {u"aA", u"abAB", u"abı", u"aaab", u"</lLiıSsſ商"};
  for (const auto& alphabet : alphabets) {
    for (int round = 0; round < 300; ++round) {
      const auto pick = [&] { return alphabet[random() % alphabet.size()]; };
      std::u16string text(500 + random() % 1500, u'a');
      for (auto& c : text) c = random() % 8 ? alphabet[0] : pick();
      std::u16string marker;
      if (round % 2) {
        // A piece of the text, altered at one place or not at all.
        const size_t at = random() % text.size();
        marker = text.substr(at, 1 + random() % 120);
        if (round % 4 == 1) marker[random() % marker.size()] = pick();
      } else {
        marker.assign(1 + random() % 200, alphabet[0]);
        marker[random() % marker.size()] = pick();
      }
      ASSERT_EQ(findMarker(text, marker), plain(text, marker))
          << "alphabet " << (&alphabet - alphabets) << ", round " << round;
    }
  }
}

// The units that can start a marker beginning with an ASCII letter are known
// without the whole inverse mapping: the lower-case letter, and 'ı' and 'ſ'.
// Nor is any table needed for the units said to have no case.
TEST(UpperCase, OnlyDotlessIAndLongSMapIntoAsciiFromBeyondIt) {
  for (uint32_t c = 0x80; c < 0x10000; ++c) {
    const char16_t upper = upperUnit(static_cast<char16_t>(c));
    if (upper < 0x80) {
      EXPECT_TRUE(c == 0x131 || c == 0x17F) << std::hex << c;
    }
    if (caseless(static_cast<char16_t>(c)) || caseless(upper)) {
      EXPECT_EQ(upper, c) << std::hex << c;
    }
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
