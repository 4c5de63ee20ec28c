// What follows a run on a 100,000-run history: the time to decide four rules
// (below, drops, lowest in 7 days, shows) after a run, and the time the run
// spends starting one delivery (apprise's own time runs beside it). Each is
// given as wall time and as this thread's processor time: on a shared
// machine the wall time counts the waits for a free processor too.
// Usage: bench_notify WORK_FOLDER [RUNS] [PROGRAM]
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "history/sqlite.h"
#include "history/store.h"
#include "run/after_run.h"

using namespace kelvane;
using Clock = std::chrono::steady_clock;

namespace {

double medianMs(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::u16string display(int price) {
  std::u16string d = u"青果市場\nみかん（有田）\t￥";
  for (const char c : std::to_string(price)) d += static_cast<char16_t>(c);
  return d + u"\nりんご\t￥198\n在庫あり\n";
}

double cpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_notify WORK_FOLDER [RUNS] [PROGRAM]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const long runs = argc > 2 ? std::stol(argv[2]) : 100000;
  const std::string program = argc > 3 ? argv[3] : "apprise";
  const std::string watch = "/srv/watches/mikan.spt";
  kelvane::run::RunRecorder recorder(folder + "/bench.sqlite");
  recorder.open();
  history::HistoryStore& store = *recorder.store();
  // A few distinct displays, then the runs over them in one statement.
  for (int p = 250; p < 350; ++p) {
    history::RunEntry e;
    e.start = std::chrono::system_clock::now() - std::chrono::hours(24 * 300);
    e.display = display(p);
    e.script = watch;
    store.record(e);
  }
  {
    history::WriteTransaction tx(store.database());
    store.database()
        .prepare(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
            "INSERT INTO runs(start, duration_ms, outcome, message, display_id, changed, script) "
            "SELECT strftime('%Y-%m-%dT%H:%M:%fZ', 'now', '-' || ((? - i) * 5) || ' minutes'), 10, "
            "'normal', '', 1 + abs(random()) % 100, 1, ? FROM n")
        .bind(1, static_cast<int64_t>(runs))
        .bind(2, static_cast<int64_t>(runs))
        .bind(3, std::string_view(watch))
        .run();
    tx.commit();
  }
  notify::NotifySettings settings;
  for (const char* rule : {"\"みかん\" below 300", "\"みかん\" drops 10%", "\"みかん\" lowest 7d",
                           "shows \"売り切れ\""}) {
    settings.rules.push_back(std::get<notify::Rule>(notify::parseRule(rule)));
  }
  kelvane::run::AfterRun after(settings, recorder, nullptr);
  std::vector<double> decide, decideCpu;
  for (int k = 0; k < 200; ++k) {
    history::RunEntry e;
    e.start = std::chrono::system_clock::now();
    e.display = display(260 + k % 80);
    e.script = watch;
    const int64_t id = store.record(e);
    const auto t0 = Clock::now();
    const double c0 = cpuMs();
    after.follow({watch, "mikan", id, true, e.display, std::nullopt, "http://shop.example/"});
    decideCpu.push_back(cpuMs() - c0);
    decide.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  std::printf("history: %ld runs\n", runs + 300);
  std::printf("deciding 4 rules after a run: median %.3f ms, max %.3f ms; cpu median %.3f ms\n",
              medianMs(decide), *std::max_element(decide.begin(), decide.end()),
              medianMs(decideCpu));

  notify::Courier courier(program);
  std::vector<double> start, startCpu;
  for (int k = 0; k < 20; ++k) {
    const auto t0 = Clock::now();
    const double c0 = cpuMs();
    courier.send("json://127.0.0.1:9/bench",
                 {"Kelvane", "みかん（有田）: ￥298 → ￥318", "changed", "info", watch, 0});
    startCpu.push_back(cpuMs() - c0);
    start.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    // A run starts its few deliveries while the last run's have ended: each
    // start is timed with no other apprise still starting up beside it.
    courier.finish(nullptr);
  }
  std::printf("starting one delivery (%s): median %.3f ms, max %.3f ms; cpu median %.3f ms\n",
              program.c_str(), medianMs(start), *std::max_element(start.begin(), start.end()),
              medianMs(startCpu));
  return 0;
}
