// Which locales get English, and that English replaces every engine message
// while keeping its facts.
#include "language/language.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/messages.h"

namespace kelvane {
namespace {

using language::Language;

TEST(LanguageTest, OnlyALocaleThatAsksForEnglishGetsIt) {
  struct Case {
    std::map<std::string, std::string> env;
    Language expected;
  };
  const Case cases[] = {
      {{}, Language::Japanese},
      {{{"LANG", "C"}}, Language::Japanese},
      {{{"LANG", "C.UTF-8"}}, Language::Japanese},
      {{{"LANG", "POSIX"}, {"LANGUAGE", "en"}}, Language::Japanese},
      {{{"LANG", "ja_JP.UTF-8"}}, Language::Japanese},
      {{{"LANG", "de_DE.UTF-8"}}, Language::Japanese},
      {{{"LANG", "en_US.UTF-8"}}, Language::English},
      {{{"LANG", "en"}}, Language::English},
      {{{"LANG", "en_GB@euro"}}, Language::English},
      {{{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "fr:en:ja"}}, Language::English},
      {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ja:en"}}, Language::Japanese},
      {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "fr"}}, Language::English},
      {{{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}, Language::Japanese},
      {{{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", "en_US.UTF-8"}}, Language::English},
      {{{"LANG", "en_US.UTF-8"}, {"LC_ALL", "C"}}, Language::Japanese},
      {{{"LANG", "english"}}, Language::Japanese},
  };
  for (const Case& c : cases) {
    const Language got = language::chooseLanguage([&](const char* name) {
      const auto it = c.env.find(name);
      return it == c.env.end() ? std::string() : it->second;
    });
    std::string described;
    for (const auto& [name, value] : c.env) described += name + "=" + value + " ";
    EXPECT_EQ(got, c.expected) << described;
  }
}

TEST(LanguageTest, EngineMessagesFollowTheChosenLanguage) {
  using namespace engine::messages;
  const auto build = [] {
    return std::vector<engine::Text>{unknownCommand(2, u"GETX"), badSource(3, u"ABC"),
                                     badDestination(u"Q9"),      nestedLoop(),
                                     unmatchedLoopEnd(),         bufferTooLong()};
  };
  const std::vector<engine::Text> japanese = build();
  language::setCurrent(Language::English);
  const std::vector<engine::Text> english = build();
  language::setCurrent(Language::Japanese);
  EXPECT_EQ(japanese, build());
  EXPECT_EQ(japanese[0], u"コマンド記述エラー:line= 2  Cmnd=GETX");
  const std::vector<engine::Text> expected = {
      u"Command error: line= 2  Cmnd=GETX",
      u"Source error: put the text of parameter 3 in double quotes. ABC",
      u"Destination error: Q9",
      u"LOOP commands cannot be nested.",
      u"LOOPEND has no matching LOOP command.",
      u"The text is too long. The run was stopped.",
  };
  EXPECT_EQ(english, expected);
}

}  // namespace
}  // namespace kelvane
