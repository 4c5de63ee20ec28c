// The history file: what a run leaves in it, the exports, the retention, and
// files it must leave alone.
#include "history/store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "history/export.h"
#include "textfile/file_io.h"

namespace kelvane::history {
namespace {

namespace fs = std::filesystem;
using std::chrono::hours;

class Store : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kelvane-history-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    path_ = (dir_ / "sub" / "h.sqlite").string();  // the folder is made on first use
  }
  void TearDown() override { fs::remove_all(dir_); }

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
  int64_t count(const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
    const int64_t n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(Store, RunsKeepTheirPagesAndChangeAgainstTheLastNormalRunOfTheirScript) {
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
}

TEST_F(Store, ExportsHaveOneRowPerRunAndOneColumnPerSeries) {
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

TEST_F(Store, RetentionRemovesOldRunsAndDisplaysNoRunShows) {
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
    fs::remove_all(dir_ / "sub");
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

TEST_F(Store, FilesThatAreNoHistoryOrComeFromANewerProgramAreLeftAlone) {
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
}

}  // namespace
}  // namespace kelvane::history
