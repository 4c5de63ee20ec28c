// Runs every script case of this folder through kelvane-run in process. A
// case file holds sections, each headed by a line "--- NAME":
//   script    the script; its lines are joined with CR LF as a script file's
//   page      optional: the bytes kelvane-run is given with --page
//   args      optional: more arguments, one per line (e.g. --print, HT)
//   display   what is printed; line ends are CR LF ("\n" in the file)
//   messages  optional: standard error, one message a line
//   exit      optional: the exit status (0 when absent)
// A section's text ends with the line before the next header; the line end
// just before a header is not part of it. Lines before the first header are
// a description.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "../cli/run_fixture.h"

namespace kelvane::cli {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> readSections(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  std::map<std::string, std::string> sections;
  std::string* current = nullptr;
  std::string line;
  std::istringstream lines(all.str());
  while (std::getline(lines, line)) {
    if (line.rfind("--- ", 0) == 0) {
      if (current && !current->empty()) current->pop_back();  // the line end before the header
      current = &sections[line.substr(4)];
      continue;
    }
    if (current) *current += line + "\n";
  }
  if (current && !current->empty()) current->pop_back();
  return sections;
}

std::string withCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(KELVANE_SCRIPT_CASES)) {
    if (entry.path().extension() == ".case") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ScriptCase : public testing::RunFixture, public ::testing::WithParamInterface<std::string> {};

TEST_P(ScriptCase, PrintsTheExpectedDisplayAndMessages) {
  auto sections = readSections(fs::path(KELVANE_SCRIPT_CASES) / (GetParam() + ".case"));
  ASSERT_TRUE(sections.count("script") && sections.count("display")) << "a case needs both";
  std::vector<std::string> args;
  if (sections.count("args")) {
    std::istringstream in(sections["args"]);
    for (std::string arg; std::getline(in, arg);) args.push_back(arg);
  }
  if (sections.count("page")) {
    args.push_back("--page");
    args.push_back(write("page.html", sections["page"]));
  }
  args.push_back(write("case.spt", withCrLf(sections["script"] + "\n")));
  const testing::Result r = run(args);
  EXPECT_EQ(r.out, withCrLf(sections["display"]));
  const std::string& messages = sections["messages"];
  EXPECT_EQ(r.err, messages.empty() ? messages : messages + "\n");
  EXPECT_EQ(r.status, sections.count("exit") ? std::stoi(sections["exit"]) : 0);
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptCase, ::testing::ValuesIn(caseNames()),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

}  // namespace
}  // namespace kelvane::cli
