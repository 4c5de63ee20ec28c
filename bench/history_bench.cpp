// The run history at 100,000 runs of the bundled example (or of a list of
// SERIES products whose prices move, one product a run): recording one run,
// opening the History window, the chart of up to 20 series, the file's
// size, each against a run of the example itself. bench/history.sh runs it.
#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "cli/runner.h"
#include "history/store.h"
#include "textfile/text_codec.h"
#include "ui/history/history_chart.h"
#include "ui/history/history_window.h"

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_history EXAMPLES_DIR WORK_DIR [RUNS [SERIES]]\n");
    return 2;
  }
  const std::string examples = argv[1];
  const std::filesystem::path work = argv[2];
  const int runs = argc > 3 ? std::atoi(argv[3]) : 100000;
  const int products = argc > 4 ? std::atoi(argv[4]) : 0;
  std::filesystem::create_directories(work);
  const std::string path = (work / "bench-history.sqlite").string();
  std::filesystem::remove(path);
  std::filesystem::remove(path + "-wal");
  std::filesystem::remove(path + "-shm");

  std::stringstream expected;
  expected << std::ifstream(examples + "/prices.expected.txt", std::ios::binary).rdbuf();
  const std::u16string display = kelvane::textfile::fromUtf8(expected.str());
  const size_t price = display.find(u"298");

  kelvane::history::HistoryStore store(path);
  const auto now = std::chrono::system_clock::now();
  std::vector<double> recordMs;
  for (int i = 0; i < runs; ++i) {
    kelvane::history::RunEntry run;
    run.start = now - std::chrono::minutes(runs - i);
    run.durationMs = 10;
    run.script = examples + "/prices.spt";
    run.display = display;
    if (products > 0) {
      // A shop's list: one product's price moves at each run, every display differs.
      std::string list;
      for (int p = 0; p < products; ++p) {
        const int moved = p == i % products ? (i / products) % 300 : 0;
        list +=
            "商品" + std::to_string(p) + " 500g\t￥" + std::to_string(1000 + 10 * p + moved) + "\n";
      }
      run.display = kelvane::textfile::fromUtf8(list);
    } else {
      // The price moves every ten runs: a hundred distinct displays in turn.
      const std::u16string value =
          kelvane::textfile::fromUtf8(std::to_string(250 + (i / 10) % 100));
      run.display.replace(price, 3, value);
    }
    const auto start = Clock::now();
    store.record(run);
    if (i >= runs - 2000) recordMs.push_back(msSince(start));
  }

  // A run of the example, in process, as the baseline.
  std::vector<double> exampleMs;
  for (int i = 0; i < 200; ++i) {
    std::FILE* out = std::fopen("/dev/null", "w");
    const auto start = Clock::now();
    kelvane::cli::runMain({"--page", examples + "/prices.html", examples + "/prices.spt"}, out,
                          stderr);
    exampleMs.push_back(msSince(start));
    std::fclose(out);
  }

  QStringList charted;
  for (const std::string& label : store.seriesLabels()) {
    if (charted.size() < 20) charted << QString::fromStdString(label);
  }
  std::vector<double> openMs, chartMs;
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    kelvane::ui::HistoryWindow window(QString::fromStdString(path));
    window.show();
    QApplication::processEvents();
    openMs.push_back(msSince(start));
    const auto chartStart = Clock::now();
    window.chart()->setChecked(charted);
    window.tabs()->setCurrentIndex(kelvane::ui::HistoryWindow::ChartPage);
    QApplication::processEvents();
    chartMs.push_back(msSince(chartStart));
  }

  std::uintmax_t bytes = std::filesystem::file_size(path);
  std::error_code ec;
  const auto wal = std::filesystem::file_size(path + "-wal", ec);
  std::printf("runs in the history          %d\n", runs);
  std::printf("a run of the example         %.3f ms (median of 200)\n", median(exampleMs));
  std::printf("recording one run            %.3f ms (median of the last 2,000) = %.2f x a run\n",
              median(recordMs), median(recordMs) / median(exampleMs));
  std::printf("opening the History window   %.1f ms (median of 5) = %.0f x a run\n", median(openMs),
              median(openMs) / median(exampleMs));
  std::printf("chart of %2lld series          %.1f ms (median of 5) = %.0f x a run\n",
              static_cast<long long>(charted.size()), median(chartMs),
              median(chartMs) / median(exampleMs));
  std::printf("window and chart             %.1f ms (medians added)\n",
              median(openMs) + median(chartMs));
  std::printf("database                     %.1f MB (+ %.1f MB write-ahead log)\n", bytes / 1e6,
              ec ? 0.0 : wal / 1e6);
  return 0;
}
