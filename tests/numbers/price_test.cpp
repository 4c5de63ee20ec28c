// Prices as Japanese and English shops write them.
#include "numbers/price.h"

#include <gtest/gtest.h>

#include <optional>

namespace kelvane::numbers {
namespace {

TEST(Price, AWholeTextIsOneNumberOrNone) {
  const struct {
    const char16_t* text;
    std::optional<double> value;
  } cases[] = {
      {u"￥１，２８０", 1280},    {u"1,280円（税込）", 1280},
      {u"税抜 ¥980", 980},        {u"$12.50", 12.5},
      {u"1万2千円", 12000},       {u"1.5万", 15000},
      {u"３千円", 3000},          {u"2万3,800円", 23800},
      {u"－５．２５", -5.25},     {u"300", 300},
      {u"1,23", std::nullopt},     // a comma groups three digits: two numbers
      {u"約300円", std::nullopt},  // a word that is no mark
      {u"千円", std::nullopt},     // no digit
      {u"", std::nullopt},        {u"12月3日", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(priceNumber(c.text), c.value) << "case " << (&c - cases);
  }
}

TEST(Price, NumbersInALineKeepTheirPlaceAndMoneyMark) {
  const std::u16string line = u"みかん 3個 ￥２９８ 在庫-2";
  const std::vector<FoundNumber> found = numbersIn(line);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(line.substr(found[1].begin, found[1].end - found[1].begin), u"￥２９８");
  EXPECT_TRUE(found[1].money);
  EXPECT_FALSE(found[0].money);
  EXPECT_EQ(found[1].value, 298);
  EXPECT_EQ(found[2].value, 2);  // a hyphen inside a word is no sign
  // 税込 beside a number marks it as money; dates and times are joined.
  const std::vector<FoundNumber> more = numbersIn(u"2026/12/07 9時 880（税込）");
  ASSERT_EQ(more.size(), 5u);
  EXPECT_TRUE(more[0].joined && more[2].joined && more[3].joined && !more[4].joined);
  EXPECT_TRUE(more[4].money && !more[3].money);
}

}  // namespace
}  // namespace kelvane::numbers
