// kelvane-run with URL commands, end to end, against pages served here; and
// the proof that a script without one never loads the browser.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "test_server.h"

using kelvane::testing::TestServer;

class KelvaneRunPagesTest : public QObject {
  Q_OBJECT

 private:
  struct Result {
    int status = -1;
    QString out;
    QString err;
  };

  QString writeScript(const QString& name, const QString& text) {
    const QString path = dir_.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    return path;
  }

  // Runs kelvane-run while this process keeps serving pages.
  Result run(const QStringList& args,
             QProcessEnvironment env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    QEventLoop loop;
    connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(120'000, &loop, &QEventLoop::quit);
    process.start(QStringLiteral(KELVANE_RUN), args);
    loop.exec();
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished();
      return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
  }

  TestServer server_;
  QTemporaryDir dir_;

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    server_.route("/prices",
                  {"<html><body><ul><li>りんご <b>198</b></li><li>みかん <b>240</b></li></ul>"
                   "<script>setTimeout(function(){document.body.insertAdjacentHTML("
                   "'beforeend','<em>la'+'te</em>')},2500)</script></body></html>"});
  }

  // Without a display or a platform named: kelvane-run picks its own.
  void urlCommandLoadsAServedPage() {
    const QString script = writeScript(
        "prices.spt", "URL\t\"" + server_.url("/prices") +
                          "\"\r\nLOOP\t\"2\"\r\nGHC\tD\t\"<b>\"\t\"</b>\"\r\nCR\tD\r\nLOOPEND\r\n");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
    const Result r = run({"--wait", "0", script}, env);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out, QStringLiteral("198\r\n240\r\n"));
    QCOMPARE(r.status, 0);
  }

  void waitOptionLetsThePageSettle() {
    const QString script = writeScript("late.spt", "URL\t\"" + server_.url("/prices") + "\"\r\n");
    const Result quick = run({"--wait", "0", "--print", "HT", script});
    QCOMPARE(quick.status, 0);
    QVERIFY(!quick.out.contains("<em>late</em>"));
    // Wait 5 is 51 passes of 75 ms, about 3.8 s: past the script's 2.5 s.
    const Result settled = run({"--wait", "5", "--print", "HT", script});
    QCOMPARE(settled.status, 0);
    QVERIFY2(settled.out.contains("<em>late</em>"), qPrintable(settled.out));
  }

  // The browser lets go of the page between runs, not sooner: a script
  // address still acts on the page its run loaded, in every run.
  void scriptAddressActsOnThePageOfItsRun() {
    const QString script = writeScript(
        "js.spt", "URL\t\"" + server_.url("/prices") +
                      "\"\r\nURL\t\"javascript:document.body.innerHTML='<i>'+"
                      "document.getElementsByTagName('li').length+'</i>'\"\r\nPUT\tHT\tD\r\n");
    const Result r = run({"--wait", "0", "--runs", "3", script});
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out, QStringLiteral("<i>2</i><i>2</i><i>2</i>"));
    QCOMPARE(r.status, 0);
  }

  // Each run reads what the server has now, though the page's headers
  // would let a cache answer for it.
  void eachRunAsksTheServer() {
    server_.route("/fresh",
                  {"<p>v{count}</p>", "text/html", 200, 0, false, TestServer::kOldLastModified});
    const QString script = writeScript("fresh.spt", "URL\t\"" + server_.url("/fresh") + "\"\r\n");
    const Result r = run({"--wait", "0", "--runs", "2", "--print", "HT", script});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out, QStringLiteral("<p>v2</p>"));
  }

  // --settle auto waits for what a timer adds after the load, ends once the
  // page has settled, and --trace tells the settle time either way.
  void settleOptionAndItsTrace() {
    server_.route("/timer", {"<body><p>x</p><script>onload=function(){setTimeout(function(){"
                             "document.body.insertAdjacentHTML('beforeend','<em>la'+'te</em>')},"
                             "700)}</script></body>"});
    const QString script = writeScript("timer.spt", "URL\t\"" + server_.url("/timer") + "\"\r\n");
    const Result settled = run({"--settle", "auto", "--trace", "--print", "HT", script});
    QCOMPARE(settled.status, 0);
    QVERIFY2(settled.out.contains("<em>late</em>"), qPrintable(settled.out));
    QVERIFY2(
        QRegularExpression("\n    settle: auto, \\d+ ms of at most 9720: the page had settled\n")
            .match(settled.err)
            .hasMatch(),
        qPrintable(settled.err));
    const Result fixed = run({"--wait", "1", "--trace", script});
    QVERIFY2(QRegularExpression("\n    settle: fixed, \\d+ ms\n").match(fixed.err).hasMatch(),
             qPrintable(fixed.err));
  }

  // Either way of loading tells a failed load and stops the run there.
  // Standard error carries the reason alone, none of the browser's own log
  // lines: a TLS handshake that a plain HTTP server refuses makes Chromium
  // write some.
  void failedLoadIsReportedAndStopsTheRun() {
    QTcpServer plain;
    QVERIFY(plain.listen(QHostAddress::LocalHost));
    connect(&plain, &QTcpServer::newConnection, &plain, [&plain] {
      while (QTcpSocket* socket = plain.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [socket] {
          socket->write("HTTP/1.0 400 Bad Request\r\n\r\n");
          socket->disconnectFromHost();
        });
      }
    });
    const QString closed = QStringLiteral("http://127.0.0.1:%1/").arg(TestServer::closedPort());
    const QString https = QStringLiteral("https://127.0.0.1:%1/").arg(plain.serverPort());
    for (const QString& url : {closed, https}) {
      const QString script = writeScript(
          "down.spt", "PUT\t\"before\"\tD\r\nURL\t\"" + url + "\"\r\nPUT\t\"after\"\tD\r\n");
      for (const char* fetch : {"browser", "direct"}) {
        const Result r = run({"--wait", "0", "--fetch", fetch, script});
        QCOMPARE(r.out, QStringLiteral("before"));
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.startsWith("kelvane-run: cannot load URL: ") &&
                     r.err.endsWith(" (" + url + ")\n") && r.err.count('\n') == 1,
                 qPrintable(r.err));
      }
    }
  }

  // Nothing a page does brings a local file into the output, with either
  // fetcher: a refresh, a redirect, a script's navigation or its read of a
  // file, or an address cut from the page for the URL command. Each that
  // would reach the file is a failed load that says why; what the fetcher
  // never follows (a script, for the direct fetch) leaves the page as it is.
  void pagesNeverReadLocalFiles_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("browser");  // how the failure begins; empty: none
    QTest::addColumn<QString>("direct");
    const QString secret = QUrl::fromLocalFile(dir_.filePath("secret.txt")).toString();
    writeScript("secret.txt", "local secret");
    writeScript("refresh.html", "<meta http-equiv=refresh content='0;url=secret.txt'><p>x</p>");
    writeScript("script.html",
                "<p>x</p><script>setTimeout(()=>location.href='secret.txt')</script>");
    writeScript("read.html",
                "<body><script>var x=new XMLHttpRequest();try{x.open('GET','secret.txt',false);"
                "x.send();document.body.append(x.responseText)}catch(e){}</script></body>");
    const QByteArray meta = "<meta http-equiv=refresh content='0;url=";
    server_.route("/to-file/meta", {meta + secret.toUtf8() + "'>"});
    server_.route("/to-file/header", {"<p>x</p>", "text/html", 200, 0, false,
                                      "Refresh: 0; url=" + secret.toUtf8() + "\r\n"});
    server_.route("/to-file/base",
                  {"<base href='" + QUrl::fromLocalFile(dir_.path() + "/").toString().toUtf8() +
                   "'>" + meta + "secret.txt'>"});
    server_.route("/to-file/302",
                  {"", "text/html", 302, 0, false, "Location: " + secret.toUtf8() + "\r\n"});
    server_.route("/link", {"<a href=\"" + secret.toUtf8() + "\">x</a>"});
    const auto load = [](const QString& address) { return "URL\t\"" + address + "\"\r\n"; };
    const QString leads = QStringLiteral("the page leads to ");
    const QString refreshes = QStringLiteral("the page refreshes to ");
    QTest::newRow("local page, refresh")
        << load(dir_.filePath("refresh.html")) << leads << refreshes;
    QTest::newRow("local page, script") << load(dir_.filePath("script.html")) << leads << "";
    QTest::newRow("local page, script reads") << load(dir_.filePath("read.html")) << ""
                                              << "";
    QTest::newRow("meta refresh") << load(server_.url("/to-file/meta")) << "" << refreshes;
    QTest::newRow("Refresh header") << load(server_.url("/to-file/header")) << "" << refreshes;
    QTest::newRow("base and refresh") << load(server_.url("/to-file/base")) << "" << refreshes;
    QTest::newRow("302") << load(server_.url("/to-file/302")) << "net::ERR_UNSAFE_REDIRECT"
                         << "the server redirects to ";
    QTest::newRow("address from the page")
        << load(server_.url("/link")) + "GETC\tHT\tV1\t\"href=\"\"\t\"\"\"\r\nURL\tV1\r\n"
        << "the address comes from the page's text"
        << "the address comes from the page's text";
  }

  void pagesNeverReadLocalFiles() {
    QFETCH(QString, script);
    QFETCH(QString, browser);
    QFETCH(QString, direct);
    const QString path = writeScript("route.spt", script + "PUT\tHT\tD\r\n");
    for (const auto& [fetch, failure] : {std::pair{"browser", browser}, {"direct", direct}}) {
      const Result r = run({"--wait", "3", "--fetch", fetch, path});
      QVERIFY2(!r.out.contains("local secret") && !r.err.contains("local secret"),
               qPrintable(fetch + (": " + r.out)));
      QVERIFY2(r.status == (failure.isEmpty() ? 0 : 1), qPrintable(fetch + (": " + r.err)));
      QVERIFY2(failure.isEmpty() ? r.err.isEmpty()
                                 : r.err.startsWith("kelvane-run: cannot load URL: " + failure),
               qPrintable(fetch + (": " + r.err)));
    }
  }

  // --fetch direct: the browser's page text without the browser (the
  // dynamic loader's own account).
  void directFetchGivesTheBrowsersTextWithoutLoadingIt() {
    server_.route("/static", {"<TABLE><tr><td>a&amp;b<td>\xE3\x81\x82</table><p>x&nbsp;<br>y"});
    const QString page = writeScript("static.spt", "URL\t\"" + server_.url("/static") + "\"\r\n");
    const Result browser = run({"--wait", "0", "--print", "HT", page});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_DEBUG", "files");
    const Result direct = run({"--fetch", "direct", "--print", "HT", page}, env);
    QCOMPARE(direct.status, 0);
    QCOMPARE(direct.out, browser.out);
    QVERIFY(!direct.err.contains("libQt6"));
    QVERIFY(!direct.err.contains("kelvane_pageloader"));
  }

  // What each way of loading can tell of a load goes into the record: the
  // encoding from the HTTP header, the address shown, an error status.
  void recordTellsWhatEachFetchKnowsOfItsLoads() {
    server_.route("/sjis", {"<p>\x82\xA0</p>", "text/html; charset=Shift_JIS"});
    const QString script =
        writeScript("two.spt", "URL\t\"" + server_.url("/sjis") + "\"\r\nURL\t\"" +
                                   server_.url("/gone") + "\"\r\n");
    const QString record = dir_.filePath("loads.jsonl");
    for (const char* fetch : {"browser", "direct"}) {
      run({"--wait", "0", "--fetch", fetch, "--record", record, script});
    }
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    for (const QByteArray& line : lines) {
      const QJsonArray loads = QJsonDocument::fromJson(line).object()["loads"].toArray();
      QCOMPARE(loads.size(), 2);
      const QJsonObject page = loads[0].toObject(), gone = loads[1].toObject();
      QCOMPARE(page["final_url"].toString(), server_.url("/sjis"));
      QCOMPARE(page["charset"].toString(), QStringLiteral("Shift_JIS"));
      QVERIFY2(!page.contains("error"), line.constData());
      QCOMPARE(gone["status"].toInt(), 404);
      QVERIFY2(gone["error"].toString().startsWith("HTTP status 404"), line.constData());
    }
    // Only the direct fetch sees the response itself.
    const QJsonObject direct = QJsonDocument::fromJson(lines[1]).object()["loads"][0].toObject();
    QCOMPARE(direct["status"].toInt(), 200);
    QCOMPARE(direct["bytes"].toInt(), 9);
  }

  // SIGTERM in each of the browser's states: while the page still loads,
  // while it settles, and while a page whose script spins keeps the body
  // read waiting. The wait gives up at once, the run counts as stopped, and
  // the program ends by the signal. It takes well under a second on an idle
  // machine; the bound here leaves room for a loaded one.
  void sigtermEndsAWatchInEveryBrowserState_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("endless");
    QTest::addColumn<QString>("wait");
    QTest::newRow("load") << QByteArray("<p>never all of it</p>") << true << "0";
    QTest::newRow("settle") << QByteArray("<p>still</p>") << false << "100";
    QTest::newRow("body read") << QByteArray(
                                      "<script>onload=function(){setTimeout(function(){"
                                      "for(;;);},0)}</script>")
                               << false << "1";
  }

  void sigtermEndsAWatchInEveryBrowserState() {
    QFETCH(QByteArray, page);
    QFETCH(bool, endless);
    QFETCH(QString, wait);
    const QString path = "/" + QString(QTest::currentDataTag()).replace(' ', '-');
    server_.route(path, {page, "text/html", 200, 0, endless});
    writeScript("watched.spt", "URL\t\"" + server_.url(path) + "\"\r\nPUT\t\"x\"\tD\r\n");
    const QString settings = dir_.filePath("Kelvane.cnf");
    QFile file(settings);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // Interval 1, automatic update on, the script beside the settings.
    file.write(
        " 3915 \r\n 7410 \r\n 0 \r\n 0 \r\n\r\n1\r\n 1 \r\n\r\n 0 \r\n 0 \r\n\r\n\r\n"
        "\r\n\r\n 9 \r\nwatched.spt\r\n 0 \r\n 0 \r\nX\r\nFalse\r\nFalse\r\n8\r\n");
    file.close();
    const QString record = dir_.filePath(path.mid(1) + ".jsonl");
    QProcess process;
    process.start(QStringLiteral(KELVANE_RUN),
                  {"--watch", settings, "--wait", wait, "--record", record});
    QTRY_VERIFY_WITH_TIMEOUT(server_.requests(path) > 0, 60'000);
    QTest::qWait(1500);
    QElapsedTimer sent;
    sent.start();
    process.terminate();
    QVERIFY(process.waitForFinished(10'000));
    QVERIFY2(sent.elapsed() < 3000, qPrintable(QString::number(sent.elapsed())));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);  // ended by the signal
    QFile lines(record);
    QVERIFY(lines.open(QIODevice::ReadOnly));
    const QByteArray text = lines.readAll();
    QCOMPARE(text.count('\n'), 1);
    QVERIFY2(text.contains("\"outcome\":\"stopped\""), text.constData());
  }

  // The headless browser asks only for what can change the markup: style
  // sheets and scripts, not images, fonts, media, prefetched pages or the
  // icon. The page's text is what it would be with all of them, and the
  // page counts as shown: its animation frames run.
  void headlessLoadsSkipWhatOnlyShows() {
    server_.route(
        "/parts.css",
        {"@font-face{font-family:f;src:url(/parts.woff)}body{font-family:f}", "text/css"});
    server_.route("/parts.js", {"var b=document.body;b.insertAdjacentHTML('beforeend','<i>'+"
                                "getComputedStyle(b).fontFamily+'</i>');requestAnimationFrame("
                                "function(){b.insertAdjacentHTML('beforeend','<b>'+"
                                "document.visibilityState+'</b>')})",
                                "text/javascript"});
    server_.route("/parts",
                  {"<html><head><link rel=stylesheet href=/parts.css>"
                   "<link rel=icon href=/parts.ico><link rel=preload as=image href=/pre.png>"
                   "</head><body><img src=/parts.png><video src=/parts.mp4 autoplay></video>"
                   "<link rel=prefetch href=/next><p>text</p><script src=/parts.js></script>"
                   "</body></html>"});
    const QString script = writeScript("parts.spt", "URL\t\"" + server_.url("/parts") + "\"\r\n");
    const Result r = run({"--wait", "1", "--print", "HT", script});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.endsWith("<p>text</p><script src=\"/parts.js\"></script><i>f</i><b>visible</b>"),
             qPrintable(r.out));
    QCOMPARE(server_.requests("/parts.css"), 1);
    QCOMPARE(server_.requests("/parts.js"), 1);
    for (const char* skipped : {"/parts.woff", "/parts.ico", "/pre.png", "/parts.png", "/parts.mp4",
                                "/next", "/favicon.ico"}) {
      QVERIFY2(server_.requests(skipped) == 0, skipped);
    }
  }

  // --fetch auto: a page without scripts is read directly, without the
  // browser; a page whose list its script writes gets the browser's display
  // and, once that is remembered in the history, only the browser's one
  // request; a page whose script does not change the display is direct
  // after its first run.
  void autoFetchUsesTheBrowserOnlyWhenThePageNeedsIt() {
    server_.route("/auto-static", {"<ul><li>a</li><li>b</li></ul>"});
    server_.route("/auto-written",
                  {"<ul id=l></ul><script>for(var i of ['x','y'])document.getElementById('l')"
                   ".insertAdjacentHTML('beforeend','<li>'+i+'</li>')</script>"});
    server_.route("/auto-quiet", {"<ul><li>a</li><li>b</li></ul><script>var seen=1</script>"});
    struct Case {
      QString path;
      QString display;
      QString first, firstWhy;  // the fetcher of each run, and why
      QString second, secondWhy;
    };
    const Case cases[] = {
        {"/auto-static", "a\r\nb\r\n", "direct", "first load of this address: no scripts", "direct",
         "remembered: no scripts"},
        {"/auto-written", "x\r\ny\r\n", "browser", "first load of this address: scripts", "browser",
         "remembered: the display differs without the browser"},
        {"/auto-quiet", "a\r\nb\r\n", "browser", "first load of this address: scripts", "direct",
         "remembered: the same display both ways"},
    };
    const QString history = dir_.filePath("auto.sqlite");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_DEBUG", "files");
    for (const Case& c : cases) {
      const QString name = c.path.mid(1);
      const QString script =
          writeScript(name + ".spt", "URL\t\"" + server_.url(c.path) +
                                         "\"\r\nLOOP\t\"2\"\r\nGHC\tD\t\"<li>\"\t\"</li>\"\r\nCR\t"
                                         "D\r\nLOOPEND\r\n");
      const QString record = dir_.filePath(name + ".jsonl");
      const QStringList args = {"--fetch", "auto",     "--wait", "0",       "--history",
                                history,   "--record", record,   "--trace", script};
      const Result first = run(args, env);
      const int requests = server_.requests(c.path);
      const Result second = run(args, env);
      QCOMPARE(first.out, c.display);
      QCOMPARE(second.out, c.display);
      QCOMPARE(server_.requests(c.path), requests + 1);
      QCOMPARE(first.err.contains("kelvane_pageloader"), c.first == "browser");
      QCOMPARE(second.err.contains("kelvane_pageloader"), c.second == "browser");
      QVERIFY2(first.err.contains("    fetch " + c.first + ": " + c.firstWhy), qPrintable(c.path));
      QFile file(record);
      QVERIFY(file.open(QIODevice::ReadOnly));
      const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
      QCOMPARE(lines.size(), 2);
      const QJsonObject one = QJsonDocument::fromJson(lines[0]).object()["loads"][0].toObject();
      const QJsonObject two = QJsonDocument::fromJson(lines[1]).object()["loads"][0].toObject();
      QCOMPARE(one["fetch"].toString(), c.first);
      QVERIFY2(one["fetch_why"].toString().startsWith(c.firstWhy), lines[0].constData());
      QCOMPARE(two["fetch"].toString(), c.second);
      QCOMPARE(two["fetch_why"].toString(), c.secondWhy);
    }
  }

  // The dynamic loader's own account of what it loaded.
  void browserIsLoadedOnlyForAUrlCommand() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_DEBUG", "files");
    const QString plain = writeScript("noload.spt", "PUT\t\"x\"\tD\r\n");
    const Result without = run({plain}, env);
    QCOMPARE(without.status, 0);
    QVERIFY(without.err.contains("kelvane-run"));  // the trace is there
    QVERIFY(!without.err.contains("kelvane_pageloader"));
    QVERIFY(!without.err.contains("libQt6"));
    const QString load = writeScript("load.spt", "URL\t\"" + server_.url("/prices") + "\"\r\n");
    const Result with = run({"--wait", "0", load}, env);
    QCOMPARE(with.status, 0);
    QVERIFY(with.err.contains("kelvane_pageloader.so"));
    QVERIFY(with.err.contains("libQt6WebEngineCore"));
  }
};

QTEST_GUILESS_MAIN(KelvaneRunPagesTest)
#include "kelvane_run_pages_test.moc"
