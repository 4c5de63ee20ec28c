// The series a display's lines give: labels and the numbers as written on
// Japanese and English pages.
#include "history/series.h"

#include <gtest/gtest.h>

namespace kelvane::history {
namespace {

TEST(Series, ALineWithALabelAndOneNumberIsASeries) {
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
      {u"青果市場：2026年12月7日 9時 更新", nullptr, 0},  // several numbers
      {u"バナナ\t￥1,23", nullptr, 0},                    // 1 and 23: a comma groups three
      {u"￥298", nullptr, 0},                             // no label
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

TEST(Series, EveryLineEndCountsAndALabelKeepsItsFirstValue) {
  const std::vector<SeriesValue> series = seriesOf(u"a 1\r\nb 2\rc 3\na 4\r\n");
  ASSERT_EQ(series.size(), 3u);
  EXPECT_EQ(series[0].label + series[1].label + series[2].label, "abc");
  EXPECT_EQ(series[0].value, 1);
  EXPECT_EQ(numberText(1234.5) + " " + numberText(-3), "1234.5 -3");
}

}  // namespace
}  // namespace kelvane::history
