// Page loading over a real Qt WebEngine, against pages served on 127.0.0.1.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QtTest>
#include <csignal>
#include <memory>

#include "acquisition/page_loader.h"
#include "acquisition/qt_waits.h"
#include "engine/fake_host.h"
#include "platform/web_engine_browser.h"
#include "test_server.h"
#include "textfile/text_codec.h"

using kelvane::acquisition::kLoadingNotice;
using kelvane::acquisition::PageLoader;
using kelvane::engine::RunOutcome;
using kelvane::platform::WebEngineBrowser;
using kelvane::testing::TestServer;

namespace {

std::u16string u16(const QString& s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()),
                        static_cast<size_t>(s.size()));
}
QString q(std::u16string_view s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

class PageLoadingTest : public QObject {
  Q_OBJECT

 private:
  // A script run through the engine, whose URL command goes to the loader.
  struct Run : kelvane::acquisition::LoadHost {
    kelvane::engine::testing::Bench bench;
    std::u16string urlShown;  // what the URL box would show
    std::u16string waitValue = u"0";
    std::vector<std::u16string> displaySeen;
    std::vector<std::u16string> failures;
    kelvane::acquisition::SettleMode settle = kelvane::acquisition::SettleMode::Fixed;
    std::vector<kelvane::acquisition::SettleReport> settles;
    std::unique_ptr<PageLoader> loader;

    Run(WebEngineBrowser& browser, std::chrono::milliseconds deadline) {
      loader = std::make_unique<PageLoader>(bench.engine, browser, *this, deadline);
      bench.host.onOpenUrl = [this](std::u16string_view url) { loader->loadUrl(url); };
    }
    void wait(int ms) override {
      kelvane::acquisition::pauseWithEvents(ms);
      displaySeen.emplace_back(bench.d());
      kelvane::acquisition::processPendingEvents();
    }
    std::u16string waitValueText() override { return waitValue; }
    kelvane::acquisition::SettleMode settleMode() override { return settle; }
    void loadStarting(std::u16string_view url) override { urlShown.assign(url); }
    void loadFailed(std::u16string_view r) override { failures.emplace_back(r); }
    void settled(const kelvane::acquisition::SettleReport& r) override { settles.push_back(r); }
    RunOutcome run(std::initializer_list<std::u16string_view> lines) { return bench.run(lines); }
    QString ht() const { return q(bench.ht()); }
    QString d() const { return q(bench.d()); }
  };

  std::unique_ptr<Run> newRun(std::chrono::milliseconds deadline = std::chrono::seconds(90)) {
    return std::make_unique<Run>(*browser_, deadline);
  }
  static std::u16string urlLine(const QString& url) { return u"URL\t\"" + u16(url) + u"\""; }

  TestServer server_;
  std::unique_ptr<WebEngineBrowser> browser_;

 private slots:
  void initTestCase() {
    browser_ = std::make_unique<WebEngineBrowser>();
    server_.route("/prices",
                  {"<html><head><title>t</title></head><body><h1>Prices</h1>\n<P CLASS=a>1"
                   "</P><script>document.body.insertAdjacentHTML('beforeend',"
                   "'<i>by script</i>')</script></body></html>"});
    server_.route("/a", {"<body><b>A</b></body>"});
    server_.route("/b", {"<body><b>B</b></body>"});
    server_.route("/secret", {"<p>who are you?</p>", "text/html", 401, 0, false,
                              "WWW-Authenticate: Basic realm=\"kelvane\"\r\n"});
  }

  void cleanupTestCase() { browser_.reset(); }

  void bodyOfAnEmptyBrowserIsEmpty() {
    const auto body = browser_->bodyHtml();
    QVERIFY(body.has_value());
    QCOMPARE(q(*body), QString());
  }

  void urlCommandFillsHtWithTheBrowsersBodyMarkup() {
    auto r = newRun();
    QCOMPARE(r->run({urlLine(server_.url("/prices")), u"PUT\t\"done\"\tD"}), RunOutcome::Normal);
    // The browser's own serialisation, with what the page's script added.
    QCOMPARE(r->ht(), QStringLiteral("<h1>Prices</h1>\n<p class=\"a\">1</p><script>document.body."
                                     "insertAdjacentHTML('beforeend','<i>by script</i>')</script>"
                                     "<i>by script</i>"));
    QCOMPARE(r->d(), QStringLiteral("done"));
    QCOMPARE(q(r->urlShown), server_.url("/prices"));
    QVERIFY(r->failures.empty());
  }

  void shiftJisPageWithDeclaredCharsetIsDecoded() {
    const std::u16string text = u"青果市場　りんご￥１９８　ｶﾅ";
    const auto sjis = kelvane::textfile::encodeCp932(text);
    QVERIFY(sjis.has_value());
    server_.route("/sjis", {QByteArray("<html><head><meta charset=\"Shift_JIS\"></head><body>") +
                                QByteArray::fromStdString(*sjis) + "</body></html>",
                            "text/html"});
    auto r = newRun();
    QCOMPARE(r->run({urlLine(server_.url("/sjis"))}), RunOutcome::Normal);
    QCOMPARE(r->ht(), q(text));
  }

  void neverFinishingServerStopsTheRunAtTheDeadline() {
    server_.route("/hang", {"<body><p>first half</p>" + QByteArray(2000, ' ') + "</body>",
                            "text/html", 200, 0, /*neverFinish=*/true});
    auto r = newRun(std::chrono::milliseconds(1500));
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(r->run({urlLine(server_.url("/hang")), u"PUT\t\"next line\"\tD"}),
             RunOutcome::Stopped);
    QVERIFY(elapsed.elapsed() >= 1500);
    QVERIFY(r->bench.engine.stopFlag());
    QCOMPARE(r->d(), QString());  // the next line did not run
    // The page text is what the browser shows by then: the half that came.
    QVERIFY2(r->ht().contains("<p>first half</p>"), qPrintable(r->ht()));
    QVERIFY(r->failures.empty());  // a time-out is silent
    QVERIFY(r->bench.host.messages.empty());
    QVERIFY(browser_->Busy());
  }

  // Also shows that the load left hanging above does not finish this one.
  void twoPagesInTurn() {
    auto r = newRun();
    QCOMPARE(r->run({urlLine(server_.url("/a")), u"PUT\tHT\tD", urlLine(server_.url("/b")),
                     u"PUT\tHT\tD"}),
             RunOutcome::Normal);
    QCOMPARE(r->d(), QStringLiteral("<b>A</b><b>B</b>"));
    QCOMPARE(r->ht(), QStringLiteral("<b>B</b>"));
    QVERIFY(!browser_->Busy());
  }

  // A page with an old Last-Modified and no cache headers is asked of the
  // server again on every load, also by the window's browser (a view of its
  // own, on the default profile), not answered from the cache.
  void everyLoadAsksTheServer() {
    server_.route("/fresh",
                  {"<p>v{count}</p>", "text/html", 200, 0, false, TestServer::kOldLastModified});
    QWebEngineView view;
    WebEngineBrowser windowBrowser(&view);
    for (WebEngineBrowser* browser : {browser_.get(), &windowBrowser}) {
      Run r(*browser, std::chrono::seconds(90));
      const int before = server_.requests("/fresh");
      QCOMPARE(r.run({urlLine(server_.url("/fresh")), u"PUT\tHT\tD", urlLine(server_.url("/a")),
                      urlLine(server_.url("/fresh")), u"PUT\tHT\tD"}),
               RunOutcome::Normal);
      QCOMPARE(r.d(), QStringLiteral("<p>v%1</p><p>v%2</p>").arg(before + 1).arg(before + 2));
    }
  }

  void failedLoadsLeaveHtEmptyAndStopTheRun_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("reason");
    QTest::newRow("unreachable port")
        << QStringLiteral("http://127.0.0.1:%1/").arg(TestServer::closedPort())
        << QStringLiteral("net::ERR_CONNECTION_REFUSED");
    QTest::newRow("unparsable") << QStringLiteral("http://[::1")
                                << QStringLiteral("the address cannot be parsed");
    QTest::newRow("bad port") << QStringLiteral("http://127.0.0.1:99999/")
                              << QStringLiteral("the address cannot be parsed");
    QTest::newRow("empty") << QString() << QStringLiteral("no address given");
    QTest::newRow("http error") << server_.url("/missing") << QStringLiteral("HTTP status 404");
    QTest::newRow("password asked") << server_.url("/secret") << QStringLiteral("HTTP status 401");
  }

  void failedLoadsLeaveHtEmptyAndStopTheRun() {
    QFETCH(QString, url);
    QFETCH(QString, reason);
    auto r = newRun();
    r->bench.engine.ht().assign(u"<p>previous page</p>");
    QCOMPARE(r->run({u"PUT\t\"kept\"\tD", urlLine(url), u"PUT\t\"next line\"\tD"}),
             RunOutcome::Stopped);
    QCOMPARE(r->ht(), QString());
    QCOMPARE(r->d(), QStringLiteral("kept"));
    QCOMPARE(r->failures.size(), size_t{1});
    QVERIFY2(q(r->failures[0]).startsWith(reason), qPrintable(q(r->failures[0])));
    QVERIFY(r->bench.host.messages.empty());
    QVERIFY(!browser_->Busy());
  }

  // Addresses that bring no new document: a script address runs in the page
  // shown (all of it, past any "?" or "#"), a fragment of the page shown
  // only moves to it. Neither leaves the browser busy until the deadline.
  void addressesWithoutANewDocument_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("ht");
    const QString a = server_.url("/a");
    QTest::newRow("script") << a << "javascript:document.body.innerHTML='%3Ci%3Echanged%3C/i%3E'"
                            << "<i>changed</i>";
    QTest::newRow("script with ? and #")
        << a << "javascript:document.body.innerHTML='a?b#c'+'%23d'+'%E3%81%82'"
        << "a?b#c#dあ";
    QTest::newRow("fragment") << a << a + "#x"
                              << "<b>A</b>";
    QTest::newRow("same fragment") << a + "#x" << a + "#x"
                                   << "<b>A</b>";
    QTest::newRow("other fragment") << a + "#x" << a + "#y"
                                    << "<b>A</b>";
  }

  void addressesWithoutANewDocument() {
    QFETCH(QString, first);
    QFETCH(QString, address);
    QFETCH(QString, ht);
    auto r = newRun(std::chrono::seconds(10));
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(r->run({urlLine(first), urlLine(address), u"PUT\t\"next\"\tD"}), RunOutcome::Normal);
    QVERIFY2(elapsed.elapsed() < 5000, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(r->ht(), ht);
    QCOMPARE(r->d(), QStringLiteral("next"));
  }

  // The settle wait that ends once the page has settled waits for what a
  // page adds after its load, and runs to its cap on a page that never
  // stops changing.
  void autoSettle_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("wait");
    QTest::addColumn<QString>("added");  // must be in HT (and not in the page's source)
    QTest::addColumn<bool>("settled");
    QTest::newRow("still page") << QByteArray("<p>still</p>") << "8"
                                << "<p>still</p>" << true;
    QTest::newRow("timer") << QByteArray(
                                  "<p>x</p><script>onload=function(){setTimeout(function(){"
                                  "document.body.insertAdjacentHTML('beforeend','<em>ti'+'mer"
                                  "</em>')},700)}</script>")
                           << "8"
                           << "<em>timer</em>" << true;
    QTest::newRow("slow request")
        << QByteArray(
               "<p>x</p><script>onload=function(){fetch('/data').then(function(r){"
               "return r.text()}).then(function(t){document.body.insertAdjacentHTML("
               "'beforeend','<em>'+t+'</em>')})}</script>")
        << "8"
        << "<em>fresh</em>" << true;
    // The page is busy for 2.5 s after its load, then writes: a page that
    // cannot answer is not quiet.
    QTest::newRow("busy script")
        << QByteArray(
               "<p>x</p><script>onload=function(){setTimeout(function(){var t=Date.now();"
               "while(Date.now()-t<2500);setTimeout(function(){document.body."
               "insertAdjacentHTML('beforeend','<em>bu'+'sy</em>')},10)},50)}</script>")
        << "8"
        << "<em>busy</em>" << true;
    QTest::newRow("never still") << QByteArray(
                                        "<p>x</p><script>setInterval(function(){document."
                                        "body.title=Date.now()},50)</script>")
                                 << "2"
                                 << "<p>x</p>" << false;
  }

  void autoSettle() {
    QFETCH(QByteArray, page);
    QFETCH(QString, wait);
    QFETCH(QString, added);
    QFETCH(bool, settled);
    server_.route("/data", {"fresh", "text/plain", 200, 1200});
    server_.route("/settle", {"<body>" + page + "</body>"});
    auto r = newRun();
    r->settle = kelvane::acquisition::SettleMode::Auto;
    r->waitValue = u16(wait);
    QCOMPARE(r->run({urlLine(server_.url("/settle"))}), RunOutcome::Normal);
    QVERIFY2(r->ht().contains(added), qPrintable(r->ht()));
    QCOMPARE(r->settles.size(), size_t{1});
    QCOMPARE(r->settles[0].settled, settled);
  }

  // Pages that would hold a watcher up for good: a script's dialogs are
  // answered at once, as a user closing them would (the window's browser
  // shows them; this one would wait for nobody).
  void pagesThatFightBack_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("wait");
    QTest::addColumn<QString>("added");
    QTest::newRow("dialogs while parsing")
        << QByteArray(
               "<script>alert('a');var c=confirm('b'),p=prompt('c','d');"
               "document.write('<i>'+c+' '+p+'</i>')</script>")
        << "0"
        << "<i>false null</i>";
    QTest::newRow("dialog after the load")
        << QByteArray(
               "<script>onload=function(){setTimeout(function(){alert('a');"
               "document.body.insertAdjacentHTML('beforeend','<i>after</i>')},100)}"
               "</script>")
        << "3"
        << "<i>after</i>";
  }

  void pagesThatFightBack() {
    QFETCH(QByteArray, page);
    QFETCH(QString, wait);
    QFETCH(QString, added);
    server_.route("/fights", {"<body>" + page + "</body>"});
    auto r = newRun();
    r->waitValue = u16(wait);
    QCOMPARE(r->run({urlLine(server_.url("/fights"))}), RunOutcome::Normal);
    QVERIFY2(r->ht().contains(added), qPrintable(r->ht()));
  }

  // The page's process ending under it (here killed; a page that runs out
  // of memory crashes it) is a failed load that says so.
  void rendererEndIsAFailedLoad() {
    server_.route("/victim", {"<p>here</p>"});
    auto r = newRun();
    r->waitValue = u"5";
    QTimer::singleShot(1000, [this] {
      ::kill(static_cast<pid_t>(browser_->view()->page()->renderProcessPid()), SIGKILL);
    });
    QCOMPARE(r->run({urlLine(server_.url("/victim")), u"PUT\t\"next\"\tD"}), RunOutcome::Stopped);
    QCOMPARE(r->ht(), QString());
    QCOMPARE(r->failures.size(), size_t{1});
    QVERIFY2(q(r->failures[0]).startsWith("the page's process was killed"),
             qPrintable(q(r->failures[0])));
  }

  // A page over a cap fails to load with the reason: markup too long to hand
  // over, or a process grown past the memory cap (here by script). One at the
  // cap loads.
  void pagesOverTheCaps_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<qint64>("memoryCapMiB");
    QTest::addColumn<QString>("failure");  // empty: the page loads
    QTest::newRow("markup at the cap") << QByteArray(4096, 'x') << qint64{4096} << QString();
    QTest::newRow("markup over the cap")
        << QByteArray(4097, 'x') << qint64{4096} << "the page is larger than 4096 bytes (http";
    QTest::newRow("memory over the cap")
        << QByteArray(
               "<script>var a=[];for(var i=0;i<100;i++)"
               "a.push(new Float64Array(1<<20).fill(1))</script>")
        << qint64{400} << "the page is too large: its process needed more than 400 MiB (http";
  }

  void pagesOverTheCaps() {
    QFETCH(QByteArray, body);
    QFETCH(qint64, memoryCapMiB);
    QFETCH(QString, failure);
    server_.route("/big", {"<body>" + body + "</body>"});
    browser_->setPageCaps(4096, memoryCapMiB << 20);
    auto r = newRun();
    r->waitValue = u"3";
    const auto outcome = r->run({urlLine(server_.url("/big")), u"PUT\t\"next\"\tD"});
    browser_->setPageCaps(kelvane::acquisition::kPageCapBytes,
                          kelvane::platform::kRendererMemoryCapBytes);
    const bool loads = failure.isEmpty();
    QCOMPARE(outcome, loads ? RunOutcome::Normal : RunOutcome::Stopped);
    QCOMPARE(r->ht(), loads ? QString(body) : QString());
    QCOMPARE(r->failures.size(), size_t{loads ? 0u : 1u});
    if (!loads) QVERIFY2(q(r->failures[0]).startsWith(failure), qPrintable(q(r->failures[0])));
  }

  void documentWithoutBodyGivesEmptyMarkup() {
    server_.route("/svg", {"<svg xmlns=\"http://www.w3.org/2000/svg\"><text>hi</text></svg>",
                           "image/svg+xml"});
    auto r = newRun();
    QCOMPARE(r->run({urlLine(server_.url("/svg")), u"PUT\t\"next\"\tD"}), RunOutcome::Normal);
    QCOMPARE(r->ht(), QString());
    QCOMPARE(r->d(), QStringLiteral("next"));
  }

  void relativeFileNameResolvesAgainstTheCurrentDirectory() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    for (const QString& name : {QStringLiteral("page.html"), QStringLiteral("sub/inner.html")}) {
      QFile file(dir.filePath(name));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("<body>" + name.toUtf8() + "</body>");
    }
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    auto r = newRun();
    const auto outcome =
        r->run({u"URL\t\"page.html\"", u"PUT\tHT\tD", u"URL\t\"sub/inner.html\"", u"PUT\tHT\tD"});
    QDir::setCurrent(previous);
    QCOMPARE(outcome, RunOutcome::Normal);
    QCOMPARE(r->d(), QStringLiteral("page.htmlsub/inner.html"));
  }

  // The cases of reading a typed address are in address_test; here, what Qt
  // makes of the address read.
  void addressResolution_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");  // empty: rejected
    QTest::newRow("full") << "http://127.0.0.1:8080/x?q=1#f"
                          << "http://127.0.0.1:8080/x?q=1#f";
    QTest::newRow("existing file") << "here.html"
                                   << "file://%1/here.html";
    QTest::newRow("file with # in its name") << "a b#1.html"
                                             << "file://%1/a b%231.html";
    QTest::newRow("file url") << "file:///etc/hosts"
                              << "file:///etc/hosts";
    QTest::newRow("space in host") << "http://exa mple.com/"
                                   << "";
    QTest::newRow("open bracket") << "http://["
                                  << "";
    QTest::newRow("blank") << "   "
                           << "";
  }

  void addressResolution() {
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QFile(dir.filePath("here.html")).open(QIODevice::WriteOnly);
    QFile(dir.filePath("a b#1.html")).open(QIODevice::WriteOnly);
    QString error;
    const auto url = kelvane::platform::resolveAddress(typed, dir.path(), &error);
    if (expected.isEmpty()) {
      QVERIFY(!url);
      QVERIFY(!error.isEmpty());
    } else {
      QVERIFY2(url, qPrintable(error));
      QCOMPARE(url->toString(), expected.contains("%1") ? expected.arg(dir.path()) : expected);
    }
  }
};

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  PageLoadingTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "page_loading_test.moc"
