// The list picker on a big page: the page's shown text and parse tree, the
// typed name found in it, and the list's lines made and run by the engine on
// the page and its variants (kelvane-run --suggest TEXT --list without the
// load); then a click in the workbench on the page already read (the
// element's piece and list lines, checked on the variants); medians.
//   bench_list_pick_speed [PAGE TEXT] [ROUNDS]
//   bench_list_pick_speed --write-page FILE
// Without a page, a shop page of 1 MB is made: a sidebar repeating a
// product, then thousands of items with generated ids and prices written
// <b>1,280</b><small>円（税込）</small>; --write-page only writes it, for
// timing kelvane-run on it (bench/suggest.sh).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "acquisition/direct/body_html.h"
#include "textfile/file_io.h"
#include "textfile/text_codec.h"
#include "workbench/find_shown.h"
#include "workbench/list_pick.h"
#include "workbench/pick_shown.h"

using kelvane::engine::Text;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}
// The process's processor time, which other programs on a busy machine do
// not stretch.
double cpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}
double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::string shopPage(size_t bytes) {
  std::string page =
      "<html><head><meta charset=\"utf-8\"></head><body><div class=\"side\"><ul><li "
      "class=\"item\"><a href=\"/p/9\">商品 5 号 5kg</a> ￥1,280</li></ul></div>\n<ul "
      "class=\"products\">\n";
  for (int i = 1; page.size() < bytes; ++i) {
    const std::string id = std::to_string(1000 + i);
    page += "  <li class=\"item\" id=\"p" + id + "\"><h3 class=\"name\"><a href=\"/p/" + id +
            "\">商品 " + std::to_string(i) + " 号 5kg</a></h3><p class=\"price\"><b>" +
            std::to_string(100 + i % 900) + "</b><small>円（税込）</small></p></li>\n";
  }
  return page + "</ul></body></html>";
}

}  // namespace

int main(int argc, char** argv) {
  std::string bytes;
  std::string text = "商品 5 号 5kg";
  int rounds = 11;
  if (argc == 3 && std::string(argv[1]) == "--write-page") {
    std::FILE* out = std::fopen(argv[2], "wb");
    const std::string page = shopPage(size_t{1} << 20);
    const bool written = out && std::fwrite(page.data(), 1, page.size(), out) == page.size();
    return out && std::fclose(out) == 0 && written ? 0 : 2;
  }
  if (argc >= 3) {
    const auto file = kelvane::textfile::readFileBytes(argv[1]);
    if (!file) return 2;
    bytes = *file;
    text = argv[2];
    if (argc > 3) rounds = std::stoi(argv[3]);
  } else {
    bytes = shopPage(size_t{1} << 20);
    if (argc == 2) rounds = std::stoi(argv[1]);
  }
  const Text ht = kelvane::acquisition::bodyHtmlFromBytes(bytes).html;
  const Text typed = kelvane::textfile::fromUtf8(text);
  std::vector<double> readMs, listMs, totalMs, cpu, clickMs, clickCpu;
  size_t items = 0;
  for (int r = 0; r < rounds; ++r) {
    const auto t0 = Clock::now();
    const double c0 = cpuMs();
    const kelvane::workbench::PageText page = kelvane::workbench::readPageText(ht);
    readMs.push_back(msSince(t0));
    const auto t1 = Clock::now();
    kelvane::workbench::ListResult list;
    for (int k = 1; !list.offer && k < 20; ++k) {
      const auto m = kelvane::workbench::findShown(page, typed, k);
      if (!m) break;
      list = kelvane::workbench::suggestList(ht, page, m->begin, m->end);
    }
    listMs.push_back(msSince(t1));
    totalMs.push_back(msSince(t0));
    cpu.push_back(cpuMs() - c0);
    if (!list.offer) {
      std::fprintf(stderr, "no list: %s\n", list.why.c_str());
      return 1;
    }
    items = list.offer->display.size();
    // A click in the workbench: the page is read already; the element
    // under the pointer (the name's element) becomes the piece's and the
    // list's lines, checked on the variants.
    const auto m = kelvane::workbench::findShown(page, typed, 2);
    const int32_t element = m ? page.owner[m->begin] : -1;
    const auto shown = kelvane::workbench::shownOfElement(page, element);
    if (!shown) return 1;
    const auto t2 = Clock::now();
    const double c2 = cpuMs();
    const kelvane::workbench::ShownPick pick = kelvane::workbench::pickShown(ht, page, *shown);
    clickMs.push_back(msSince(t2));
    clickCpu.push_back(cpuMs() - c2);
    if (!pick.list.offer || pick.piece.empty()) {
      std::fprintf(stderr, "the click gave no list: %s\n", pick.list.why.c_str());
      return 1;
    }
  }
  std::printf("HT %zu characters (%zu bytes of page), %zu items, %d rounds, medians:\n", ht.size(),
              bytes.size(), items, rounds);
  std::printf(
      "  shown text and tree %.1f ms, list found and checked on 4 variants %.1f ms, "
      "in all %.1f ms (processor time %.1f ms)\n",
      median(readMs), median(listMs), median(totalMs), median(cpu));
  std::printf(
      "  a click on an item's name to its lines (piece and list, checked): %.1f ms "
      "(processor time %.1f ms)\n",
      median(clickMs), median(clickCpu));
  return 0;
}
