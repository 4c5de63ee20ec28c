// The history in both stores (a SQLite file, a PostgreSQL server when the
// tests run beside one): what a run leaves in it, the exports, the retention,
// runs read back whole and sent twice, and databases it must leave alone.
#include "history/store.h"
#include "history/series_catalog.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "history/export.h"
#include "history/postgres.h"
#include "history/sqlite.h"
#include "textfile/file_io.h"

namespace kelvane::history {
namespace {

namespace fs = std::filesystem;
using std::chrono::hours;

// The stores to test here: the server only where the tests were started
// beside one (PGHOST set, as tests/support/with-postgres.sh does).
std::vector<std::string> storesHere() {
  std::vector<std::string> stores = {"sqlite"};
  if (std::getenv("PGHOST")) stores.emplace_back("postgres");
  return stores;
}

class Store : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    dir_ =
        fs::temp_directory_path() / ("kelvane-history-" + std::to_string(::getpid()) + "-" + name);
    fs::create_directories(dir_);
    server_ = GetParam() == "postgres";
    // The folder of a file is made on first use; the server's address comes
    // from the environment.
    path_ = server_ ? "postgresql://" : (dir_ / "sub" / "h.sqlite").string();
    fresh();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // An empty history.
  void fresh() {
    if (server_) {
      PostgresDatabase("postgresql://").exec("DROP SCHEMA IF EXISTS kelvane CASCADE");
    } else {
      fs::remove_all(dir_ / "sub");
    }
  }
  std::unique_ptr<Database> raw() {
    if (server_) return std::make_unique<PostgresDatabase>(path_);
    return std::make_unique<SqliteDatabase>(path_, false);
  }

  static RunEntry entry(
      std::u16string display, std::string script = "a.spt", bool normal = true,
      std::chrono::system_clock::time_point start = std::chrono::system_clock::now()) {
    RunEntry e;
    e.start = start;
    e.durationMs = 12;
    e.normal = normal;
    e.display = std::move(display);
    e.script = std::move(script);
    return e;
  }
  int64_t count(const char* sql) { return raw()->queryInt(sql); }

  fs::path dir_;
  std::string path_;
  bool server_ = false;
};

INSTANTIATE_TEST_SUITE_P(Stores, Store, ::testing::ValuesIn(storesHere()),
                         [](const auto& info) { return info.param; });

TEST_P(Store, RunsKeepTheirPagesAndChangeAgainstTheLastNormalRunOfTheirScript) {
  const std::optional<bool> kChanged[] = {std::nullopt, false, std::nullopt, std::nullopt, true};
  {
    HistoryStore store(path_);
    RunEntry first = entry(u"x 1");
    using acquisition::FetchMode;
    acquisition::LoadRecord fetched, refused;
    fetched.url = "http://a/", fetched.finalUrl = "http://a/b", fetched.fetch = FetchMode::Direct;
    fetched.status = 200, fetched.charset = "UTF-8", fetched.loadMs = 40, fetched.settleMs = 0;
    refused.url = "http://c/", refused.loadMs = 5, refused.error = "refused";
    first.loads = {fetched, refused};
    // The store tells each run's change as it records it.
    const RunEntry runs[] = {first, entry(u"x 1"), entry(u"other", "b.spt"),
                             entry(u"\uFEFFhalf", "a.spt", false), entry(u"x 2")};
    for (size_t i = 0; i < std::size(runs); ++i) {
      store.record(runs[i]);
      EXPECT_EQ(store.lastChange(), kChanged[i]) << i;
    }
  }
  HistoryStore store(path_);
  const std::vector<RunRow> runs = store.runs();
  ASSERT_EQ(runs.size(), 5u);
  for (size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(runs[i].changed, kChanged[i]) << i;
  EXPECT_FALSE(runs[3].normal);
  EXPECT_EQ(store.display(runs[3].displayId), u"\uFEFFhalf");  // all of it
  EXPECT_EQ(runs[0].displayId, runs[1].displayId);             // a display is kept once
  EXPECT_EQ(runs[2].watch, "b");                               // the script's base name
  EXPECT_FALSE(runs[2].host.empty());
  EXPECT_EQ(count("SELECT count(*) FROM displays"), 4);
  EXPECT_EQ(count("SELECT count(*) FROM loads WHERE status = 200 AND settle_ms = 0 AND "
                  "final_url = 'http://a/b' AND charset = 'UTF-8'"),
            1);
  EXPECT_EQ(count("SELECT count(*) FROM loads WHERE status IS NULL AND settle_ms IS NULL AND "
                  "error = 'refused'"),
            1);
  const std::vector<SeriesPoint> x = store.series("x");
  ASSERT_EQ(x.size(), 3u);
  EXPECT_EQ(x[0].value + x[1].value + x[2].value, 4);
  // What the History window reads as runs come in: the runs after one it
  // holds, the series of the displays stored since, in line order.
  EXPECT_EQ(store.lastRunId(), runs[4].id);
  EXPECT_EQ(store.runs(runs[2].id).size(), 2u);
  SeriesCatalog catalog;
  catalog.readFrom(store);
  EXPECT_EQ(catalog.labels(), std::vector<std::string>{"x"});
  store.record(entry(u"y 5\nx 3\nw 1"));
  catalog.readFrom(store);
  EXPECT_EQ(catalog.labels(), (std::vector<std::string>{"x", "y", "w"}));
  using Values = std::vector<std::pair<uint32_t, double>>;
  EXPECT_EQ(catalog.valuesOf(runs[4].displayId), (Values{{0, 2}}));
  EXPECT_EQ(catalog.valuesOf(store.runs(runs[4].id).at(0).displayId),
            (Values{{1, 5}, {0, 3}, {2, 1}}));
}

TEST_P(Store, ExportsHaveOneRowPerRunAndOneColumnPerSeries) {
  const auto t0 = std::chrono::sys_days{std::chrono::year{2026} / 1 / 2} + hours(3);
  {
    HistoryStore store(path_);
    store.setRetention({0, 0});
    store.record(entry(u"・みかん\t￥298\r\nりんご\t￥198", "a.spt", true, t0));
    store.record(entry(u"stopped", "a.spt", false, t0 + hours(1)));
    store.record(entry(u"a, \"b\"\t7\r\nみかん\t318円", "a.spt", true, t0 + hours(2)));
  }
  const SeriesTable table = HistoryStore(path_, true).seriesTable();
  EXPECT_EQ(csvExport(table).text,
            "\xEF\xBB\xBFtime,outcome,みかん,りんご,\"a, \"\"b\"\"\"\r\n"
            "2026-01-02T03:00:00.000Z,normal,298,198,\r\n"
            "2026-01-02T04:00:00.000Z,stopped,,,\r\n"
            "2026-01-02T05:00:00.000Z,normal,318,,7\r\n");
  EXPECT_EQ(jsonLines(table),
            "{\"time\":\"2026-01-02T03:00:00.000Z\",\"outcome\":\"normal\",\"values\":"
            "{\"みかん\":298,\"りんご\":198}}\n"
            "{\"time\":\"2026-01-02T04:00:00.000Z\",\"outcome\":\"stopped\",\"values\":{}}\n"
            "{\"time\":\"2026-01-02T05:00:00.000Z\",\"outcome\":\"normal\",\"changed\":true,"
            "\"values\":{\"みかん\":318,\"a, \\\"b\\\"\":7}}\n");
  EXPECT_EQ(HistoryStore(path_, true).seriesLabels(), table.labels);
}

// Labels come from pages: what a spreadsheet would run as a formula is shown
// as text, while numbers stay numbers.
TEST(Csv, CellsASpreadsheetWouldRunGetALeadingQuote) {
  const struct {
    std::string_view field, cell;
  } cases[] = {
      {"=HYPERLINK(\"http://x/\",\"a\")", "\"'=HYPERLINK(\"\"http://x/\"\",\"\"a\"\")\""},
      {"+cmd|' /C calc'!A0", "'+cmd|' /C calc'!A0"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"-2+3", "'-2+3"},
      {"-", "'-"},
      {"-inf", "'-inf"},
      {"-1e", "'-1e"},
      {"\t=1", "'\t=1"},
      {"\r=1", "\"'\r=1\""},
      {"-3", "-3"},
      {"-3.5", "-3.5"},
      {"+3", "+3"},
      {"-.5", "-.5"},
      {"-1.25e+20", "-1.25e+20"},
      {"a=b", "a=b"},
      {"みかん（有田）", "みかん（有田）"},
      {"1,000", "\"1,000\""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(csvField(c.field), c.cell) << c.field;
}

TEST_P(Store, RetentionRemovesOldRunsAndDisplaysNoRunShows) {
  const auto now = std::chrono::system_clock::now();
  const struct {
    Retention keep;
    std::vector<int> ageDays;  // of the runs recorded, oldest first
    int64_t runsLeft, displaysLeft;
  } cases[] = {
      {{365, 0}, {400, 366, 10, 0}, 2, 2},
      {{0, 3}, {9, 8, 7, 6, 5}, 3, 3},
      {{30, 2}, {40, 20, 10, 5}, 2, 2},
      {{0, 0}, {4000, 1}, 2, 2},
  };
  for (const auto& c : cases) {
    fresh();
    HistoryStore store(path_);
    store.setRetention(c.keep);
    // Each run shows its own display, so displays go with their runs.
    for (const int age : c.ageDays) {
      store.record(entry(u"v " + std::u16string(1, u'0' + static_cast<char16_t>(age % 10)) +
                             std::u16string(1, u'a' + static_cast<char16_t>(age / 10 % 26)),
                         "a.spt", true, now - hours(24 * age)));
    }
    EXPECT_EQ(count("SELECT count(*) FROM runs"), c.runsLeft);
    EXPECT_EQ(count("SELECT count(*) FROM displays"), c.displaysLeft);
    EXPECT_EQ(count("SELECT count(*) FROM series"), c.displaysLeft);
    EXPECT_EQ(store.retention().days, c.keep.days);
  }
}

TEST_P(Store, DatabasesThatAreNoHistoryOrComeFromANewerProgramAreLeftAlone) {
  if (server_) {
    const struct {
      const char* sql;
      const char* message;
    } cases[] = {
        {"CREATE SCHEMA kelvane; CREATE TABLE kelvane.t(a int)",
         "is not a history database; it is left alone"},
        {"CREATE SCHEMA kelvane; CREATE TABLE kelvane.schema_version(version bigint);"
         "INSERT INTO kelvane.schema_version VALUES(99)",
         "was written by a newer Kelvane (history version 99); it is left alone"},
    };
    for (const auto& c : cases) {
      fresh();
      raw()->exec(c.sql);
      try {
        HistoryStore store(path_);
        ADD_FAILURE() << c.message;
      } catch (const HistoryError& e) {
        EXPECT_EQ(e.kind(), HistoryError::Kind::Refused);
        EXPECT_EQ(std::string(e.what()), "postgresql:// " + std::string(c.message));
      }
      EXPECT_EQ(count("SELECT count(*) FROM pg_tables WHERE schemaname = 'kelvane'"), 1);
    }
    fresh();
    EXPECT_THROW(HistoryStore(path_, true), HistoryError);  // nothing there yet
    return;
  }
  const auto make = [this](const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open((dir_ / "x").c_str(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return textfile::readFileBytes((dir_ / "x").string()).value();
  };
  const struct {
    std::string bytes;
    const char* message;
  } cases[] = {
      {"plain text, no database\n", "is not a history database; it is left alone"},
      {make("CREATE TABLE t(a)"), "is not a history database; it is left alone"},
      {make("PRAGMA application_id = 1263294024; PRAGMA user_version = 99"),
       "was written by a newer Kelvane (history version 99); it is left alone"},
  };
  for (const auto& c : cases) {
    const std::string path = (dir_ / "x").string();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
    try {
      HistoryStore store(path);
      ADD_FAILURE() << c.message;
    } catch (const HistoryError& e) {
      EXPECT_EQ(e.kind(), HistoryError::Kind::Refused);
      EXPECT_EQ(std::string(e.what()), path + " " + c.message);
    }
    EXPECT_EQ(textfile::readFileBytes(path).value(), c.bytes);
    EXPECT_FALSE(fs::exists(path + "-wal"));
    fs::remove(path);
  }
  EXPECT_THROW(HistoryStore((dir_ / "absent").string(), true), HistoryError);

  // A file of the second version (fetch choices; no notices, host, watch or
  // run ids) is brought up to date: its runs get ids, so that a copy of them
  // is made once.
  HistoryStore(path_).record(entry(u"x 1"));
  SqliteDatabase(path_, false)
      .exec(
          "DROP INDEX runs_by_uid; DROP INDEX runs_by_watch; ALTER TABLE runs DROP COLUMN uid;"
          "ALTER TABLE runs DROP COLUMN host; ALTER TABLE runs DROP COLUMN watch;"
          "DROP TABLE rule_states; DROP TABLE decisions; DROP TABLE deliveries;"
          "PRAGMA user_version = 2");
  EXPECT_EQ(HistoryStore(path_).entries(0, 9).at(0).entry.uid.size(), 32u);
  EXPECT_EQ(count("PRAGMA user_version"), 4);
  EXPECT_EQ(count("SELECT count(*) FROM deliveries"), 0);
}

// What a spool and a copy rely on: a run read back whole records as it was,
// and a run recorded twice (by its id) is kept once.
TEST_P(Store, RunsReadBackWholeAndARunSentTwiceIsKeptOnce) {
  const auto t0 = std::chrono::sys_days{std::chrono::year{2026} / 3 / 4} + hours(5);
  RunEntry first = entry(std::u16string(u"みかん\t￥298") + u'\0', "/w/a.spt", true, t0);
  first.watch = "prices";
  first.host = "box-1";
  first.message = "a message";
  acquisition::LoadRecord fetched, refused;
  fetched.url = "http://a/", fetched.finalUrl = "http://a/b";
  fetched.fetch = acquisition::FetchMode::Direct, fetched.status = 200;
  fetched.charset = "UTF-8", fetched.loadMs = 40, fetched.settleMs = 7;
  refused.url = "http://c/", refused.loadMs = 5, refused.error = "refused";
  first.loads = {fetched, refused};
  // More loads and series than one insert takes: all kept, in order.
  std::u16string many;
  for (int k = 0; k < 150; ++k) {
    many += u"item ";
    many += static_cast<char16_t>(u'a' + k / 26);
    many += static_cast<char16_t>(u'a' + k % 26);
    many += u"\t5\n";
  }
  RunEntry second = entry(many, "/w/a.spt", false, t0 + std::chrono::milliseconds(1500));
  for (int k = 0; k < 150; ++k) second.loads.push_back(refused), second.loads.back().loadMs = k;
  {
    HistoryStore store(path_);
    store.record(first);
    store.record(second);
  }
  HistoryStore store(path_);
  const std::vector<StoredRun> back = store.entries(0, 10);
  ASSERT_EQ(back.size(), 2u);
  const RunEntry& got = back[0].entry;
  EXPECT_EQ(got.start, first.start);
  EXPECT_EQ(back[1].entry.start, second.start);
  EXPECT_EQ(got.watch, "prices");
  EXPECT_EQ(back[1].entry.watch, "a");
  EXPECT_EQ(got.host, "box-1");
  EXPECT_EQ(got.message, "a message");
  // A server keeps no NUL character: it holds U+FFFD there.
  EXPECT_EQ(got.display, server_ ? u"みかん\t￥298\uFFFD" : first.display);
  ASSERT_EQ(got.loads.size(), 2u);
  EXPECT_EQ(got.loads[0].settleMs, 7);
  EXPECT_EQ(got.loads[1].status, std::nullopt);
  EXPECT_EQ(got.loads[1].error, "refused");
  EXPECT_EQ(got.uid.size(), 32u);
  EXPECT_FALSE(back[1].entry.normal);
  ASSERT_EQ(back[1].entry.loads.size(), 150u);
  EXPECT_EQ(back[1].entry.loads[149].loadMs, 149);
  EXPECT_EQ(count("SELECT count(*) FROM series WHERE label LIKE 'item %'"), 150);
  EXPECT_EQ(store.entries(back[0].id, 10).size(), 1u);

  // Sent again, as a spool does after a lost answer: nothing is added.
  EXPECT_EQ(store.record(got), back[0].id);
  EXPECT_EQ(store.runCount(), 2);
  store.remove(back[1].id);
  EXPECT_EQ(store.runCount(), 1);
  EXPECT_EQ(count("SELECT count(*) FROM displays"), 1);
}

}  // namespace
}  // namespace kelvane::history
