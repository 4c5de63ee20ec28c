// A watch's notification choices as keyed settings lines: read, refused,
// and written back among the lines the file holds for other things.
#include "notify/watch_choices.h"

#include <gtest/gtest.h>

namespace kelvane::notify {
namespace {

using Lines = std::vector<std::pair<settings::Text, settings::Text>>;

TEST(WatchChoices, KeyedLinesAreReadOrRefusedNamingTheLine) {
  const struct {
    Lines lines;
    const char* refused;  // the text the reason names, or null
    std::vector<std::string> rules;
    bool first;
    int alertAfter;
  } cases[] = {
      {{}, nullptr, {}, false, 3},
      {{{u"fetch", u"auto"}, {u"NOTIFY_WHEN", u"changed"}, {u"notify_when", u"hides \"x\""}},
       nullptr,
       {"changed", "hides \"x\""},
       false,
       3},
      {{{u"notify_first", u"1"}, {u"notify_alert_after", u" 0 "}}, nullptr, {}, true, 0},
      {{{u"notify_first", u"2"}}, "notify_first", {}, false, 3},
      {{{u"notify_alert_after", u"2.5"}}, "notify_alert_after", {}, false, 3},
      {{{u"notify_alert_after", u"-1"}}, "notify_alert_after", {}, false, 3},
      {{{u"notify_sound", u"on"}}, "notify_sound", {}, false, 3},
  };
  for (const auto& c : cases) {
    settings::Settings values;
    values.keyed = c.lines;
    WatchChoices choices;
    choices.targets = {"ntfy://x/y"};
    const auto refused = readChoices(values, &choices);
    ASSERT_EQ(refused.has_value(), c.refused != nullptr) << refused.value_or("");
    if (refused) {
      EXPECT_NE(refused->find(c.refused), std::string::npos) << *refused;
      continue;
    }
    EXPECT_EQ(choices.rules, c.rules);
    EXPECT_EQ(choices.first, c.first);
    EXPECT_EQ(choices.alertAfter, c.alertAfter);
    EXPECT_EQ(choices.targets, std::vector<std::string>{"ntfy://x/y"});
  }
}

TEST(WatchChoices, WritingReplacesOnlyTheNotifyLinesAndReadsBack) {
  settings::Settings values;
  values.keyed = {{u"fetch", u"auto"}, {u"notify_when", u"changed"}, {u"other", u"1"}};
  WatchChoices chosen;
  chosen.rules = {"\"みかん\" below 300", "shows \"在庫あり\""};
  chosen.first = true;
  chosen.alertAfter = 5;
  writeChoices(chosen, &values);
  EXPECT_EQ(values.keyed, (Lines{{u"fetch", u"auto"},
                                 {u"other", u"1"},
                                 {u"notify_when", u"\"みかん\" below 300"},
                                 {u"notify_when", u"shows \"在庫あり\""},
                                 {u"notify_first", u"1"},
                                 {u"notify_alert_after", u"5"}}));
  WatchChoices read;
  ASSERT_FALSE(readChoices(values, &read));
  EXPECT_EQ(read.rules, chosen.rules);
  EXPECT_TRUE(read.first);
  EXPECT_EQ(read.alertAfter, 5);
  std::string why;
  EXPECT_TRUE(notifySettings(read, &why));
  read.rules.push_back("\"x\" sideways");
  EXPECT_FALSE(notifySettings(read, &why));
  EXPECT_NE(why.find("sideways"), std::string::npos);
  writeChoices(WatchChoices{}, &values);  // start values write no line
  EXPECT_EQ(values.keyed, (Lines{{u"fetch", u"auto"}, {u"other", u"1"}}));
}

}  // namespace
}  // namespace kelvane::notify
