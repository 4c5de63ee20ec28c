// kelvane-run --suggest's work on a big page against one plain run of the
// script it prints, in the same process, interleaved; medians.
//   bench_suggest_speed PAGE TEXT [OCCURRENCE] [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/suggest_command.h"
#include "engine/engine.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"
#include "textfile/web_charset.h"
#include "workbench/quiet_host.h"

using kelvane::engine::Text;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_suggest_speed PAGE TEXT [OCCURRENCE] [ROUNDS]\n");
    return 2;
  }
  const auto bytes = kelvane::textfile::readFileBytes(argv[1]);
  if (!bytes) return 2;
  const Text page = kelvane::textfile::decodeWebPage(*bytes).text;
  const Text text = kelvane::textfile::fromUtf8(argv[2]);
  const int occurrence = argc > 3 ? std::stoi(argv[3]) : 1;
  const int rounds = argc > 4 ? std::stoi(argv[4]) : 21;
  std::vector<Text> script;
  Text scriptText;
  std::vector<double> suggestMs, runMs;
  Text display;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    script = kelvane::cli::suggestScript(page, text, occurrence);
    suggestMs.push_back(msSince(t0));
    scriptText.clear();
    for (const Text& line : script) scriptText += line + u"\r\n";
    // The plain run: HT set from the page, as --page does, and the script run.
    t0 = Clock::now();
    kelvane::workbench::QuietHost host;
    kelvane::engine::Engine engine(host);
    engine.ht().assign(page);
    engine.runScriptText(scriptText);
    runMs.push_back(msSince(t0));
    display.assign(engine.d().view());
  }
  std::printf("page %zu characters, text \"%s\" (occurrence %d), %d rounds\n", page.size(), argv[2],
              occurrence, rounds);
  std::printf("script:\n%s", kelvane::textfile::toUtf8(scriptText).c_str());
  std::printf("cuts the text: %s\n", display == text ? "yes" : "NO");
  const double s = median(suggestMs), p = median(runMs);
  std::printf("suggest: median %.2f ms; one plain run of the script: median %.2f ms; ratio %.1f\n",
              s, p, s / p);
  return display == text ? 0 : 1;
}
