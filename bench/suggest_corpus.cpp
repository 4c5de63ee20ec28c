// How well kelvane-run --suggest's scripts cut pieces of real pages: for the
// text between tags (3 to 60 characters) of each page given, the printed
// script is run on the page (it must leave exactly the piece in D, in at most
// 8 lines) and on the page with the piece replaced by another value one
// character longer (it must leave that value).
//   bench_suggest_corpus [--per-page N] [--show-failures] FILE...
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "acquisition/direct/body_html.h"
#include "cli/suggest_command.h"
#include "engine/engine.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"
#include "workbench/quiet_host.h"

using kelvane::engine::Text;
using kelvane::engine::TextView;

namespace {

Text display(TextView page, const std::vector<Text>& script) {
  kelvane::workbench::QuietHost host;
  kelvane::engine::Engine engine(host);
  engine.ht().assign(page);
  Text text;
  for (const Text& line : script) text += line + u"\r\n";
  engine.runScriptText(text);
  return Text(engine.d().view());
}

bool space(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

struct Piece {
  size_t position, length;
};

// Text between tags, trimmed, outside script and style elements.
std::vector<Piece> piecesOf(TextView page) {
  std::vector<Piece> pieces;
  size_t i = 0;
  while ((i = page.find(u'>', i)) != TextView::npos) {
    const size_t tagStart = page.rfind(u'<', i);
    const TextView tag =
        tagStart == TextView::npos ? TextView{} : page.substr(tagStart, i - tagStart);
    const bool raw = tag.starts_with(u"<script") || tag.starts_with(u"<style");
    size_t a = i + 1;
    const size_t next = page.find(u'<', a);
    if (next == TextView::npos) break;
    size_t b = next;
    while (a < b && space(page[a])) ++a;
    while (b > a && space(page[b - 1])) --b;
    if (!raw && b - a >= 3 && b - a <= 60) pieces.push_back({a, b - a});
    i = next;
  }
  return pieces;
}

int occurrenceOf(TextView page, TextView piece, size_t position) {
  int k = 0;
  for (size_t at = page.find(piece); at != TextView::npos && at <= position;
       at = page.find(piece, at + 1))
    ++k;
  return k;
}

}  // namespace

int main(int argc, char** argv) {
  size_t perPage = 30;
  bool showFailures = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--per-page") && i + 1 < argc)
      perPage = std::stoul(argv[++i]);
    else if (!std::strcmp(argv[i], "--show-failures"))
      showFailures = true;
    else
      files.push_back(argv[i]);
  }
  std::mt19937 random(7);
  const char16_t alnum[] = u"abcdefghijklmnopqrstuvwxyz0123456789";
  long total = 0, exact = 0, shortEnough = 0, afterChange = 0, pages = 0;
  std::vector<double> ms;
  for (const std::string& file : files) {
    const auto bytes = kelvane::textfile::readFileBytes(file);
    if (!bytes) continue;
    const Text page = kelvane::acquisition::bodyHtmlFromBytes(*bytes).html;
    std::vector<Piece> pieces = piecesOf(page);
    if (pieces.empty()) continue;
    ++pages;
    std::shuffle(pieces.begin(), pieces.end(), random);
    if (pieces.size() > perPage) pieces.resize(perPage);
    for (const Piece& p : pieces) {
      const TextView piece = TextView(page).substr(p.position, p.length);
      const auto t0 = std::chrono::steady_clock::now();
      const std::vector<Text> script =
          kelvane::cli::suggestScript(page, piece, occurrenceOf(page, piece, p.position));
      ms.push_back(
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
      ++total;
      size_t lines = 0;
      for (const Text& line : script) lines += line.starts_with(u"'") ? 0 : 1;
      const bool cut = !script.empty() && display(page, script) == piece;
      Text value;
      for (size_t k = 0; k <= p.length; ++k) value += alnum[random() % 36];
      Text changed = page;
      changed.replace(p.position, p.length, value);
      const bool still = cut && display(changed, script) == value;
      exact += cut && lines <= 8;
      shortEnough += lines <= 8;
      afterChange += still && lines <= 8;
      if (showFailures && !(still && lines <= 8)) {
        std::printf("%s @%zu %s: %s\n", file.c_str(), p.position,
                    cut ? (lines > 8 ? "too long" : "broke on change") : "no cut",
                    kelvane::textfile::toUtf8(piece).c_str());
        for (const Text& line : script)
          std::printf("    %s\n", kelvane::textfile::toUtf8(line).c_str());
      }
    }
  }
  std::sort(ms.begin(), ms.end());
  std::printf("pages %ld, pieces %ld\n", pages, total);
  std::printf("cut exactly in <= 8 lines: %ld (%.1f %%)\n", exact, 100.0 * exact / total);
  std::printf("still cut after the value changed: %ld (%.1f %%)\n", afterChange,
              100.0 * afterChange / total);
  if (!ms.empty())
    std::printf("time per suggestion: median %.2f ms, 95th %.2f ms, most %.2f ms\n",
                ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
  return 0;
}
