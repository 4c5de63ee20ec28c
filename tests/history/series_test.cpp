// The series a display's lines give: labels and the numbers as written on
// Japanese and English pages.
#include "history/series.h"

#include <gtest/gtest.h>

namespace kelvane::history {
namespace {

TEST(Series, ALineIsALabelAndItsMoneyOrLastNumber) {
  const struct {
    const char16_t* line;
    const char* label;  // nullptr: no series
    double value;
  } cases[] = {
      {u"・みかん（有田）\t￥298", "みかん（有田）", 298},
      {u"りんご：１，２３４円", "りんご", 1234},
      {u"メロン\t￥１，２８０（税込）", "メロン （税込）", 1280},
      {u"すいか 1万2千円", "すいか", 12000},
      {u"Price: $12.50", "Price", 12.5},
      {u"合計\t-￥1,000,000", "合計", -1000000},
      {u"残高　－５．２５", "残高", -5.25},
      {u"298円 みかん", "みかん", 298},
      {u"みかん ￥298 税込", "みかん 税込", 298},
      // Digits in a name stay in the label; the value is the money, else the last number.
      {u"モバイルバッテリー 10000mAh\t￥3,980", "モバイルバッテリー 10000mAh", 3980},
      {u"みかん 5kg ￥1,280", "みかん 5kg", 1280},
      {u"ケーブル 2m\t1,280円（税込）", "ケーブル 2m （税込）", 1280},
      {u"ノート 5冊 880 税込", "ノート 5冊 税込", 880},
      {u"ノート 5冊 税抜 800 (3冊)", "ノート 5冊 税抜 (3冊)", 800},
      {u"定価￥1,500 特価￥1,280", "定価￥1,500 特価", 1280},
      {u"ＳＤカード　１２８ＧＢ　２，９８０", "ＳＤカード　１２８ＧＢ", 2980},
      {u"iPhone 15 128GB", "iPhone 15 GB", 128},
      {u"在庫 2026/12/07 入荷 12", "在庫 2026/12/07 入荷", 12},
      {u"青果市場：2026年12月7日 9時 更新", nullptr, 0},  // dates and times only
      {u"更新 2026/12/07 9:30", nullptr, 0},
      {u"￥298", nullptr, 0},  // no label
      {u"いちご", nullptr, 0},
      {u"", nullptr, 0},
  };
  for (const auto& c : cases) {
    const std::vector<SeriesValue> series = seriesOf(c.line);
    if (!c.label) {
      EXPECT_TRUE(series.empty()) << series.front().label;
      continue;
    }
    ASSERT_EQ(series.size(), 1u) << c.label;
    EXPECT_EQ(series[0].label, c.label);
    EXPECT_EQ(series[0].value, c.value) << c.label;
  }
}

TEST(Series, LinesLeftOutAreToldWhy) {
  const SeriesReading r =
      readSeries(u"見出し\r\n￥298\n2026/12/07 9:30\nみかん 1\n\n みかん 2\n \n");
  ASSERT_EQ(r.series.size(), 1u);
  const std::vector<std::pair<size_t, LeftOutReason>> expected = {
      {1, LeftOutReason::NoNumber},
      {2, LeftOutReason::NoLabel},
      {3, LeftOutReason::OnlyJoined},
      {6, LeftOutReason::RepeatedLabel}};
  ASSERT_EQ(r.leftOut.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(r.leftOut[i].line, expected[i].first) << i;
    EXPECT_EQ(r.leftOut[i].reason, expected[i].second) << i;
  }
  EXPECT_EQ(r.leftOut[3].text, " みかん 2");
}

TEST(Series, EveryLineEndCountsAndALabelKeepsItsFirstValue) {
  const std::vector<SeriesValue> series = seriesOf(u"a 1\r\nb 2\rc 3\na 4\r\n");
  ASSERT_EQ(series.size(), 3u);
  EXPECT_EQ(series[0].label + series[1].label + series[2].label, "abc");
  EXPECT_EQ(series[0].value, 1);
  EXPECT_EQ(numberText(1234.5) + " " + numberText(-3), "1234.5 -3");
}

}  // namespace
}  // namespace kelvane::history
