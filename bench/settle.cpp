// The settle wait that ends once the page has settled against the fixed
// one, whole kelvane-run processes, interleaved: the bundled example served
// over HTTP at wait 8 (time and output), and pages that add content 0.7 s
// after their load (a timer) or 1.2 s after it (a slow request), or change
// every 200 ms for good.
// Usage: bench_settle KELVANE_RUN EXAMPLES_DIR [REPEATS]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

struct Reply {
  QByteArray body;
  int delayMs = 0;
};

// A small HTTP server; every reply closes its connection.
class Server : public QObject {
 public:
  explicit Server(std::map<QByteArray, Reply> routes) : routes_(std::move(routes)) {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) serve(socket);
    });
  }
  QByteArray url(const QByteArray& path) const {
    return "http://127.0.0.1:" + QByteArray::number(server_.serverPort()) + path;
  }

 private:
  void serve(QTcpSocket* socket) {
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto request = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
      *request += socket->readAll();
      if (!request->contains("\r\n\r\n")) return;
      const QByteArray path = request->split(' ').value(1);
      const auto it = routes_.find(path);
      const Reply reply = it == routes_.end() ? Reply{"", 0} : it->second;
      const QByteArray status = it == routes_.end() ? "404 Not Found" : "200 OK";
      QPointer<QTcpSocket> alive(socket);
      QTimer::singleShot(reply.delayMs, socket, [alive, reply, status] {
        if (!alive) return;
        alive->write("HTTP/1.1 " + status +
                     "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                     QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n" +
                     reply.body);
        alive->disconnectFromHost();
      });
    });
  }

  QTcpServer server_;
  std::map<QByteArray, Reply> routes_;
};

struct Result {
  double seconds = 0;
  QByteArray out;
  QByteArray err;
};

// One kelvane-run process, while this one goes on serving.
Result run(const QString& program, const QStringList& args) {
  QProcess process;
  QEventLoop loop;
  QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
  QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
  QElapsedTimer clock;
  clock.start();
  process.start(program, args);
  loop.exec();
  return {clock.elapsed() / 1000.0, process.readAllStandardOutput(),
          process.readAllStandardError()};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

QByteArray settleLine(const QByteArray& trace) {
  const auto m = QRegularExpression("settle: [^\\n]*").match(QString::fromUtf8(trace));
  return m.hasMatch() ? m.captured().toUtf8() : QByteArray("(no settle line)");
}

QByteArray addLater(const char* how) {
  return QByteArray("<html><body><p>page</p><script>onload=function(){") + how + "}</script>";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_settle KELVANE_RUN EXAMPLES_DIR [REPEATS]\n");
    return 2;
  }
  QCoreApplication app(argc, argv);
  const QString runner = QString::fromLocal8Bit(argv[1]);
  const QDir examples(QString::fromLocal8Bit(argv[2]));
  const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  QFile page(examples.filePath("prices.html"));
  QFile example(examples.filePath("prices-live.spt"));
  if (!page.open(QIODevice::ReadOnly) || !example.open(QIODevice::ReadOnly)) return 2;

  // What is added is put together by the script, so it is not in the
  // page's source.
  const char* insert = "document.body.insertAdjacentHTML('beforeend','<em>ad'+'ded</em>')";
  Server server({
      {"/prices.html", {page.readAll(), 0}},
      {"/timer.html", {addLater(QByteArray("setTimeout(function(){") + insert + "},700)"), 0}},
      {"/fetch.html",
       {addLater(QByteArray("fetch('/data').then(function(r){return r.text()}).then(function(){") +
                 insert + "})"),
        0}},
      {"/data", {"fresh", 1200}},
      {"/ticker.html",
       {"<html><body><p id=t>0</p><script>setInterval(function(){var t=document."
        "getElementById('t');t.textContent=+t.textContent+1},200)</script>",
        0}},
  });

  QTemporaryDir dir;
  const auto script = [&](const QString& name, QByteArray text) {
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return f.fileName();
  };
  const QString prices = script(
      "prices.spt",
      example.readAll().replace("\"prices.html\"", "\"" + server.url("/prices.html") + "\""));

  std::vector<double> fixedTimes, autoTimes, noWaitTimes;
  bool same = true;
  QByteArray autoSettle;
  for (int i = 0; i < repeats; ++i) {
    const Result f = run(runner, {"--wait", "8", prices});
    const Result a = run(runner, {"--wait", "8", "--settle", "auto", "--trace", prices});
    // No settle wait at all: what the rest of the process costs.
    const Result n = run(runner, {"--wait", "0", prices});
    noWaitTimes.push_back(n.seconds);
    fixedTimes.push_back(f.seconds);
    autoTimes.push_back(a.seconds);
    same = same && f.out == a.out && !f.out.isEmpty();
    autoSettle = settleLine(a.err);
  }
  std::printf(
      "bundled example over HTTP, wait 8, whole process: fixed median %.2f s, auto median %.2f s"
      " (target <= 1.5 s), wait 0 (no settle wait) median %.2f s; %d runs each; same display:"
      " %s\n  last auto %s\n",
      median(fixedTimes), median(autoTimes), median(noWaitTimes), repeats, same ? "yes" : "NO",
      autoSettle.constData());

  const struct {
    const char* what;
    const char* path;
    const char* mustShow;
  } pages[] = {
      {"content added 0.7 s after the load by a timer", "/timer.html", "<em>added</em>"},
      {"content added 1.2 s after the load by a slow request", "/fetch.html", "<em>added</em>"},
      {"a page that changes every 200 ms", "/ticker.html", "<p id=\"t\">"},
  };
  for (const auto& p : pages) {
    const QString s = script("page.spt", "URL\t\"" + server.url(p.path) + "\"\r\n");
    std::vector<double> times;
    int shown = 0;
    QByteArray last;
    for (int i = 0; i < repeats; ++i) {
      const Result a =
          run(runner, {"--wait", "8", "--settle", "auto", "--trace", "--print", "HT", s});
      times.push_back(a.seconds);
      shown += a.out.contains(p.mustShow) ? 1 : 0;
      last = settleLine(a.err);
    }
    std::printf("%s: median %.2f s whole process, in HT in %d of %d runs\n  last %s\n", p.what,
                median(times), shown, repeats, last.constData());
  }
  return 0;
}
