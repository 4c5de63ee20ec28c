#include "textfile/text_codec.h"

#include <gtest/gtest.h>

namespace kelvane::textfile {
namespace {

TEST(Utf8Validation, AcceptsWellFormedAndRejectsEveryMalformedShape) {
  struct Case {
    std::string bytes;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain ascii", true},
      {"\xE3\x81\x82", true},       // あ
      {"\xF0\x9F\x98\x80", true},   // 😀
      {"\xC0\xAF", false},          // overlong '/'
      {"\xE0\x80\xAF", false},      // overlong, three bytes
      {"\xED\xA0\x80", false},      // encoded surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xE3\x81", false},          // truncated at the end
      {"\x82\xA0", false},          // CP932 あ
      {"abcdefgh\x80", false},      // stray continuation after an ASCII run
  };
  // The one-pass decoder refuses the same bytes, wherever a block of markup
  // or Japanese text before them leaves its vector steps.
  for (const auto& c : cases) {
    EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.bytes;
    for (size_t lead = 0; lead < 20; ++lead) {
      for (const std::string filler : {"<", "\xE5\x95\x86"}) {
        std::string prefix;
        for (size_t i = 0; i < lead; ++i) prefix += filler;
        const std::string bytes = prefix + c.bytes + std::string(lead, 'z');
        EXPECT_EQ(tryDecodeUtf8(bytes).has_value(), c.valid) << lead << ' ' << bytes;
      }
    }
  }
}

TEST(DecodeText, ValidUtf8IsUtf8AndItsByteOrderMarkIsDropped) {
  Encoding used{};
  EXPECT_EQ(decodeText("\xEF\xBB\xBFGETA\xE3\x81\x82", &used), u"GETAあ");
  EXPECT_EQ(used, Encoding::Utf8);
  EXPECT_EQ(decodeText("\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(DecodeText, OtherBytesAreCp932WithTheMicrosoftMapping) {
  Encoding used{};
  // あ, wave dash as Windows writes it (U+FF5E), NEC circled one, IBM kanji,
  // full-width backslash, half-width katakana ｱ.
  EXPECT_EQ(decodeText("\x82\xA0\x81\x60\x87\x40\xED\x40\x81\x5F\xB1", &used),
            u"あ\uFF5E①\u7E8A\uFF3Cｱ");
  EXPECT_EQ(used, Encoding::Cp932);
}

TEST(Cp932, BytesMapAsOnWindowsBothWays) {
  struct Case {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      // ICU's own table swaps 1A, 1C and 7F; the files must not.
      {"\x82\xA0\x1A\x1C\x7F", u"あ\x1A\x1C\x7F"},
      // Single bytes that ICU's table lacks and Windows maps.
      {"a\x80\xA0\xFD\xFE\xFFz", u"a\u0080\uF8F0\uF8F1\uF8F2\uF8F3z"},
      {"\x82\xA0\xFF\x82\xA0", u"あ\uF8F3あ"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decodeCp932(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(encodeCp932(c.text), std::optional<std::string>(c.bytes)) << c.bytes;
  }
}

TEST(Utf8Validation, ACutThroughTheLastCharacterIsDroppedAndNothingElse) {
  struct Case {
    std::string head, kept;
  } cases[] = {
      {"ab\xE3\x81", "ab"},                  // あ cut after two of its three bytes
      {"ab\xE3", "ab"},                      // ... after one
      {"ab\xF0\x9F\x98", "ab"},              // 😀 after three of four
      {"ab\xE3\x81\x82", "ab\xE3\x81\x82"},  // whole
      {"ab\xC3\xA9", "ab\xC3\xA9"},
      {"ab\x82\xA0", "ab\x82\xA0"},  // CP932 あ: nothing to drop
      {"", ""},
      {"\x80\x80\x80\x80", "\x80\x80\x80\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(withoutSplitUtf8Tail(c.head), c.kept) << c.head;
}

TEST(DecodeText, BrokenCp932NeverFailsAndKeepsTheRest) {
  const std::u16string text = decodeText(std::string("ab\x82", 3));
  ASSERT_GE(text.size(), 3u);
  EXPECT_EQ(text.substr(0, 2), u"ab");
  EXPECT_EQ(text[2], u'\uFFFD');
  // Binary rubbish, NUL bytes included, decodes to something without crashing.
  const std::string binary("\x00\xFF\xFE\x80\x81\x00\xA0", 7);
  EXPECT_FALSE(decodeText(binary).empty());
}

TEST(EncodeUtf8, RoundTripsAndReplacesUnpairedSurrogates) {
  const std::u16string text = u"a\u00E9\u3042\U0001F600";
  EXPECT_EQ(decodeUtf8(encodeUtf8(text)), text);
  EXPECT_EQ(encodeUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
  EXPECT_EQ(encodeUtf8(std::u16string{u'x', u'\xDC00', u'y'}), "x\xEF\xBF\xBDy");
}

TEST(EncodeCp932, EncodesWhatFitsAndRefusesWhatDoesNot) {
  EXPECT_EQ(encodeCp932(u"あ\uFF5E①"), std::optional<std::string>("\x82\xA0\x81\x60\x87\x40"));
  EXPECT_EQ(encodeCp932(u""), std::optional<std::string>(""));
  EXPECT_FALSE(encodeCp932(u"emoji \U0001F600"));
  // Nothing without a CP932 form is dropped, default-ignorable characters
  // included; and nothing becomes another character (U+F86F would be №).
  for (const char16_t* text :
       {u"\u00E9", u"a\u00ADb", u"a\u200Bb", u"\uFEFFa", u"\uFFA0", u"\uF8F2\uF86F"})
    EXPECT_FALSE(encodeCp932(text)) << encodeUtf8(text);
}

}  // namespace
}  // namespace kelvane::textfile

namespace kelvane::textfile {
namespace {

// Long texts go through the vector paths; every mix of widths and every
// alignment must give the same result as character-by-character coding.
TEST(Codecs, LongMixedTextsRoundTripAtEveryAlignment) {
  // Runs of three-byte characters longer than a vector step, with the
  // smallest and largest such units and those next to the surrogates.
  const std::u16string pieces[] = {
      u"<li class=\"item\">", u"é", u"商品",
      u"\U0001F600",          u"x", u"\u0800本日の商品一覧\uD7FF\uE000\uFFFF"};
  std::u16string text;
  for (int i = 0; i < 700; ++i) text += pieces[(i * 7 + i / 3) % 6];
  for (size_t start = 0; start < 40; ++start) {
    const std::u16string_view part = std::u16string_view(text).substr(start);
    // Do not start inside a surrogate pair.
    if (!part.empty() && part[0] >= 0xDC00 && part[0] <= 0xDFFF) continue;
    const std::string bytes = encodeUtf8(part);
    EXPECT_TRUE(isValidUtf8(bytes));
    Encoding used{};
    EXPECT_EQ(decodeText(bytes, &used), part);
    EXPECT_EQ(used, Encoding::Utf8);
  }
  // A single bad byte far into a long text makes the whole file CP932.
  std::string bytes = encodeUtf8(text);
  bytes[bytes.size() - 5] = '\xFF';
  Encoding used{};
  decodeText(bytes, &used);
  EXPECT_EQ(used, Encoding::Cp932);
}

TEST(Codecs, LoneSurrogatesInLongTextsBecomeReplacementCharacters) {
  std::u16string text(100, u'a');
  text[50] = 0xD800;
  text[90] = 0xDFFF;
  const std::string bytes = encodeUtf8(text);
  EXPECT_EQ(bytes.size(), 98u + 6u);
  EXPECT_EQ(bytes.substr(50, 3), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace kelvane::textfile
