#include "engine/script.h"

#include <gtest/gtest.h>

#include "fake_host.h"

namespace kelvane::engine {
namespace {

using testing::Bench;
using Kind = LineProblem::Kind;

// What diagnose says about a script must be what running it shows: the
// messages of the first line that has any, in the same order (the run stops
// after that line). Every command is tried with each parameter it uses made
// bad in turn, and with no parameters at all.
TEST(Diagnose, TellsWhatTheRunWouldShow) {
  std::vector<std::vector<std::u16string>> scripts = {
      {u"PUT\t\"a\"\tD", u"GETX\tHT", u"PUT\t\"b\"\tD"},
      {u"LOOP\t\"2\"", u"LOOP\tabc", u"LOOPEND"},
      {u"LOOPEND", u"LOOP\t\"1\""},
      {u"LOOP\t\"2\"", u"CR\tD", u"LOOPEND", u"rem x", u"REM x"},
      {u"CON\t\"v1\"\tx", u"PUT\tHT\tD\tignored\tfields\tbeyond\tfive"},
  };
  for (const Command& command : Engine::commandTable()) {
    const std::string_view uses = command.uses;
    scripts.push_back({Text(command.word)});
    for (size_t bad = 0; bad < uses.size(); ++bad) {
      Text line(command.word);
      for (size_t k = 0; k < uses.size(); ++k) {
        const char use = uses[k];
        line += u'\t';
        if (use == 'N')
          line += u"2";
        else if (k != bad)
          line += use == 'S' ? u"\"x\"" : u"v1";
        else
          line += use == 'D' ? u"\"v1\"" : u"bare";
      }
      scripts.push_back({line});
    }
  }
  for (const auto& lines : scripts) {
    Text text;
    for (const auto& line : lines) text += line + u"\r\n";
    Bench b;
    b.engine.runScriptText(text);
    const auto problems = diagnose(b.engine.parsedLines());
    // Only the first line with a message counts.
    std::vector<Text> firstLine;
    int at = -1;
    for (const LineProblem& p : problems) {
      if (p.message.empty()) continue;
      if (at < 0) at = p.line;
      if (p.line == at) firstLine.push_back(p.message);
    }
    EXPECT_EQ(firstLine, b.host.messages)
        << "script starting " << std::string(lines[0].begin(), lines[0].end());
  }
}

TEST(Diagnose, SaysWhereAndWhat) {
  Bench b;
  b.engine.runScriptText(
      u"REM\r\nGETA\tHT\tV1\tabc\r\nGETC\tHT\tV1\r\nLOOP\t\"3\"\r\nGETA\tD\t\"d\"\t\"x\"");
  const std::vector<LineProblem> expected = {
      {1, Kind::BadSource, 3,
       u"Source指定の誤り:第 3パラメータの文字列はダブルクオーツで囲んでください．ABC"},
      {2, Kind::MissingParameter, 3,
       u"Source指定の誤り:第 3パラメータの文字列はダブルクオーツで囲んでください．"},
      {2, Kind::MissingParameter, 4,
       u"Source指定の誤り:第 4パラメータの文字列はダブルクオーツで囲んでください．"},
      {4, Kind::BadDestination, 2, u"Destination指定の誤り:\"d\""},
      {3, Kind::UnclosedLoop, 0, u""},
  };
  EXPECT_EQ(diagnose(b.engine.parsedLines()), expected);
}

// The slots and the command word outlive the script they came from: a later
// run over another script still reads them, upper-cased as the writer left
// them.
TEST(ParsedLines, SlotsKeepTheirTextAcrossReloads) {
  Bench b;
  b.run({u"PUT\t\"x\"\td"});
  b.run({u"PUT\t\"y\"", u"GETX"});
  EXPECT_EQ(b.d(), u"xy");
  EXPECT_EQ(b.engine.param(2), u"D");
  b.run({u"CR"});
  EXPECT_EQ(b.engine.commandWord(), u"CR");
  EXPECT_EQ(b.engine.param(1), u"\"y\"");
}

}  // namespace
}  // namespace kelvane::engine
