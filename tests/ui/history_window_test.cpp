// The window's runs in the history beside its settings, and the History
// window over them: the list and its filters, the difference of two runs,
// the chart of several series, what followed a run, the CSV export.
#include <sqlite3.h>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QMessageBox>
#include <QTableView>
#include <QTableWidget>
#include <QTextEdit>

#include "acquisition/update_timer.h"
#include "history/alerts.h"
#include "history/postgres.h"
#include "history/store.h"
#include "ui/form1_fixture.h"
#include "ui/history/history_chart.h"
#include "ui/history/history_pages.h"
#include "ui/history/history_window.h"

class HistoryWindowTest : public QObject, protected Form1Fixture {
  Q_OBJECT

 private slots:
  void init() { reset(); }

  void runsByHandAreRecordedAndShown() {
    auto form = start(path("p.spt"));
    for (const char* price : {"298", "318", "318"}) {
      writeScript(path("p.spt"), {"CLEAR\tD", "PUT\t\"・みかん\"\tD", "PUTTAB\tD",
                                  QString("PUT\t\"￥%1\"\tD").arg(price)});
      QCOMPARE(form->Exec_Click(), engine::RunOutcome::Normal);
    }
    writeScript(path("p.spt"), {"PUT\tbad\tD", "CR\tD"});
    form->Exec_Click();  // stopped by a message, recorded all the same
    choose(*form, "mnuHistory");
    auto* history = form->findChild<HistoryWindow*>();
    QVERIFY(history && history->isVisible());
    QAbstractItemModel* runs = history->runList()->model();
    QCOMPARE(runs->rowCount(), 4);
    const QStringList outcomes = {"正常", "正常", "正常", "停止"};
    const QStringList changed = {"", "あり", "なし", ""};
    for (int row = 0; row < 4; ++row) {
      QCOMPARE(runs->index(row, 1).data().toString(), outcomes[row]);
      QCOMPARE(runs->index(row, 2).data().toString(), changed[row]);
    }
    // The first run against the second: the changed digits are marked.
    history->chooseRows({0, 1});
    const QString diff = history->diffView()->toPlainText();
    QVERIFY2(diff.contains("- ・みかん\t￥298") && diff.contains("+ ・みかん\t￥318"),
             qPrintable(diff));
    QVERIFY(history->diffView()->toHtml().contains("font-weight"));
    history->tabs()->setCurrentIndex(HistoryWindow::ChartPage);  // the chart is drawn when shown
    QCOMPARE(history->chart()->checked(), QStringList{"みかん"});
    auto* line =
        qobject_cast<QLineSeries*>(history->chart()->chartView()->chart()->series().value(0));
    QVERIFY(line);
    QCOMPARE(line->count(), 3);
    QCOMPARE(line->at(0).y() + line->at(1).y() + line->at(2).y(), 298.0 + 318 + 318);
    // The export says where it wrote.
    QVERIFY(history->exportCsv(path("h.csv")));
    QCOMPARE(history->statusText(),
             QString("CSVを書き出しました: ") + QDir::toNativeSeparators(path("h.csv")));
  }

  // Several series on one chart, a one-point series drawn as a point; the
  // decisions and deliveries that followed a run; the lines left out of the
  // series; the list narrowed to a watch; runs recorded later come in.
  void aPriceTrackerOverWatchesAndHosts() {
    // A file, or the server the test was started beside (PGHOST set, as
    // tests/support/with-postgres.sh does).
    const bool server = std::getenv("PGHOST") != nullptr;
    const QString address = server ? QString("postgresql://") : path("tracker.sqlite");
    if (server) {
      history::PostgresDatabase("postgresql://").exec("DROP SCHEMA IF EXISTS kelvane CASCADE");
    }
    history::HistoryStore store(address.toStdString());
    const auto record = [&](const char* watch, const char* host, std::u16string display) {
      history::RunEntry run;
      run.start = std::chrono::system_clock::now();
      run.watch = watch;
      run.host = host;
      run.script = watch;
      run.display = std::move(display);
      return store.record(run);
    };
    record("shop", "a", u"みかん 5kg\t￥1,280\nバッテリー 10000mAh\t￥3,980\n更新 2026/12/07 9:30");
    const int64_t shopRun =
        record("shop", "a", u"みかん 5kg\t￥1,180\nバッテリー 10000mAh\t￥3,480");
    record("market", "b", u"いちご ￥500");
    history::AlertBook book(store);
    book.decide("shop", shopRun, [](const std::map<std::string, bool>&) {
      return history::Decisions{{{"\"みかん\" below 1200", true, "became true"}}, {}};
    });
    book.logDelivery({"2026-12-07T00:00:00.000Z", "shop", shopRun, "json://127.0.0.1/****",
                      "\"みかん\" below 1200", "failed", "refused"});

    HistoryWindow window(address);
    window.show();
    HistoryChart* chart = window.chart();
    window.tabs()->setCurrentIndex(HistoryWindow::ChartPage);
    QCOMPARE(chart->checked(), (QStringList{"みかん 5kg", "バッテリー 10000mAh", "いちご"}));
    int lines = 0;
    for (QAbstractSeries* s : chart->chartView()->chart()->series()) {
      if (s->type() != QAbstractSeries::SeriesTypeLine) continue;
      ++lines;
      auto* line = static_cast<QLineSeries*>(s);
      if (line->count() == 1) QVERIFY(line->pointsVisible());  // いちご's one run
    }
    QCOMPARE(lines, 3);
    const QString summary = chart->summary()->text();
    for (const char* said : {"みかん 5kg  最安 1180 / 最高 1280 / 現在 1180",
                             "バッテリー 10000mAh  最安 3480 / 最高 3980 / 現在 3480",
                             "いちご  最安 500 / 最高 500 / 現在 500"}) {
      QVERIFY2(summary.contains(said), qPrintable(summary));
    }

    window.chooseRows({1});
    QTableWidget* decisions = window.notices()->decisions();
    QCOMPARE(decisions->rowCount(), 1);
    QCOMPARE(decisions->item(0, 0)->text() + decisions->item(0, 1)->text(),
             QString("\"みかん\" below 1200する"));
    QTableWidget* deliveries = window.notices()->deliveries();
    QCOMPARE(deliveries->rowCount(), 1);
    QCOMPARE(deliveries->item(0, 2)->text() + deliveries->item(0, 4)->text() +
                 deliveries->item(0, 5)->text(),
             QString("json://127.0.0.1/****失敗refused"));
    window.chooseRows({0});
    QCOMPARE(window.notices()->decisions()->rowCount(), 0);
    QTableWidget* leftOut = window.leftOut()->lines();
    QCOMPARE(leftOut->rowCount(), 1);
    QCOMPARE(leftOut->item(0, 0)->text() + leftOut->item(0, 1)->text(),
             QString("3日付・時刻・番号の数だけです"));

    QComboBox* watches = window.watchBox();
    QCOMPARE(watches->count(), 3);  // すべて, market, shop
    watches->setCurrentIndex(watches->findText("shop"));
    emit watches->activated(watches->currentIndex());
    QCOMPARE(window.runList()->model()->rowCount(), 2);
    QCOMPARE(chart->seriesList()->count(), 2);
    QComboBox* hosts = window.hostBox();
    hosts->setCurrentIndex(hosts->findText("b"));
    emit hosts->activated(hosts->currentIndex());
    QCOMPARE(window.runList()->model()->rowCount(), 0);

    watches->setCurrentIndex(0);
    emit watches->activated(0);
    record("market", "b", u"いちご ￥480");
    window.lookForNewRuns();
    QCOMPARE(window.runList()->model()->rowCount(), 2);
    QCOMPARE(window.runList()->model()->index(1, 3).data().toString(), QString("market"));
  }

  // Series past the CSV's bound are named in a box beside the export.
  void seriesPastTheBoundAreNamed() {
    history::RunEntry run;
    run.start = std::chrono::system_clock::now();
    for (int i = 0; i < 502; ++i)
      run.display +=
          u"s" + std::u16string{char16_t(u'a' + i / 26), char16_t(u'a' + i % 26)} + u" 1\n";
    history::HistoryStore(path("h.sqlite").toStdString()).record(run);
    HistoryWindow window(path("h.sqlite"));
    QVERIFY(window.exportCsv(path("h.csv")));
    auto* box = window.findChild<QMessageBox*>("leftOutBox");
    QVERIFY(box && box->isVisible());
    QVERIFY2(box->text().contains("2"), qPrintable(box->text()));
    QCOMPARE(box->detailedText(), QString("stg\nsth"));
  }

  // A URL command's load is recorded with what the browser told of it, and
  // the first automatic run after a start compares its display with the
  // history's last run: a change is told although this window saw no run
  // before it.
  void pageLoadsAreRecordedAndAStartStillSeesAChange() {
    writeScript(path("u.spt"), {"URL\t\"page.html\"", "CLEAR\tD", "PUT\tHT\tD"});
    for (const char16_t* page : {u"<p>1</p>", u"<p>2</p>"}) {
      pages_[u"page.html"] = page;
      auto form = start(path("u.spt"));
      child<QLineEdit>(*form, "WaitValue")->setText("0");
      form->menuItem("mnuChangeNotice")->setChecked(true);
      form->run().ensureBrowser();
      browser_->facts.finalUrl = "http://127.0.0.1/page.html";
      browser_->facts.status = 200;
      browser_->facts.charset = "Shift_JIS";
      auto& scheduler = form->run().timer().scheduler();
      scheduler.setIntervalText(u"0");
      scheduler.setAutoUpdate(1);
      scheduler.tick();
    }
    QCOMPARE(notices_.size(), size_t{1});
    QCOMPARE(notices_[0].value(1), QString("<p>2</p>"));
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(path("kelvane-history.sqlite").toUtf8().constData(), &db), SQLITE_OK);
    sqlite3_stmt* rows = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db,
                                "SELECT count(*) FROM loads WHERE url = 'page.html' AND "
                                "final_url = 'http://127.0.0.1/page.html' AND status = 200 AND "
                                "charset = 'Shift_JIS' AND fetch = 'browser' AND error = '' AND "
                                "settle_ms IS NOT NULL",
                                -1, &rows, nullptr),
             SQLITE_OK);
    QCOMPARE(sqlite3_step(rows), SQLITE_ROW);
    QCOMPARE(sqlite3_column_int(rows, 0), 2);
    sqlite3_finalize(rows);
    sqlite3_close(db);
  }
};

QTEST_MAIN(HistoryWindowTest)
#include "history_window_test.moc"
