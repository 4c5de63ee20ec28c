// Runs every script example of the user manuals through kelvane-run in
// process, so that the manuals show what the program does. In the Markdown:
//   ```html [FILE] [shift_jis]
//                        a page file (page.html unless FILE is given) for the
//                        examples after it, until the next heading of level 1
//                        or 2; page.html is HT (--page), the others are for
//                        URL lines; with shift_jis it is written as Shift_JIS
//   ```spt [ARGS...]     a script (tabs as written); ARGS go to kelvane-run
//   ```text              the display the script before it shows (required)
//   ```messages          the messages it shows, one a line (none if absent)
// Line ends are compared as LF, and line ends at the end are left out. The
// manuals show the date as 2026/05/01 and the time as 9:30:00; the run's real
// ones are put back to those before comparing. Every command word of the
// command table must be used by an example of each manual.
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "../cli/run_fixture.h"
#include "engine/clock_text.h"
#include "engine/engine.h"
#include "textfile/lines.h"
#include "textfile/text_codec.h"

namespace kelvane::cli {
namespace {

struct Example {
  int line = 0;  // of the script's fence
  std::string heading, script, display, messages;
  std::map<std::string, std::string> pages;  // file name: bytes
  bool hasDisplay = false;
  std::vector<std::string> args;
};

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::vector<Example> readExamples(const std::string& path) {
  std::ifstream in(path);
  std::vector<Example> examples;
  std::string heading, line;
  std::map<std::string, std::string> pages;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.rfind("#", 0) == 0) {
      heading = line.substr(line.find_first_not_of("# "));
      if (line.rfind("###", 0) != 0) pages.clear();
      continue;
    }
    if (line.rfind("```", 0) != 0) continue;
    const int fence = number;
    std::vector<std::string> info = words(line.substr(3));
    std::string body;
    while (std::getline(in, line) && (++number, line.rfind("```", 0) != 0)) body += line + "\n";
    const std::string kind = info.empty() ? "" : info[0];
    if (kind == "html") {
      std::string name = "page.html";
      bool shiftJis = false;
      for (size_t k = 1; k < info.size(); ++k) {
        if (info[k] == "shift_jis")
          shiftJis = true;
        else
          name = info[k];
      }
      pages[name] = shiftJis ? textfile::encodeCp932(textfile::fromUtf8(body)).value_or("") : body;
    } else if (kind == "spt") {
      Example e{fence, heading, body, {}, {}, pages, false, {}};
      e.args.assign(info.begin() + 1, info.end());
      examples.push_back(e);
    } else if (kind == "text" && !examples.empty() && !examples.back().hasDisplay) {
      examples.back().display = body;
      examples.back().hasDisplay = true;
    } else if (kind == "messages" && !examples.empty()) {
      examples.back().messages = body;
    }
  }
  return examples;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
  if (from.empty()) return s;
  for (size_t p = 0; (p = s.find(from, p)) != std::string::npos; p += to.size()) {
    s.replace(p, from.size(), to);
  }
  return s;
}

std::string crLf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? "\r\n" : std::string(1, c);
  return out;
}

// LF line ends, none at the end; the clock's texts of the run's seconds as
// the manuals show them.
std::string shown(std::string text, const std::vector<std::tm>& seconds) {
  text = replaceAll(text, "\r\n", "\n");
  for (const std::tm& t : seconds) {
    text = replaceAll(text, textfile::toUtf8(engine::formatDate(t)), "2026/05/01");
    text = replaceAll(text, textfile::toUtf8(engine::formatTime(t)), "9:30:00");
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

class ManualExamples : public testing::RunFixture,
                       public ::testing::WithParamInterface<const char*> {};

TEST_P(ManualExamples, ShowWhatTheProgramDoes) {
  const std::string path = std::string(KELVANE_DOCS) + "/" + GetParam();
  const std::vector<Example> examples = readExamples(path);
  ASSERT_GE(examples.size(), 40u) << path;
  std::set<std::u16string> used;
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_);  // URL lines name the page by its file name
  for (const Example& e : examples) {
    const std::string where = path + ":" + std::to_string(e.line) + ": \"" + e.heading + "\"";
    EXPECT_TRUE(e.hasDisplay) << where << ": an example shows its display in a ```text block";
    std::vector<std::string> args = e.args;
    for (const auto& [name, bytes] : e.pages) write(name, bytes);
    write("page.html", e.pages.count("page.html") ? e.pages.at("page.html") : "");
    args.insert(args.end(), {"--page", "page.html", write("example.spt", crLf(e.script))});
    const std::time_t start = std::time(nullptr);
    const testing::Result r = run(args);
    std::vector<std::tm> seconds;
    for (std::time_t t = start; t <= std::time(nullptr); ++t) {
      std::tm local{};
      seconds.push_back(*localtime_r(&t, &local));
    }
    EXPECT_EQ(shown(r.out, seconds), shown(e.display, {})) << where << ": the display";
    EXPECT_EQ(shown(r.err, seconds), shown(e.messages, {})) << where << ": the messages";
    for (const auto& scriptLine : textfile::splitLines(textfile::fromUtf8(crLf(e.script)))) {
      used.insert(engine::upperCopy(scriptLine.substr(0, scriptLine.find(u'\t'))));
    }
  }
  std::filesystem::current_path(cwd);
  for (const engine::Engine::Command& command : engine::Engine::commandTable()) {
    if (command.word.empty()) continue;
    EXPECT_TRUE(used.count(std::u16string(command.word)))
        << path << ": no example uses " << textfile::toUtf8(command.word);
  }
}

INSTANTIATE_TEST_SUITE_P(Docs, ManualExamples, ::testing::Values("manual.ja.md", "manual.en.md"),
                         [](const auto& info) { return std::string(info.param).substr(7, 2); });

}  // namespace
}  // namespace kelvane::cli
